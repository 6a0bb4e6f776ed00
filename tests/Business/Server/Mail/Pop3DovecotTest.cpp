// The POP3 client against a real Dovecot, started once for this executable.
#include "Business/Server/Mail/FormatTransportError.h"
#include "Business/Server/Mail/Pop3Client.h"
#include "Business/Server/Mail/TransportErrors.h"
#include "Support/DovecotEnvironment.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <iostream>
#include <map>
#include <memory>
#include <set>

using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;

namespace {

TDovecotServer& Dovecot()
{
    return TDovecotEnvironment::Dovecot();
}

// Every test logs in as a user of its own.
class Pop3DovecotTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        static int users = 0;
        FUser = "user" + std::to_string(++users);
        FPassword = "secret " + std::to_string(users) + "\"'";
        Dovecot().AddUser(FUser, FPassword);
    }

    static TTransportSettings Settings(TTlsMode aMode, const std::string& aHost = "127.0.0.1")
    {
        TTransportSettings settings;
        settings.Host = aHost;
        settings.Port = aMode == tlsmImplicit ? Dovecot().TlsPort() : Dovecot().PlainPort();
        settings.TlsMode = aMode;
        settings.ConnectTimeout = 1s;
        settings.IdleTimeout = 1s;
        return settings;
    }
    // Trusts the server's self-signed certificate, which names "localhost".
    static TTransportSettings Trusted(TTlsMode aMode)
    {
        TTransportSettings settings = Settings(aMode, "localhost");
        settings.CaFile = Dovecot().Certificate().CertFile;
        return settings;
    }

    std::string FUser;
    std::string FPassword;
};

std::string Retrieved(TPop3Client& aClient, int aNumber)
{
    std::string message;
    aClient.Retrieve(aNumber, [&](std::string_view aData) { message += aData; });
    return message;
}

const std::string kSimple = "From: a@example.com\r\nTo: b@example.com\r\nSubject: simple\r\n\r\nHello.\r\n";

} // namespace

TEST_F(Pop3DovecotTest, LoginUidlTopListAndRetrOfRealMessagesAreByteExact)
{
    const std::string messages[] = {
        kSimple,
        "From: =?UTF-8?B?5byg5LiJ?= <zhang@example.com>\r\nSubject: dots\r\n\r\n.leading dot\r\n.\r\n..\r\n"
        "\xe4\xb8\xad\xe6\x96\x87 8-bit\r\n\xff\x80 raw\r\n" +
            std::string(200000, 'w') + "\r\n.\r\nend\r\n",
        "Subject: no body\r\n\r\n",
    };
    std::map<std::string, std::string> byUid;
    int64_t total = 0;
    for (const std::string& message : messages) {
        byUid[Dovecot().Deliver(FUser, message)] = message;
        total += static_cast<int64_t>(message.size());
    }

    for (int session = 0; session < 2; ++session) {   // the second sees the same uids
        SCOPED_TRACE(session);
        TPop3Client client(Settings(tlsmNone));
        client.Connect(FUser, FPassword);
        EXPECT_FALSE(client.Transport().Secure());
        const TPop3Stat stat = client.Stat();
        EXPECT_EQ(stat.Count, 3);
        EXPECT_EQ(stat.Size, total);
        const std::vector<TUidlEntry> uidl = client.Uidl();
        ASSERT_EQ(uidl.size(), 3u);
        std::set<int> numbers;
        for (const TUidlEntry& entry : uidl) {
            SCOPED_TRACE(entry.Uid);
            numbers.insert(entry.Number);
            ASSERT_EQ(byUid.count(entry.Uid), 1u);
            const std::string& message = byUid[entry.Uid];
            EXPECT_EQ(client.RetrieveMsgSize(entry.Number), static_cast<int64_t>(message.size()));
            EXPECT_EQ(client.RetrieveHeader(entry.Number), message.substr(0, message.find("\r\n\r\n") + 4));
            EXPECT_TRUE(Retrieved(client, entry.Number) == message);
        }
        EXPECT_EQ(numbers, (std::set<int>{1, 2, 3}));
        EXPECT_EQ(client.RetrieveMsgSize(4), -1);
        EXPECT_EQ(client.LastReply()->Code(), "-ERR");
        client.Disconnect();
        EXPECT_EQ(client.LastReply()->Code(), "+OK");   // QUIT answered
        EXPECT_FALSE(client.Connected());
    }
}

TEST_F(Pop3DovecotTest, StlsAndImplicitTlsWithAVerifiedCertificate)
{
    Dovecot().Deliver(FUser, kSimple);
    for (const TTlsMode mode : {tlsmStartTls, tlsmImplicit}) {
        SCOPED_TRACE(TlsModeText(mode));
        TPop3Client client(Trusted(mode));
        client.Connect(FUser, FPassword);
        EXPECT_TRUE(client.Transport().Secure());
        EXPECT_EQ(client.Uidl().size(), 1u);
        EXPECT_EQ(Retrieved(client, 1), kSimple);
        client.Disconnect();
    }
}

TEST_F(Pop3DovecotTest, CertificatesThatDoNotVerifyAreRefusedUnlessTheAccountAcceptsThem)
{
    struct TCase {
        const char* Name;
        bool TrustTestCertificate;
        bool AcceptUntrusted;
        const char* Refusal;   // empty: logs in
    };
    const TCase cases[] = {
        {"self-signed, system store only", false, false, "self-signed certificate"},
        {"trusted, but issued for localhost, not 127.0.0.1", true, false, "IP address mismatch"},
        {"self-signed, accepted by the account", false, true, ""},
        {"wrong name, accepted by the account", true, true, ""},
    };
    for (const TTlsMode mode : {tlsmStartTls, tlsmImplicit}) {
        for (const TCase& c : cases) {
            SCOPED_TRACE(std::string(TlsModeText(mode)) + ": " + c.Name);
            TTransportSettings settings = Settings(mode);   // host 127.0.0.1
            if (c.TrustTestCertificate)
                settings.CaFile = Dovecot().Certificate().CertFile;
            settings.AcceptUntrustedCertificate = c.AcceptUntrusted;
            TPop3Client client(settings);
            if (*c.Refusal == '\0') {
                client.Connect(FUser, FPassword);
                EXPECT_TRUE(client.Transport().Secure());
                EXPECT_EQ(client.Stat().Count, 0);
                client.Disconnect();
                continue;
            }
            try {
                client.Connect(FUser, FPassword);
                ADD_FAILURE() << "connected";
            } catch (const ETlsCertificateError& e) {
                EXPECT_EQ(FormatTransportError("POP3 ", e, client.LastReply()),
                          "Certificate of 127.0.0.1:" + std::to_string(settings.Port) + " rejected: " + c.Refusal);
            }
            EXPECT_FALSE(client.Connected());
        }
    }
}

TEST_F(Pop3DovecotTest, AWrongPasswordGivesTheServersReply)
{
    // (Debian 12's Dovecot answers a failed login after up to 500 ms, even
    // with auth_failure_delay = 0: one case only.)
    TPop3Client client(Settings(tlsmNone));
    try {
        client.Connect(FUser, "wrong");
        ADD_FAILURE() << "logged in";
    } catch (const EPop3ReplyError& e) {
        EXPECT_EQ(FormatTransportError("POP3 ", e, client.LastReply()), "-ERR [AUTH] Authentication failed.");
    }
    EXPECT_FALSE(client.Connected());
}

TEST_F(Pop3DovecotTest, CancelEndsTheRetrOfA50MbMessageAtOnce)
{
    // 50 MB of 78-byte lines, as a large attachment is sent.
    std::string message = "Subject: big\r\nContent-Type: application/octet-stream\r\n\r\n";
    const std::string line = std::string(76, 'Q') + "\r\n";
    while (message.size() < (50u << 20))
        message += line;
    Dovecot().Deliver(FUser, message);

    // First the whole message, compared as it streams in.
    {
        TPop3Client client(Settings(tlsmNone));
        client.Connect(FUser, FPassword);
        size_t offset = 0;
        bool same = true;
        client.Retrieve(1, [&](std::string_view aData) {
            same = same && message.compare(offset, aData.size(), aData) == 0;
            offset += aData.size();
        });
        EXPECT_TRUE(same);
        EXPECT_EQ(offset, message.size());
        client.Disconnect();
    }

    for (const TTlsMode mode : {tlsmNone, tlsmImplicit}) {
        SCOPED_TRACE(TlsModeText(mode));
        TTransportSettings settings = Trusted(mode);
        settings.IdleTimeout = 60s;   // long: cancel, not a timeout, must end the call
        TPop3Client client(settings);
        client.Connect(FUser, FPassword);
        std::promise<void> started;
        std::atomic<size_t> received{0};
        auto retr = std::async(std::launch::async, [&] {
            client.Retrieve(1, [&](std::string_view aData) {
                const size_t before = received.fetch_add(aData.size());
                if (before < (1u << 20) && before + aData.size() >= (1u << 20))
                    started.set_value();
            });
        });
        started.get_future().wait();
        const auto start = TClock::now();
        client.Cancel();
        EXPECT_THROW(retr.get(), ETransportCancelled);
        const auto latency = std::chrono::duration_cast<std::chrono::microseconds>(TClock::now() - start);
        EXPECT_LT(latency, 1s);
        EXPECT_LT(received.load(), message.size());
        std::cout << "cancel of a 50 MB RETR (" << TlsModeText(mode) << ") after " << received.load()
                  << " bytes: " << latency.count() << " us\n";
        EXPECT_FALSE(client.Connected());
    }
}
