// The SMTP client against servers a real one in the tests does not play:
// one that knows no EHLO, one that offers only AUTH PLAIN and no
// PIPELINING, one that drops the line or falls silent.
#include "Business/Server/Mail/FormatTransportError.h"
#include "Business/Server/Mail/SmtpClient.h"
#include "Business/Server/Mail/TransportErrors.h"
#include "Support/ScratchFolder.h"
#include "Support/ScriptedServer.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

TTransportSettings Local(int aPort)
{
    TTransportSettings settings;
    settings.Host = "127.0.0.1";
    settings.Port = aPort;
    settings.ConnectTimeout = 1s;
    settings.IdleTimeout = 1s;
    return settings;
}

void ExpectPrefix(TScriptedPeer& aPeer, const std::string& aPrefix)
{
    const std::string line = aPeer.ReadLine();
    if (line.rfind(aPrefix, 0) != 0)
        throw std::runtime_error("expected " + aPrefix + "..., got " + line);
}

// Reads DATA lines up to the final "."; the lines as sent.
std::string ReadData(TScriptedPeer& aPeer)
{
    std::string data;
    for (std::string line; (line = aPeer.ReadLine()) != ".";)
        data += line + "\n";
    return data;
}

class SmtpScriptedTest : public ::testing::Test {
protected:
    fs::path File(const std::string& aMessage)
    {
        const fs::path file = FScratch.Path() / "m.eml";
        std::ofstream(file, std::ios::binary) << aMessage;
        return file;
    }
    TScratchFolder FScratch{"qm-smtp-scripted"};
};

TEST_F(SmtpScriptedTest, AnOldServerGetsHeloAndEveryCommandInTurn)
{
    std::string data;
    TScriptedServer server([&](TScriptedPeer& aPeer) {
        aPeer.Send("220 old.example.com ready\r\n");
        ExpectPrefix(aPeer, "EHLO ");
        aPeer.Send("502 5.5.1 EHLO not implemented\r\n");
        ExpectPrefix(aPeer, "HELO ");
        aPeer.Send("250 old.example.com\r\n");
        aPeer.Expect("MAIL FROM:<me@example.com>");
        aPeer.Send("250 ok\r\n");
        aPeer.Expect("RCPT TO:<a@example.com>");
        aPeer.Send("250 ok\r\n");
        aPeer.Expect("RCPT TO:<b@example.com>");
        aPeer.Send("550 no such user\r\n");
        aPeer.Expect("DATA");
        aPeer.Send("354 go ahead\r\n");
        data = ReadData(aPeer);
        aPeer.Send("250 queued\r\n");
        aPeer.Expect("QUIT");
        aPeer.Send("221 bye\r\n");
    });
    TSmtpClient client(Local(server.Port()));
    client.Connect("", "");   // no user name: no AUTH
    const auto refused = client.Send("me@example.com", {"a@example.com", "b@example.com"},
                                     File("Subject: old\r\n\r\n.dot\r\nend\r\n"));
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_EQ(refused[0].Address, "b@example.com");
    client.Disconnect();
    EXPECT_EQ(server.Finish(), "");
    EXPECT_EQ(data, "Subject: old\nX-Mailer: Norvel Quillmar 2\n\n..dot\nend\n");
}

TEST_F(SmtpScriptedTest, OnlyPlainOfferedLogsInWithPlain)
{
    TScriptedServer server([&](TScriptedPeer& aPeer) {
        aPeer.Send("220 ready\r\n");
        ExpectPrefix(aPeer, "EHLO ");
        aPeer.Send("250-plain.example.com\r\n250-SIZE 1000000\r\n250 AUTH PLAIN\r\n");
        // "\0user\0pass word" in base64
        aPeer.Expect("AUTH PLAIN AHVzZXIAcGFzcyB3b3Jk");
        aPeer.Send("235 2.7.0 accepted\r\n");
        aPeer.Expect("QUIT");
        aPeer.Send("221 bye\r\n");
    });
    TSmtpClient client(Local(server.Port()));
    client.Connect("user", "pass word");
    EXPECT_TRUE(client.HasExtension("size"));
    EXPECT_FALSE(client.HasExtension("PIPELINING"));
    client.Disconnect();
    EXPECT_EQ(server.Finish(), "");
}

TEST_F(SmtpScriptedTest, ALineThatBreaksOrFallsSilentAfterTheMessageIsAClearError)
{
    for (const bool silent : {false, true}) {
        SCOPED_TRACE(silent ? "silent" : "broken");
        TScriptedServer server([&](TScriptedPeer& aPeer) {
            aPeer.Send("220 ready\r\n");
            ExpectPrefix(aPeer, "EHLO ");
            aPeer.Send("250-x\r\n250 PIPELINING\r\n");
            aPeer.Expect("MAIL FROM:<me@example.com>");
            aPeer.Expect("RCPT TO:<a@example.com>");
            aPeer.Send("250 ok\r\n250 ok\r\n");
            aPeer.Expect("DATA");
            aPeer.Send("354 go ahead\r\n");
            ReadData(aPeer);
            if (silent)
                aPeer.WaitForClose();
        });
        TSmtpClient client(Local(server.Port()), 1s);
        client.Connect("", "");
        bool announced = false;
        TSmtpClient::TProgress progress;
        progress.BeforeFinalDot = [&] { announced = true; };
        try {
            client.Send("me@example.com", {"a@example.com"}, File("Subject: s\r\n\r\nbody\r\n"), progress);
            ADD_FAILURE() << "no error";
        } catch (const ETransportError& e) {
            EXPECT_EQ(dynamic_cast<const ESmtpReplyError*>(&e), nullptr) << e.what();
            EXPECT_FALSE(FormatTransportError("SMTP ", e, client.LastReply()).empty());
        }
        EXPECT_TRUE(announced);
        EXPECT_FALSE(client.Connected());
        EXPECT_EQ(server.Finish(), "");
    }
}

TEST_F(SmtpScriptedTest, AnAddressThatWouldBendTheCommandIsRefusedBeforeAnythingGoes)
{
    TSmtpClient client(Local(1));   // never connected: the check comes first
    const fs::path file = File("Subject: s\r\n\r\nbody\r\n");
    for (const char* recipient : {"a@example.com> NOTIFY=NEVER", "a@example.com\r\nRSET", "<a@example.com",
                                  "a b@example.com"})
        EXPECT_THROW(client.Send("me@example.com", {recipient}, file), ETransportError) << recipient;
    EXPECT_THROW(client.Send("me@example.com> SIZE=1", {"a@example.com"}, file), ETransportError);
}

TEST(SmtpReplyTest, RepliesAndTheirEnhancedCodes)
{
    const TServerReply reply = ParseSmtpReply({"250-first 2.0.0 not a code here", "250 2.1.5 last"});
    EXPECT_EQ(reply.NumericCode(), 250);
    EXPECT_EQ(reply.Lines(), (std::vector<std::string>{"first 2.0.0 not a code here", "last"}));
    const TServerReply refused = ParseSmtpReply({"550 5.1.1 <x@y>: no such user"});
    EXPECT_EQ(refused.ExtendedCode(), "5.1.1");
    EXPECT_EQ(refused.Text(), "<x@y>: no such user");
    EXPECT_EQ(ParseSmtpReply({"554 4.4.4 class must match"}).ExtendedCode(), "");
    for (const std::vector<std::string>& broken : std::vector<std::vector<std::string>>{
             {"25 short"}, {"abc text"}, {"250-more", "251 other code"}, {"250-not last"}, {"700 odd"}, {}})
        EXPECT_THROW(ParseSmtpReply(broken), EMalformedReplyError);
}

} // namespace
