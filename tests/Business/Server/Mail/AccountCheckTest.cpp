// The account connection test against real servers: Dovecot for POP3 and
// aiosmtpd for SMTP (delivering into Dovecot's Maildirs, so the test mail
// comes back by POP3), and scripted peers for what they will not do.
#include "Business/Mime/HeaderCoding.h"
#include "Business/Mime/MessageIo.h"
#include "Business/Server/Mail/AccountConnectionTest.h"
#include "Business/Server/Mail/Pop3Client.h"
#include "Runtime/AutoReleasePool.h"
#include "Support/AccountManagers.h"
#include "Support/ClosedPort.h"
#include "Support/MailServersEnvironment.h"
#include "Support/ScratchFolder.h"
#include "Support/ScriptedServer.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

using namespace std::chrono_literals;

namespace {

const std::string kEmail = "sales@example.com";

// Everything the test reported, and a wait for its end.
struct TRecorder {
    std::mutex Mutex;
    std::condition_variable Changed;
    std::vector<std::pair<TEmailTask, TEmailTestState>> Statuses;
    std::vector<std::string> Infos, Errors;
    std::optional<TEmailTestOutcome> Outcome;
    int Ends = 0;
    TEmailTestObservable Observable;

    TRecorder()
    {
        Observable.FUpdateStatus = [this](TEmailTask aTask, TEmailTestState aState) {
            std::lock_guard lock(Mutex);
            Statuses.emplace_back(aTask, aState);
            Changed.notify_all();
        };
        Observable.FUpdateInfo = [this](const std::string& aText) {
            std::lock_guard lock(Mutex);
            Infos.push_back(aText);
        };
        Observable.FOccurError = [this](const std::string& aText) {
            std::lock_guard lock(Mutex);
            Errors.push_back(aText);
        };
        Observable.FTestEnded = [this](const TEmailTestOutcome& aOutcome) {
            std::lock_guard lock(Mutex);
            Outcome = aOutcome;
            ++Ends;
            Changed.notify_all();
        };
    }
    bool WaitForStatus(TEmailTestState aState)
    {
        std::unique_lock lock(Mutex);
        return Changed.wait_for(lock, 10s, [&] {
            for (const auto& status : Statuses)
                if (status.second == aState)
                    return true;
            return Outcome.has_value();
        });
    }
    bool HasTask(TEmailTask aTask)
    {
        std::lock_guard lock(Mutex);
        for (const auto& status : Statuses)
            if (status.first == aTask)
                return true;
        return false;
    }
};

class AccountCheckTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        TMailServersEnvironment::Smtp().AddUser("sales", "smtp pw");
        TMailServersEnvironment::Dovecot().AddUser("sales", "pop pw");
    }
    void SetUp() override
    {
        TMailServersEnvironment::Smtp().SetScript("{}");
        // Called again by tables, for a fresh account each time.
        FAccount = nullptr;
        FManagers.reset();
        FManagers = std::make_unique<TAccountManagers>(FScratch.Path());
        FAccount = TAccountManager::AccountManager()->CreateNewAccount();
        FAccount->SetEmail(kEmail);
        FAccount->SetPop3Host("localhost");
        FAccount->SetPop3Port(TMailServersEnvironment::Dovecot().PlainPort());
        FAccount->SetPop3User("sales");
        FAccount->SetPop3Password("pop pw");
        FAccount->SetSmtpHost("localhost");
        FAccount->SetSmtpPort(TMailServersEnvironment::Smtp().PlainPort());
        FAccount->SetSmtpUsePop3(false);
        FAccount->SetSmtpUser("sales");
        FAccount->SetSmtpPassword("smtp pw");
    }

    // Runs the test to its end; the certificates of both servers trusted
    // unless aTrusted says otherwise.
    TEmailTestOutcome Check(TRecorder& aRecorder, bool aTrusted = true)
    {
        TAccountConnectionTest test(FAccount.Get(), aRecorder.Observable, Tuning(aTrusted));
        test.Start();
        std::unique_lock lock(aRecorder.Mutex);
        EXPECT_TRUE(aRecorder.Changed.wait_for(lock, 20s, [&] { return aRecorder.Outcome.has_value(); }));
        return aRecorder.Outcome.value_or(TEmailTestOutcome{});
    }
    static TTransportTuning Tuning(bool aTrusted)
    {
        return [aTrusted](TTransportSettings& aSettings) {
            aSettings.ConnectTimeout = 2s;
            aSettings.IdleTimeout = 2s;
            if (aTrusted)
                aSettings.CaFile = aSettings.Port == TMailServersEnvironment::Dovecot().TlsPort() || aSettings.Port == TMailServersEnvironment::Dovecot().PlainPort()
                                       ? TMailServersEnvironment::Dovecot().Certificate().CertFile
                                       : TMailServersEnvironment::Smtp().Certificate().CertFile;
        };
    }
    static std::string Msg(const char* aKey) { return TConfigManager::ConfigManager()->GetMsg(aKey); }

    TRetainCountObjectAutoReleasePool FPool;
    TScratchFolder FScratch{"qm-acct-test"};
    std::unique_ptr<TAccountManagers> FManagers;
    TRcRef<TRcAccount> FAccount;
};

TEST_F(AccountCheckTest, AGoodAccountPassesEveryStepAndTheTestMailComesBackByPop3)
{
    TMailServersEnvironment::Smtp().SetScript(R"({"deliver": {")" + kEmail + R"(": ")" + TMailServersEnvironment::Dovecot().Maildir("sales").string() + R"("}})");
    const std::size_t before = TMailServersEnvironment::Smtp().Messages().size();
    for (const TTlsMode mode : {tlsmStartTls, tlsmImplicit}) {
        SCOPED_TRACE(mode);
        FAccount->SetPop3TlsMode(mode);
        FAccount->SetPop3Port(mode == tlsmImplicit ? TMailServersEnvironment::Dovecot().TlsPort() : TMailServersEnvironment::Dovecot().PlainPort());
        FAccount->SetSmtpTlsMode(mode);
        FAccount->SetSmtpPort(mode == tlsmImplicit ? TMailServersEnvironment::Smtp().TlsPort() : TMailServersEnvironment::Smtp().PlainPort());
        TRecorder recorder;
        const TEmailTestOutcome outcome = Check(recorder);
        EXPECT_EQ(outcome.State, es_SendSuccess) << outcome.Text << "\n" << outcome.Reason;
        EXPECT_EQ(outcome.Text, Msg("CheckMailTitel_Success"));
        EXPECT_EQ(recorder.Statuses, (std::vector<std::pair<TEmailTask, TEmailTestState>>{
                                         {etConnectPop3, es_ConnectPop3},
                                         {etConnectPop3, eS_ConnectedPop3},
                                         {etReceive, es_receiveEmail},
                                         {etReceive, es_ReceiveSuccess},
                                         {etConnectSmtp, es_ConnectSmtp},
                                         {etConnectSmtp, eS_ConnectedSmtp},
                                         {etSendMail, es_SendEmail},
                                         {etSendMail, es_SendSuccess},
                                     }));
        EXPECT_TRUE(recorder.Errors.empty());
        EXPECT_EQ(recorder.Ends, 1);
    }
    // One mail per test, to the account once, and both back in the mailbox.
    const auto messages = TMailServersEnvironment::Smtp().WaitForMessages(before + 2);
    ASSERT_EQ(messages.size(), before + 2);
    EXPECT_EQ(messages.back().From, kEmail);
    EXPECT_EQ(messages.back().To, std::vector<std::string>{kEmail});
    EXPECT_EQ(messages.back().Login, "sales");

    TTransportSettings settings;
    settings.Host = "127.0.0.1";
    settings.Port = TMailServersEnvironment::Dovecot().PlainPort();
    TPop3Client pop3(settings);
    pop3.Connect("sales", "pop pw");
    const auto uids = pop3.Uidl();
    ASSERT_EQ(uids.size(), 2u);
    std::string header = pop3.RetrieveHeader(uids.back().Number);
    pop3.Disconnect();
    auto message = ParseMessage(header + "\r\n");
    ASSERT_TRUE(message);
    EXPECT_EQ(DecodeHeaderText(HeaderText(GMIME_OBJECT(message.get()), "Subject")),
              TRcSendCheckMailRunable::kSubject);
    EXPECT_EQ(HeaderText(GMIME_OBJECT(message.get()), "To"), kEmail);
    EXPECT_NE(header.find("text/html"), std::string::npos);
}

TEST_F(AccountCheckTest, EachFailureIsNamedByItsStepWithTheServersReason)
{
    TScriptedServer noStartTls([](TScriptedPeer& aPeer) {
        aPeer.Send("220 ready\r\n");
        aPeer.ReadLine();   // EHLO
        aPeer.Send("250-mx.example.com\r\n250 STARTTLS\r\n");
        aPeer.Expect("STARTTLS");
        aPeer.Send("454 4.7.0 TLS not available due to temporary reason\r\n");
        aPeer.WaitForClose();
    });
    struct TCase {
        const char* Name;
        std::function<void(TRcAccount&)> Change;
        bool Trusted;
        TEmailTask Task;
        TEmailTestState State;
        const char* Key;
        const char* Reason;   // a part of the reason
    } cases[] = {
        {"wrong POP3 password", [](TRcAccount& a) { a.SetPop3Password("wrong"); }, true, etConnectPop3,
         es_CheckPwdError, "ConnectedError_CancelInput", "-ERR [AUTH] Authentication failed."},
        {"POP3 port dead", [](TRcAccount& a) { a.SetPop3Port(ClosedPort()); }, true, etConnectPop3,
         es_ConnectErrorPop3, "ConnectedError_errorEmailparam", "Connection refused"},
        {"POP3 certificate self-signed",
         [](TRcAccount& a) {
             a.SetPop3Port(TMailServersEnvironment::Dovecot().TlsPort());
             a.SetPop3TlsMode(tlsmImplicit);
         },
         false, etConnectPop3, es_ConnectErrorPop3, "ConnectedError_errorEmailparam", "certificate"},
        {"wrong SMTP password", [](TRcAccount& a) { a.SetSmtpPassword("wrong"); }, true, etConnectSmtp,
         es_ConnectErrorSmtp, "ConnectedUserError", "535"},
        {"SMTP port dead", [](TRcAccount& a) { a.SetSmtpPort(ClosedPort()); }, true, etConnectSmtp,
         es_ConnectErrorSmtp, "ConnectedError_errorSmtpparam", "Connection refused"},
        {"SMTP refuses STARTTLS",
         [&](TRcAccount& a) {
             a.SetSmtpHost("127.0.0.1");
             a.SetSmtpPort(noStartTls.Port());
             a.SetSmtpTlsMode(tlsmStartTls);
         },
         true, etConnectSmtp, es_ConnectErrorSmtp, "ConnectedError_errorSmtpparam", "454"},
        {"SMTP certificate self-signed",
         [](TRcAccount& a) {
             a.SetPop3Port(TMailServersEnvironment::Dovecot().PlainPort());
             a.SetSmtpPort(TMailServersEnvironment::Smtp().TlsPort());
             a.SetSmtpTlsMode(tlsmImplicit);
         },
         false, etConnectSmtp, es_ConnectErrorSmtp, "ConnectedError_errorSmtpparam", "certificate"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        SetUp();
        c.Change(*FAccount);
        TRecorder recorder;
        const TEmailTestOutcome outcome = Check(recorder, c.Trusted);
        EXPECT_EQ(outcome.Task, c.Task);
        EXPECT_EQ(outcome.State, c.State);
        EXPECT_EQ(outcome.Text, Msg(c.Key));
        EXPECT_NE(outcome.Text, c.Key);   // the text is there
        EXPECT_NE(outcome.Reason.find(c.Reason), std::string::npos) << outcome.Reason;
        ASSERT_EQ(recorder.Errors.size(), 1u);
        EXPECT_EQ(recorder.Errors[0], outcome.Text + "\n" + outcome.Reason);
        EXPECT_EQ(recorder.Statuses.back(), std::make_pair(c.Task, c.State));
        // A failed login to POP3 never goes on to SMTP.
        EXPECT_EQ(recorder.HasTask(etConnectSmtp), c.Task != etConnectPop3);
    }

    // Logged in, but the test mail is refused.
    SetUp();
    TMailServersEnvironment::Smtp().SetScript(R"({"mail": "550 5.7.1 sender refused"})");
    TRecorder recorder;
    const TEmailTestOutcome outcome = Check(recorder);
    EXPECT_EQ(outcome.State, es_SendError);
    EXPECT_EQ(outcome.Text, Msg("ConnectedSuccess_SendMailError"));
    EXPECT_NE(outcome.Reason.find("550"), std::string::npos) << outcome.Reason;
}

TEST_F(AccountCheckTest, CancelEndsEitherPartAtOnce)
{
    // Servers that accept and then say nothing: only the cancel ends the wait.
    const auto silent = [](TScriptedPeer& aPeer) { aPeer.WaitForClose(); };
    for (const bool inSmtp : {false, true}) {
        SCOPED_TRACE(inSmtp ? "SMTP" : "POP3");
        SetUp();
        TScriptedServer server(silent);
        FAccount->SetPop3Port(inSmtp ? TMailServersEnvironment::Dovecot().PlainPort() : server.Port());
        FAccount->SetSmtpHost("127.0.0.1");
        FAccount->SetSmtpPort(server.Port());
        TRecorder recorder;
        TAccountConnectionTest test(FAccount.Get(), recorder.Observable, [](TTransportSettings& aSettings) {
            aSettings.IdleTimeout = 30s;
            aSettings.CaFile = TMailServersEnvironment::Dovecot().Certificate().CertFile;
        });
        test.Start();
        ASSERT_TRUE(recorder.WaitForStatus(inSmtp ? es_ConnectSmtp : es_ConnectPop3));
        const auto start = std::chrono::steady_clock::now();
        test.Cancel();
        std::unique_lock lock(recorder.Mutex);
        ASSERT_TRUE(recorder.Changed.wait_for(lock, 10s, [&] { return recorder.Outcome.has_value(); }));
        EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
        EXPECT_EQ(recorder.Outcome->State, es_InputCancel);
        EXPECT_EQ(recorder.Outcome->Task, inSmtp ? etConnectSmtp : etConnectPop3);
        EXPECT_EQ(recorder.Infos, std::vector<std::string>{"已取消"});
        EXPECT_TRUE(recorder.Errors.empty());
    }
    // A test dropped while it runs ends with it.
    TScriptedServer server(silent);
    FAccount->SetPop3Port(server.Port());
    TRecorder recorder;
    {
        TAccountConnectionTest test(FAccount.Get(), recorder.Observable);
        test.Start();
        ASSERT_TRUE(recorder.WaitForStatus(es_ConnectPop3));
    }
    EXPECT_EQ(recorder.Ends, 1);
}

} // namespace
