// The SMTP client against a real server: aiosmtpd, started once for this
// executable.
#include "Business/Server/Mail/FormatTransportError.h"
#include "Business/Server/Mail/SmtpClient.h"
#include "Business/Server/Mail/TransportErrors.h"
#include "Support/ScratchFolder.h"
#include "Support/SmtpServer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iostream>
#include <memory>

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

std::unique_ptr<TSmtpTestServer> gSmtp;

class TSmtpEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        try {
            gSmtp = std::make_unique<TSmtpTestServer>();
            gSmtp->AddUser("sender", "secret pw");
        } catch (const std::exception& e) {
            FAIL() << e.what();
        }
    }
    void TearDown() override
    {
        if (gSmtp && ::testing::UnitTest::GetInstance()->Failed())
            std::cerr << gSmtp->Log();
        gSmtp.reset();
    }
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new TSmtpEnvironment);

TSmtpTestServer& Smtp()
{
    return *gSmtp;
}

TTransportSettings Settings(TTlsMode aMode)
{
    TTransportSettings settings;
    settings.Host = aMode == tlsmNone ? "127.0.0.1" : "localhost";
    settings.Port = aMode == tlsmImplicit ? Smtp().TlsPort() : Smtp().PlainPort();
    settings.TlsMode = aMode;
    settings.CaFile = Smtp().Certificate().CertFile;
    settings.ConnectTimeout = 2s;
    settings.IdleTimeout = 2s;
    return settings;
}

class SmtpAiosmtpdTest : public ::testing::Test {
protected:
    void SetUp() override { Smtp().SetScript("{}"); }
    fs::path File(const std::string& aMessage)
    {
        const fs::path file = FScratch.Path() / ("m" + std::to_string(++FFiles) + ".eml");
        std::ofstream(file, std::ios::binary) << aMessage;
        return file;
    }
    std::size_t Count() { return Smtp().Messages().size(); }

    TScratchFolder FScratch{"qm-smtp-client"};
    int FFiles = 0;
};

const std::string kMessage = "From: sender@example.com\r\nTo: a@example.com\r\nCc: b@example.com\r\n"
                             "Bcc: hidden@example.com,\r\n secret@example.com\r\nSubject: offer\r\n\r\n"
                             ".leading dot\r\nbody\n";

TEST_F(SmtpAiosmtpdTest, AMailGoesToEveryRecipientWithoutItsBccLineOverEachKindOfConnection)
{
    for (TTlsMode mode : {tlsmNone, tlsmStartTls, tlsmImplicit}) {
        SCOPED_TRACE(mode);
        const std::size_t before = Count();
        TSmtpClient client(Settings(mode));
        client.Connect("sender", "secret pw");
        EXPECT_EQ(client.Transport().Secure(), mode != tlsmNone);
        const auto refused = client.Send("sender@example.com",
                                         {"a@example.com", "b@example.com", "hidden@example.com", "a@example.com", "",
                                          "secret@example.com"},
                                         File(kMessage));
        EXPECT_TRUE(refused.empty());
        client.Disconnect();
        const auto messages = Smtp().WaitForMessages(before + 1);
        ASSERT_EQ(messages.size(), before + 1);
        const auto& message = messages.back();
        EXPECT_EQ(message.From, "sender@example.com");
        EXPECT_EQ(message.To, (std::vector<std::string>{"a@example.com", "b@example.com", "hidden@example.com",
                                                         "secret@example.com"}));
        EXPECT_EQ(message.Login, "sender");
        EXPECT_EQ(message.Data.find("hidden"), std::string::npos) << message.Data;
        EXPECT_EQ(message.Data.find("secret@"), std::string::npos);
        EXPECT_NE(message.Data.find("X-Mailer: Norvel Quillmar 2\r\n"), std::string::npos);
        EXPECT_NE(message.Data.find("\r\n.leading dot\r\nbody\r\n"), std::string::npos);
    }
}

TEST_F(SmtpAiosmtpdTest, RefusalsCarryTheServersCodesAndLeaveTheSessionUsable)
{
    TSmtpClient client(Settings(tlsmNone));
    client.Connect("sender", "secret pw");

    // One recipient of three refused: the others get it.
    Smtp().SetScript(R"({"rcpt": {"nobody@example.com": "550 5.1.1 no such user"}})");
    std::size_t before = Count();
    auto refused = client.Send("sender@example.com", {"a@example.com", "nobody@example.com", "b@example.com"},
                               File(kMessage));
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_EQ(refused[0].Address, "nobody@example.com");
    EXPECT_EQ(refused[0].Reply.NumericCode(), 550);
    EXPECT_EQ(refused[0].Reply.ExtendedCode(), "5.1.1");
    ASSERT_EQ(Smtp().WaitForMessages(before + 1).back().To,
              (std::vector<std::string>{"a@example.com", "b@example.com"}));

    struct TCase {
        const char* Script;
        const char* Text;
    } cases[] = {
        {R"({"rcpt": {"a@example.com": "550 5.1.1 no such user"}})", "550 5.1.1 no such user"},
        {R"({"mail": "553 5.7.1 sender refused"})", "553 5.7.1 sender refused"},
        {R"({"data": "554 5.6.0 content refused"})", "554 5.6.0 content refused"},
        {R"({"data": "451 4.3.0 try again later"})", "451 4.3.0 try again later"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Script);
        Smtp().SetScript(c.Script);
        before = Count();
        try {
            client.Send("sender@example.com", {"a@example.com"}, File(kMessage));
            ADD_FAILURE() << "no error";
        } catch (const ESmtpReplyError& e) {
            EXPECT_EQ(FormatTransportError("SMTP ", e, client.LastReply()), c.Text);
        }
        EXPECT_TRUE(client.Connected());
        EXPECT_EQ(Count(), before);
    }
    // The session still sends.
    Smtp().SetScript("{}");
    before = Count();
    EXPECT_TRUE(client.Send("sender@example.com", {"a@example.com"}, File(kMessage)).empty());
    EXPECT_EQ(Smtp().WaitForMessages(before + 1).size(), before + 1);
    client.Disconnect();
}

TEST_F(SmtpAiosmtpdTest, AWrongPasswordIsTheServersAnswer)
{
    TSmtpClient client(Settings(tlsmNone));
    try {
        client.Connect("sender", "wrong");
        FAIL() << "logged in";
    } catch (const ESmtpReplyError& e) {
        EXPECT_EQ(e.Reply().NumericCode(), 535);
        EXPECT_EQ(FormatTransportError("SMTP ", e, client.LastReply()).substr(0, 9), "535 5.7.8");
    }
    EXPECT_FALSE(client.Connected());
}

TEST_F(SmtpAiosmtpdTest, ACertificateForAnotherNameIsRefused)
{
    TTransportSettings settings = Settings(tlsmImplicit);
    settings.Host = "127.0.0.1";   // the certificate names "localhost"
    TSmtpClient client(settings);
    EXPECT_THROW(client.Connect("sender", "secret pw"), ETlsCertificateError);
}

TEST_F(SmtpAiosmtpdTest, TheFinalDotIsAnnouncedAndASlowAnswerWaitsItsOwnTimeout)
{
    Smtp().SetScript(R"({"delay_data": 1.5})");
    TSmtpClient client(Settings(tlsmNone), 5s);   // idle timeout 2 s, the answer may take 5 s
    client.Connect("sender", "secret pw");
    bool announced = false;
    int64_t sent = 0;
    TSmtpClient::TProgress progress;
    progress.Sent = [&](int64_t aSent) { sent = aSent; };
    progress.BeforeFinalDot = [&] { announced = true; };
    std::string message = kMessage;
    for (int i = 0; i < 4000; ++i)
        message += std::string(76, 'z') + "\r\n";
    client.Send("sender@example.com", {"a@example.com"}, File(message), progress);
    EXPECT_TRUE(announced);
    EXPECT_EQ(sent, static_cast<int64_t>(message.size()));
    client.Disconnect();
}

} // namespace
