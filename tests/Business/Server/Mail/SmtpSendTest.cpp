// SMTP sending through the scheduler's send job, against aiosmtpd, and
// sending then receiving back through Dovecot (both started once for this
// executable).
#include "Business/Account/AccountFolder.h"
#include "Business/Account/AccountManager.h"
#include "Business/AccountMail/AccountMailManager.h"
#include "Business/AccountMail/MailComplex.h"
#include "Business/AccountMail/ReadReceipt.h"
#include "Business/Data/WholeFile.h"
#include "Business/Mime/AddressList.h"
#include "Business/Mime/MessageIo.h"
#include "Business/Server/Norvel/BigAttachment.h"
#include "Business/Server/Norvel/BigAttachmentSendStep.h"
#include "Business/Server/ServerDriver.h"
#include "Runtime/AutoReleasePool.h"
#include "JobDriver.h"
#include "ReceiveEvents.h"
#include "Support/AccountManagers.h"
#include "Support/ClosedPort.h"
#include "Support/MailServersEnvironment.h"
#include "Support/QueuedMail.h"
#include "Support/ScratchFolder.h"
#include "Support/Sha256.h"
#include "FakeMakerServer.h"

#include <sqlite3.h>
#include <nlohmann/json.hpp>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <iostream>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

TSmtpTestServer& Smtp()
{
    return TMailServersEnvironment::Smtp();
}

TDovecotServer& Dovecot()
{
    return TMailServersEnvironment::Dovecot();
}

class SmtpSendTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        Smtp().AddUser("sender", "smtp pw");
    }
    void SetUp() override
    {
        Smtp().SetScript("{}");
        FManagers = std::make_unique<TAccountManagers>(FScratch.Path());
        TServerDriver::BuildInstance();
        Driver()->Scheduler()->SetTranslationServiceOn([] { return false; });
        const auto tuning = [](TTransportSettings& aSettings) {
            aSettings.ConnectTimeout = 2s;
            aSettings.IdleTimeout = 2s;
            aSettings.CaFile = Smtp().Certificate().CertFile;
        };
        Driver()->Scheduler()->Transports().Set(tsSmtpSend, SmtpSendRunableFactory(tuning, 5s));
        Driver()->Scheduler()->Transports().Set(tsPop3Receive, Pop3ReceiveRunableFactory(tuning));
        Driver()->RegisterObserver(FEvents.Get());
        Driver()->Init();
        FAccount = TAccountManager::AccountManager()->CreateNewAccount();
        FAccount->SetEmail("sender@example.com");
        FAccount->SetSmtpHost("127.0.0.1");
        FAccount->SetSmtpPort(Smtp().PlainPort());
        FAccount->SetSmtpUsePop3(false);
        FAccount->SetSmtpUser("sender");
        FAccount->SetSmtpPassword("smtp pw");
        FAccount->SetAutoReveiveSend(false);
        FAccount->SetAutoReveiveEarliestDate(0);
        TAccountManager::AccountManager()->SaveAccount(FAccount.Get());
    }
    void TearDown() override
    {
        if (FTornDown)
            return;
        FTornDown = true;
        Driver()->UnInit();
        Driver()->UnRegisterObserver(FEvents.Get());
        TServerDriver::ReleaseInstance();
        FAccount = nullptr;
        FManagers.reset();
    }

    static TServerDriver* Driver() { return TServerDriver::ServerDriver(); }
    static TAccountMailManager* Mails() { return TAccountMailManager::AccountMailManager(); }
    TRcResPath* Account() { return TRcResPath::CreateAndAutoRelease({FAccount->ResId()}); }
    TRcResPath* Folder(TAccountFolderType aType)
    {
        return TAccountFolderManager::AccountFolderManager()->GetStandardFolderResPath(Account(), aType);
    }

    // A mail queued for SMTP, made from a message as a composer would
    // store it; its path.
    TRcResPath* Queue(const std::string& aMessage)
    {
        const fs::path file = FScratch.Path() / ("queued" + std::to_string(++FQueued) + ".eml");
        std::ofstream(file, std::ios::binary) << aMessage;
        TRcResPath* path = Mails()->ImportMailFromFile(Folder(aftSending), file);
        EXPECT_NE(path, nullptr);
        Mails()->SetMailSendReceiveState(path, msarsSendToSmtp);
        return path;
    }
    void Send()
    {
        Driver()->PrioritySend(Account());
        ASSERT_TRUE(FEvents->WaitForTaskEnds(++FJobs)) << "the send job did not end";
    }
    // Folder type and state of a mail, wherever it is now.
    std::pair<std::optional<TAccountFolderType>, TMailSendReceiveState> Where(TRcResPath* aMail)
    {
        for (TAccountFolderType type : {aftSending, aftOutBox, aftDraft, aftInBox}) {
            TRcResIdList* ids = Mails()->GetMails(Folder(type));
            if (ids && ids->IndexOf(aMail->Last()) >= 0)
                return {type, Mails()->GetMail(Folder(type)->Append(aMail->Last()))->FSendReceiveState};
        }
        return {std::nullopt, msarsNoneUser};
    }

    TRetainCountObjectAutoReleasePool FPool;
    TScratchFolder FScratch{"qm-send"};
    std::unique_ptr<TAccountManagers> FManagers;
    TRcRef<TRcAccount> FAccount;
    TRcRef<TReceiveEvents> FEvents = MakeRc<TReceiveEvents>();
    int FJobs = 0;
    int FQueued = 0;
    bool FTornDown = false;
};

std::string Simple(const std::string& aSubject, const std::string& aTo = "buyer@example.com")
{
    return "From: Sender <sender@example.com>\r\nTo: " + aTo + "\r\nSubject: " + aSubject +
           "\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=utf-8\r\n\r\nHello.\r\n";
}

TEST_F(SmtpSendTest, NothingQueuedOpensNoConnection)
{
    Send();
    const auto infos = FEvents->Texts("info");
    EXPECT_NE(std::find(infos.begin(), infos.end(), "没有需要发送的邮件"), infos.end());
    EXPECT_EQ(std::find(infos.begin(), infos.end(), "正在连接发件服务器…"), infos.end());
}

TEST_F(SmtpSendTest, TheSecondOfThreeRefusedLeavesTheOthersSent)
{
    Smtp().SetScript(R"({"refuse_nth": [2]})");
    const std::size_t before = Smtp().Messages().size();
    // Newest first: the queue order is the order of their dates.
    TRcResPath* mails[] = {Queue(Simple("one")), Queue(Simple("two")), Queue(Simple("three"))};
    Send();
    EXPECT_EQ(Smtp().WaitForMessages(before + 2).size(), before + 2);
    const auto errors = FEvents->Texts("error");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("554 5.6.0 message refused by script"), std::string::npos) << errors[0];
    int sent = 0, drafts = 0;
    for (TRcResPath* mail : mails) {
        const auto [folder, state] = Where(mail);
        sent += folder == aftOutBox ? 1 : 0;
        if (folder == aftDraft) {
            ++drafts;
            EXPECT_EQ(state, msarsNoneUser);
        }
    }
    EXPECT_EQ(sent, 2);
    EXPECT_EQ(drafts, 1);
}

TEST_F(SmtpSendTest, OneRecipientRefusedIsNamedAndTheOthersGetTheMail)
{
    Smtp().SetScript(R"({"rcpt": {"nobody@example.com": "550 5.1.1 no such user"}})");
    const std::size_t before = Smtp().Messages().size();
    TRcResPath* mail = Queue(Simple("partly", "a@example.com, nobody@example.com, b@example.com"));
    Send();
    const auto messages = Smtp().WaitForMessages(before + 1);
    ASSERT_EQ(messages.size(), before + 1);
    EXPECT_EQ(messages.back().To, (std::vector<std::string>{"a@example.com", "b@example.com"}));
    EXPECT_EQ(messages.back().Login, "sender");
    EXPECT_EQ(Where(mail).first, aftOutBox);
    bool named = false;
    for (const std::string& info : FEvents->Texts("info"))
        named = named || info.find("nobody@example.com (550 no such user)") != std::string::npos;
    EXPECT_TRUE(named);
}

TEST_F(SmtpSendTest, AQueuedReadReceiptGoesOutWithTheNextSend)
{
    const std::size_t before = Smtp().Messages().size();
    TRcResPath* receipt = QueueReadReceipt(Account(), {"Read: ", "Read by ", "Subject: ", "At: "}, "offer",
                                           "orig-1@example.com", "buyer@example.com", Now());
    Send();
    const auto messages = Smtp().WaitForMessages(before + 1);
    ASSERT_EQ(messages.size(), before + 1);
    EXPECT_EQ(messages.back().To, std::vector<std::string>{"buyer@example.com"});
    EXPECT_NE(messages.back().Data.find("Subject: Read: offer\r\n"), std::string::npos) << messages.back().Data;
    EXPECT_NE(messages.back().Data.find("References: <orig-1@example.com>\r\n"), std::string::npos);
    EXPECT_EQ(Where(receipt).first, aftOutBox);
}

TEST_F(SmtpSendTest, SmtpTakesThePop3LoginWhenToldTo)
{
    FAccount->SetSmtpUsePop3(true);
    FAccount->SetPop3User("sender");
    FAccount->SetPop3Password("smtp pw");
    FAccount->SetSmtpUser("nobody");
    TAccountManager::AccountManager()->SaveAccount(FAccount.Get());
    const std::size_t before = Smtp().Messages().size();
    Queue(Simple("pop3 login"));
    Send();
    const auto messages = Smtp().WaitForMessages(before + 1);
    ASSERT_EQ(messages.size(), before + 1);
    EXPECT_EQ(messages.back().Login, "sender");
}

TEST_F(SmtpSendTest, AWrongPasswordKeepsEveryMailQueued)
{
    FAccount->SetSmtpPassword("wrong");
    TAccountManager::AccountManager()->SaveAccount(FAccount.Get());
    TRcResPath* mail = Queue(Simple("kept"));
    Send();
    const auto errors = FEvents->Texts("error");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind("错误：535 5.7.8", 0), 0u) << errors[0];
    EXPECT_EQ(Where(mail), std::make_pair(std::optional<TAccountFolderType>(aftSending), msarsSendToSmtp));
}

TEST_F(SmtpSendTest, CancelDuringTheSecondOfThreeSendsBackOnlyWhatTheServerDidNotTake)
{
    // Each message is answered after a second: time to cancel the second.
    Smtp().SetScript(R"({"delay_data": 1.0})");
    TRcResPath* mails[] = {Queue(Simple("one")), Queue(Simple("two")), Queue(Simple("three"))};
    std::atomic<bool> cancelled{false};
    FEvents->OnProgress([&](const TReceiveEvents::TEvent&) {});
    std::thread canceller([&] {
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (std::chrono::steady_clock::now() < deadline && !cancelled) {
            for (const auto& event : FEvents->Events())
                if (event.Kind == "switch" && event.Curr == 2) {
                    Driver()->Cancel();
                    cancelled = true;
                    break;
                }
            std::this_thread::sleep_for(1ms);
        }
    });
    Send();
    cancelled = true;
    canceller.join();
    int sent = 0, cancelledMails = 0;
    for (TRcResPath* mail : mails) {
        const auto [folder, state] = Where(mail);
        sent += folder == aftOutBox ? 1 : 0;
        cancelledMails += folder == aftDraft && state == msarsSendCancel ? 1 : 0;
    }
    EXPECT_EQ(sent, 1);
    EXPECT_EQ(cancelledMails, 2);
    EXPECT_TRUE(FEvents->Texts("error").empty());
    const auto infos = FEvents->Texts("info");
    EXPECT_NE(std::find(infos.begin(), infos.end(), "已取消发送邮件"), infos.end());
}

// What a composer makes: an HTML page with an inline picture, attachments
// with Chinese names, a Chinese subject, a Bcc.
std::string RichMessage(const std::string& aTo, const std::string& aBcc)
{
    std::string picture = "\x89PNG\r\n\x1a\n";
    for (int i = 0; i < 3000; ++i)
        picture.push_back(static_cast<char>(i * 7));
    gchar* picture64 = g_base64_encode(reinterpret_cast<const guchar*>(picture.data()), picture.size());
    std::string attachment;
    for (int i = 0; i < 200000; ++i)
        attachment.push_back(static_cast<char>((i * 31) ^ (i >> 5)));
    gchar* attachment64 = g_base64_encode(reinterpret_cast<const guchar*>(attachment.data()), attachment.size());
    auto lines = [](const std::string& aText) {
        std::string out;
        for (std::size_t at = 0; at < aText.size(); at += 76)
            out += aText.substr(at, 76) + "\r\n";
        return out;
    };
    std::string message =
        "From: Sender <sender@example.com>\r\nTo: " + aTo + "\r\nBcc: " + aBcc +
        "\r\nSubject: =?UTF-8?B?5oql5Lu35Y2V77ya5LiN6ZSI6ZKi6J665Lid?=\r\n"
        "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"outer\"\r\n\r\n"
        "--outer\r\nContent-Type: multipart/related; boundary=\"inner\"\r\n\r\n"
        "--inner\r\nContent-Type: text/html; charset=utf-8\r\n\r\n"
        "<html><body><p>您好，请见报价。</p><img src=\"cid:logo@example.com\"></body></html>\r\n"
        "--inner\r\nContent-Type: image/png; name=\"logo.png\"\r\nContent-ID: <logo@example.com>\r\n"
        "Content-Transfer-Encoding: base64\r\nContent-Disposition: inline; filename=\"logo.png\"\r\n\r\n" +
        lines(picture64) + "--inner--\r\n"
        "--outer\r\nContent-Type: application/octet-stream; name*=UTF-8''%E6%8A%A5%E4%BB%B7%E5%8D%95.bin\r\n"
        "Content-Transfer-Encoding: base64\r\n"
        "Content-Disposition: attachment; filename*=UTF-8''%E6%8A%A5%E4%BB%B7%E5%8D%95.bin\r\n\r\n" +
        lines(attachment64) + "--outer--\r\n";
    g_free(picture64);
    g_free(attachment64);
    return message;
}

TEST_F(SmtpSendTest, SentThenReceivedBackEveryPartArrivesAndNoHeaderNamesTheBlindRecipient)
{
    static int round = 0;
    const std::string to = "to" + std::to_string(++round), bcc = "bcc" + std::to_string(round);
    Dovecot().AddUser(to, "pop pw");
    Dovecot().AddUser(bcc, "pop pw");
    const std::string toAddress = to + "@example.com", bccAddress = bcc + "@example.com";
    Smtp().SetScript(R"({"deliver": {")" + toAddress + R"(": ")" + Dovecot().Maildir(to).string() + R"(", ")" +
                     bccAddress + R"(": ")" + Dovecot().Maildir(bcc).string() + R"("}})");
    for (TTlsMode mode : {tlsmStartTls, tlsmImplicit}) {
        SCOPED_TRACE(mode);
        FAccount->SetSmtpHost("localhost");   // the name the certificate carries
        FAccount->SetSmtpPort(mode == tlsmImplicit ? Smtp().TlsPort() : Smtp().PlainPort());
        FAccount->SetSmtpTlsMode(mode);
        TAccountManager::AccountManager()->SaveAccount(FAccount.Get());
        const std::size_t before = Smtp().Messages().size();
        TRcResPath* mail = Queue(RichMessage(toAddress, bccAddress));
        Send();
        EXPECT_TRUE(FEvents->Texts("error").empty()) << FEvents->Texts("error").front();
        EXPECT_EQ(Where(mail).first, aftOutBox);
        const auto messages = Smtp().WaitForMessages(before + 1);
        ASSERT_EQ(messages.size(), before + 1);
        EXPECT_EQ(messages.back().To, (std::vector<std::string>{toAddress, bccAddress}));
        EXPECT_EQ(messages.back().Data.find(bcc), std::string::npos) << "a header names the blind recipient";
    }
    // Both receive both mails, whole.
    const auto sentMessages = Smtp().Messages();
    for (const std::string& user : {to, bcc}) {
        SCOPED_TRACE(user);
        auto receiver = TAccountManager::AccountManager()->CreateNewAccount();
        receiver->SetEmail(user + "@example.com");
        receiver->SetPop3Host("127.0.0.1");
        receiver->SetPop3Port(Dovecot().PlainPort());
        receiver->SetPop3User(user);
        receiver->SetPop3Password("pop pw");
        receiver->SetAutoReveiveSend(false);
        receiver->SetAutoReveiveEarliestDate(0);
        TAccountManager::AccountManager()->SaveAccount(receiver.Get());
        TRcResPath* account = TRcResPath::CreateAndAutoRelease({receiver->ResId()});
        Driver()->PriorityReceive(account);
        ASSERT_TRUE(FEvents->WaitForTaskEnds(++FJobs));
        TRcResPath* inbox = TAccountFolderManager::AccountFolderManager()->GetStandardFolderResPath(account, aftInBox);
        TRcResIdList* ids = Mails()->GetMails(inbox);
        ASSERT_EQ(ids->Count(), 2);
        for (TRcResId* id : *ids) {
            TRcMail* mail = Mails()->GetMail(inbox->Append(id));
            EXPECT_EQ(mail->FSubject, "报价单：不锈钢螺丝");
            EXPECT_EQ(mail->FTo, toAddress);
            TRcMailComplex* complex = Mails()->LoadMailComplex(inbox->Append(id));
            ASSERT_NE(complex, nullptr);
            EXPECT_NE(complex->HtmlBody()->ReadHtmlContent().find("您好，请见报价。"), std::string::npos);
            ASSERT_EQ(complex->HtmlFileList()->Count(), 1);
            EXPECT_EQ(complex->HtmlFileList()->GetItem(0)->FContentId, "<logo@example.com>");
            EXPECT_EQ(ReadWholeFile(complex->HtmlFileList()->GetItem(0)->FFileName).substr(0, 4), "\x89PNG");
            ASSERT_EQ(complex->AttachmentFileList()->Count(), 1);
            EXPECT_EQ(complex->AttachmentFileList()->GetItem(0)->FRealFileName, "报价单.bin");
            EXPECT_EQ(ReadWholeFile(complex->AttachmentFileList()->GetItem(0)->FFileName).size(), 200000u);
        }
    }
}

TEST_F(SmtpSendTest, AMassMailingToFiftyGoesAsFiftyMailsEachToItsOneRecipient)
{
    std::string to, cc, bcc;
    std::vector<std::string> addresses;
    for (int i = 0; i < 50; ++i) {
        const std::string address = "customer" + std::to_string(i) + "@example.com";
        addresses.push_back(address);
        std::string& field = i < 30 ? to : i < 40 ? cc : bcc;
        field += (field.empty() ? "" : ", ") + ("Customer " + std::to_string(i) + " <" + address + ">");
    }
    to += ", customer0@EXAMPLE.com";   // once is enough
    const std::string message = "From: Sender <sender@example.com>\r\nTo: " + to + "\r\nCc: " + cc +
                                "\r\nBcc: " + bcc +
                                "\r\nSubject: New catalogue\r\nMIME-Version: 1.0\r\n"
                                "Content-Type: text/plain; charset=utf-8\r\n\r\nOur new catalogue.\r\n";
    const fs::path file = FScratch.Path() / "mass.eml";
    std::ofstream(file, std::ios::binary) << message;

    // Nobody to send to: nothing changes.
    const fs::path lonely = FScratch.Path() / "lonely.eml";
    std::ofstream(lonely, std::ios::binary) << "From: sender@example.com\r\nSubject: nobody\r\n\r\nx\r\n";
    TRcResPath* nobody = Mails()->ImportMailFromFile(Folder(aftDraft), lonely);
    EXPECT_THROW(Mails()->QueueMassMailing(nobody), Exception);
    EXPECT_EQ(Where(nobody).first, aftDraft);
    EXPECT_EQ(Mails()->GetMails(Folder(aftSending))->Count(), 0);

    TRcResPath* draft = Mails()->ImportMailFromFile(Folder(aftDraft), file);
    auto queued = MakeRc<TRcResPathList>();
    Mails()->QueueMassMailing(draft, queued.Get());
    EXPECT_EQ(queued->Count(), 50);
    EXPECT_EQ(Where(draft).first, std::nullopt);   // the draft is gone
    const std::size_t before = Smtp().Messages().size();
    Send();
    EXPECT_TRUE(FEvents->Texts("error").empty());
    const auto messages = Smtp().WaitForMessages(before + 50);
    ASSERT_EQ(messages.size(), before + 50);
    std::set<std::string> recipients, ids;
    for (std::size_t i = before; i < messages.size(); ++i) {
        const auto& sent = messages[i];
        ASSERT_EQ(sent.To.size(), 1u);
        recipients.insert(sent.To[0]);
        TGObject<GMimeMessage> parsed = ParseMessage(sent.Data);
        ASSERT_TRUE(parsed);
        const auto toHeader = ParseAddressList(HeaderText(GMIME_OBJECT(parsed.get()), "To"));
        ASSERT_EQ(toHeader.size(), 1u);
        EXPECT_EQ(toHeader[0].Address, sent.To[0]);
        EXPECT_EQ(HeaderText(GMIME_OBJECT(parsed.get()), "Cc"), "");
        EXPECT_EQ(sent.Data.find("\r\nBcc:"), std::string::npos);
        ids.insert(HeaderText(GMIME_OBJECT(parsed.get()), "Message-ID"));
    }
    EXPECT_EQ(recipients, std::set<std::string>(addresses.begin(), addresses.end()));
    EXPECT_EQ(ids.size(), 50u);
    EXPECT_EQ(Mails()->GetMails(Folder(aftOutBox))->Count(), 50);
}

// The state and folder code of a mail, read straight from the account's
// database file (another process owns the data folder meanwhile).
std::pair<int, int> StoredStateAndFolder(const fs::path& aDbFile, const std::string& aId)
{
    sqlite3* db = nullptr;
    std::pair<int, int> result{-1, -1};
    if (sqlite3_open_v2(aDbFile.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_busy_timeout(db, 2000);
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, "select [SendReciveState], [Type] from [Mail] where [Id] = ?", -1, &statement,
                               nullptr) == SQLITE_OK) {
            sqlite3_bind_text(statement, 1, aId.c_str(), -1, SQLITE_TRANSIENT);
            if (sqlite3_step(statement) == SQLITE_ROW)
                result = {sqlite3_column_int(statement, 0), sqlite3_column_int(statement, 1)};
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return result;
}

// The program dies after a mail's final "." and before the server's
// answer: the server took the mail, so it must never go a second time.
TEST_F(SmtpSendTest, ASenderKilledBetweenTheFinalDotAndTheAnswerNeverSendsTheMailAgain)
{
    Smtp().SetScript(R"({"delay_after_store": 3.0})");
    const std::size_t before = Smtp().Messages().size();
    TRcResPath* mail = Queue(Simple("in flight"));
    const std::string id = mail->Last()->Id();
    const fs::path db = FScratch.Path() / "Accounts" / FAccount->ResId()->Id() / "Account.db";
    const int drafts = *FolderCodeOf(aftDraft);
    TearDown();   // the driver owns the data folder from here

    TJobDriver sender = StartJobDriver(FScratch.Path(), "send", FScratch.Path() / "first.err");
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (StoredStateAndFolder(db, id).first != msarsSendInFlight && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(2ms);
    ASSERT_EQ(StoredStateAndFolder(db, id).first, msarsSendInFlight) << ReadWholeFile(FScratch.Path() / "first.err");
    ::kill(sender.Pid, SIGKILL);
    EXPECT_EQ(WaitForJobDriver(sender), -1);
    // The server answers into the void and keeps the mail.
    EXPECT_EQ(Smtp().WaitForMessages(before + 1).size(), before + 1);

    Smtp().SetScript("{}");
    const fs::path errors = FScratch.Path() / "driver.err";
    TJobDriver again = StartJobDriver(FScratch.Path(), "send", errors);
    EXPECT_EQ(WaitForJobDriver(again), 1);   // it reports the mail
    EXPECT_NE(ReadWholeFile(errors).find("可能已经送达"), std::string::npos) << ReadWholeFile(errors);
    EXPECT_EQ(StoredStateAndFolder(db, id), std::make_pair(static_cast<int>(msarsSendInFlight), drafts));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(Smtp().Messages().size(), before + 1);   // not sent again
}

// quillmar-cli as a user runs it: its own data and runtime folders, its
// output read back.
struct TCliResult {
    int Code = -1;
    std::string Out;
    std::string Err;
};

TCliResult RunCli(const fs::path& aData, const fs::path& aRuntime, const std::vector<std::string>& aArgs,
                  const std::string& aInput = {}, const std::vector<std::string>& aEnv = {})
{
    const fs::path program = fs::read_symlink("/proc/self/exe").parent_path() / "quillmar-cli";
    const fs::path out = aData.parent_path() / "cli.out", err = aData.parent_path() / "cli.err",
                   in = aData.parent_path() / "cli.in";
    std::ofstream(in, std::ios::binary) << aInput;
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        if (std::string(*e).rfind("QMC2FOLDER=", 0) != 0 && std::string(*e).rfind("XDG_RUNTIME_DIR=", 0) != 0)
            env.emplace_back(*e);
    env.push_back("QMC2FOLDER=" + aData.string());
    env.push_back("XDG_RUNTIME_DIR=" + aRuntime.string());
    env.insert(env.end(), aEnv.begin(), aEnv.end());
    std::vector<char*> envp, argv;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string name = program.string();
    std::vector<std::string> args = aArgs;
    argv.push_back(name.data());
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    TCliResult result;
    if (::posix_spawn(&pid, name.c_str(), &actions, nullptr, argv.data(), envp.data()) == 0) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        result.Code = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
    }
    posix_spawn_file_actions_destroy(&actions);
    result.Out = ReadWholeFile(out);
    result.Err = ReadWholeFile(err);
    return result;
}

// The walk-through of the README: an account, a mail to oneself, received,
// listed and shown — and the mistakes a user makes, each one line.
TEST_F(SmtpSendTest, TheCommandLineWalkThrough)
{
    TearDown();   // the tool owns the data folder
    static int round = 0;
    const std::string user = "cli" + std::to_string(++round);
    Dovecot().AddUser(user, "cli pw");
    Smtp().AddUser(user, "cli pw");
    const std::string me = user + "@example.com";
    Smtp().SetScript(R"({"deliver": {")" + me + R"(": ")" + Dovecot().Maildir(user).string() + R"("}})");
    const TScratchFolder home("qm-cli");
    const TScratchFolder runtime("qm-clirt", "/tmp");
    const fs::path data = home.Path() / "data";
    const std::string pop3 = "127.0.0.1:" + std::to_string(Dovecot().PlainPort());
    const std::string smtp = "127.0.0.1:" + std::to_string(Smtp().PlainPort());
    auto cli = [&](const std::vector<std::string>& aArgs, const std::string& aInput = {}) {
        return RunCli(data, runtime.Path(), aArgs, aInput);
    };

    auto added = cli({"account", "add", me, "--pop3", pop3, "--smtp", smtp, "--user", user, "--password-stdin"},
                     "cli pw\n");
    ASSERT_EQ(added.Code, 0) << added.Err;
    std::ofstream(home.Path() / "body.txt") << "Hello from the command line.\n你好。\n";
    std::ofstream(home.Path() / "price list.pdf", std::ios::binary) << std::string(5000, 'p');
    auto sent = cli({"send", "--to", me, "--subject", "Hello 你好", "--body", (home.Path() / "body.txt").string(),
                     "--attach", (home.Path() / "price list.pdf").string()});
    ASSERT_EQ(sent.Code, 0) << sent.Err << sent.Out;
    EXPECT_NE(sent.Out.find(" sent"), std::string::npos) << sent.Out;
    auto received = cli({"receive"});
    ASSERT_EQ(received.Code, 0) << received.Err;
    EXPECT_EQ(received.Out, me + ": 1 received, 0 failed\n");
    EXPECT_NE(received.Err.find("邮件接收完成"), std::string::npos) << received.Err;   // status lines
    auto listed = cli({"list", "--json"});
    ASSERT_EQ(listed.Code, 0) << listed.Err;
    const auto list = nlohmann::json::parse(listed.Out);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0]["subject"], "Hello 你好");
    const std::string handle = list[0]["mail"];
    EXPECT_GE(handle.size(), 6u);
    auto shown = cli({"show", handle});
    ASSERT_EQ(shown.Code, 0) << shown.Err;
    EXPECT_NE(shown.Out.find("Subject: Hello 你好"), std::string::npos) << shown.Out;
    EXPECT_NE(shown.Out.find("Attachment: price list.pdf (5000 bytes)"), std::string::npos) << shown.Out;
    EXPECT_NE(shown.Out.find("你好。"), std::string::npos) << shown.Out;
    EXPECT_EQ(nlohmann::json::parse(cli({"show", handle, "--json"}).Out)["subject"], "Hello 你好");

    // Out as a message file, and in again.
    const fs::path exported = home.Path() / "exported.eml";
    ASSERT_EQ(cli({"export", handle, exported.string()}).Code, 0);
    EXPECT_NE(ReadWholeFile(exported).find("Subject: =?"), std::string::npos);
    EXPECT_EQ(cli({"export", handle, exported.string()}).Code, 1);   // never silently overwritten
    const auto imported = cli({"import", "drafts", exported.string(), "--json"});
    ASSERT_EQ(imported.Code, 0) << imported.Err;
    EXPECT_EQ(nlohmann::json::parse(imported.Out)[0]["error"], "");
    EXPECT_EQ(nlohmann::json::parse(cli({"list", "--folder", "drafts", "--json"}).Out).size(), 1u);
    std::ofstream(home.Path() / "photo.dat", std::ios::binary) << std::string("\x89PNG\r\n\x1a\n\0\0", 10);

    // An HTML page: the picture beside it goes inline, a file elsewhere
    // on the disk never.
    std::ofstream(home.Path() / "logo.png", std::ios::binary) << std::string("\x89PNG\r\n\x1a\nlogo", 12);
    std::ofstream(home.Path() / "page.html")
        << "<html><body><p>Our offer</p><img src=\"logo.png\"><img src=\"file:///etc/hostname\"></body></html>";
    ASSERT_EQ(cli({"send", "--to", me, "--subject", "page", "--html", (home.Path() / "page.html").string()}).Code, 0);
    ASSERT_EQ(cli({"receive"}).Code, 0);
    const auto pages = nlohmann::json::parse(cli({"list", "--search", "page", "--json"}).Out);
    ASSERT_EQ(pages.size(), 1u);
    const fs::path pageFile = home.Path() / "page.eml";
    ASSERT_EQ(cli({"export", pages[0]["mail"].get<std::string>(), pageFile.string()}).Code, 0);
    TGObject<GMimeMessage> page = ParseMessage(ReadWholeFile(pageFile));
    ASSERT_TRUE(page);
    int pictures = 0;
    g_mime_message_foreach(
        page.get(),
        [](GMimeObject*, GMimeObject* aPart, gpointer aCount) {
            if (GMIME_IS_PART(aPart) && g_mime_object_get_content_id(aPart))
                ++*static_cast<int*>(aCount);
        },
        &pictures);
    EXPECT_EQ(pictures, 1);

    // An account whose server is down, one whose password is wrong.
    const int closedPort = ClosedPort();
    ASSERT_EQ(cli({"account", "add", "down@example.com", "--pop3", "127.0.0.1:" + std::to_string(closedPort),
                   "--smtp", smtp, "--password-stdin"},
                  "pw\n")
                  .Code,
              0);
    // A second account whose password is wrong.
    ASSERT_EQ(cli({"account", "add", "wrong@example.com", "--pop3", pop3, "--smtp", smtp, "--user", user,
                   "--password-stdin"},
                  "not it\n")
                  .Code,
              0);
    struct TCase {
        std::vector<std::string> Args;
        int Code;
        const char* Says;
    } cases[] = {
        {{"bogus"}, 2, "unknown verb"},
        {{"list", "nobody@example.com"}, 1, "no account \"nobody@example.com\""},
        {{"send", me, "--to", "not an address"}, 2, "not a mail address"},
        {{"send", me, "--to", me, "--attach", "/no/such/file"}, 1, "cannot read \"/no/such/file\""},
        {{"show", "ZZZZZZZZ"}, 1, "no mail \"ZZZZZZZZ\""},
        {{"show", "abc"}, 2, "at least 6 characters"},
        {{"list", me, "--sort", "colour"}, 2, "--sort is"},
        {{"receive", "wrong@example.com"}, 1, "-ERR [AUTH]"},
        {{"account", "add", me, "--pop3", pop3, "--smtp", smtp}, 1, "already"},
        {{"account", "add", "x@example.com", "--pop3", "nohost", "--smtp", smtp}, 2, "HOST:PORT"},
        {{"receive", "down@example.com"}, 1, "Connection refused"},
        {{"import", "drafts", (home.Path() / "photo.dat").string(), "--account", me}, 1, "is not a message"},
        {{"send", me, "--to", me, "--translate", "en"}, 1, "no translation service"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Args[0] + (c.Args.size() > 1 ? " " + c.Args[1] : ""));
        const auto result = cli(c.Args, "pw\n");
        EXPECT_EQ(result.Code, c.Code) << result.Err;
        // One line says what went wrong (status lines may come before it).
        const std::size_t says = result.Err.find(c.Says);
        ASSERT_NE(says, std::string::npos) << result.Err;
        const std::size_t line = result.Err.rfind('\n', says);
        EXPECT_EQ(result.Err.compare(line == std::string::npos ? 0 : line + 1, 14, "quillmar-cli: "), 0) << result.Err;
    }
}

// ./build.sh demo, then the README's walk-through against it.
TEST_F(SmtpSendTest, TheDemoWalkThrough)
{
    TearDown();
    const TScratchFolder home("qm-demo");
    const TScratchFolder runtime("qm-demort", "/tmp");
    const fs::path data = home.Path() / "demo-data";
    const fs::path output = home.Path() / "demo.out";
    const std::string program = (fs::read_symlink("/proc/self/exe").parent_path() / "quillmar-demo").string();
    const std::string folder = data.string();
    char* const argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(folder.c_str()), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t demo = -1;
    ASSERT_EQ(::posix_spawn(&demo, program.c_str(), &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (ReadWholeFile(output).find("Ctrl-C here") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(20ms);
    ASSERT_NE(ReadWholeFile(output).find("export QMC2FOLDER='" + folder + "'"), std::string::npos)
        << ReadWholeFile(output);

    std::ofstream(home.Path() / "hello.txt") << "Hello, demo.\n";
    auto cli = [&](const std::vector<std::string>& aArgs) { return RunCli(data, runtime.Path(), aArgs); };
    const auto sent = cli({"send", "--to", "demo@example.com", "--subject", "Hello", "--body",
                           (home.Path() / "hello.txt").string()});
    EXPECT_EQ(sent.Code, 0) << sent.Err;
    const auto received = cli({"receive"});
    EXPECT_EQ(received.Out, "demo@example.com: 1 received, 0 failed\n") << received.Err;
    const auto listed = cli({"list", "--json"});
    const auto list = nlohmann::json::parse(listed.Out);
    ASSERT_EQ(list.size(), 1u) << listed.Err;
    const auto shown = cli({"show", list[0]["mail"].get<std::string>()});
    EXPECT_NE(shown.Out.find("Hello, demo."), std::string::npos) << shown.Out << shown.Err;

    ::kill(demo, SIGTERM);
    int status = 0;
    ::waitpid(demo, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ReadWholeFile(output);
}

// A data folder for the tool with one account sending through aSmtpPort.
class TMassSendSetup {
public:
    TMassSendSetup(int aSmtpPort, const std::string& aUser)
    {
        Smtp().AddUser(aUser, "mass pw");
        const auto added = Cli({"account", "add", aUser + "@example.com", "--pop3",
                                "127.0.0.1:" + std::to_string(Dovecot().PlainPort()), "--smtp",
                                "127.0.0.1:" + std::to_string(aSmtpPort), "--user", aUser, "--password-stdin"},
                               "mass pw\n");
        EXPECT_EQ(added.Code, 0) << added.Err;
        std::ofstream(Home.Path() / "body.txt") << "Our new catalogue.\n";
    }
    TCliResult Cli(const std::vector<std::string>& aArgs, const std::string& aInput = {},
                   const std::vector<std::string>& aEnv = {})
    {
        return RunCli(Home.Path() / "data", Runtime.Path(), aArgs, aInput, aEnv);
    }
    std::string Recipients(int aCount, const std::string& aExtraLine = {})
    {
        const fs::path file = Home.Path() / "recipients.txt";
        std::ofstream out(file);
        for (int i = 0; i < aCount; ++i) {
            out << "Customer " << i << " <customer" << i << "." << Home.Path().filename().string() << "@example.com>\n";
            if (i == 1 && !aExtraLine.empty())
                out << aExtraLine << "\n";
        }
        return file.string();
    }
    std::vector<std::string> MassArgs(const std::string& aRecipients)
    {
        return {"mass-send", "--recipients", aRecipients, "--subject", "Catalogue", "--body",
                (Home.Path() / "body.txt").string()};
    }

    TScratchFolder Home{"qm-mass"};
    TScratchFolder Runtime{"qm-massrt", "/tmp"};
};

std::vector<std::string> LinesStartingWith(const std::string& aText, const std::string& aPrefix)
{
    std::vector<std::string> lines;
    std::istringstream in(aText);
    for (std::string line; std::getline(in, line);)
        if (line.rfind(aPrefix, 0) == 0)
            lines.push_back(line);
    return lines;
}

TEST_F(SmtpSendTest, MassSendChecksEveryLineFirstAndPacesItself)
{
    TearDown();
    TMassSendSetup setup(Smtp().PlainPort(), "mass1");
    const std::size_t before = Smtp().Messages().size();
    const auto refused = setup.Cli(setup.MassArgs(setup.Recipients(4, "not an address")));
    EXPECT_EQ(refused.Code, 2);
    EXPECT_NE(refused.Err.find("recipients.txt:3: not one mail address: \"not an address\""), std::string::npos)
        << refused.Err;
    EXPECT_EQ(Smtp().Messages().size(), before);
    EXPECT_EQ(nlohmann::json::parse(setup.Cli({"list", "--folder", "sending", "--json"}).Out).size(), 0u);

    auto args = setup.MassArgs(setup.Recipients(4));
    args.insert(args.end(), {"--pause", "10", "--per-hour", "2"});
    const auto paced = setup.Cli(args, {}, {"QUILLMAR_CLI_FAKE_CLOCK=1"});
    ASSERT_EQ(paced.Code, 0) << paced.Err;
    EXPECT_EQ(LinesStartingWith(paced.Err, "wait "),
              (std::vector<std::string>{"wait 10.0 s", "wait 10.0 s", "wait 3580.0 s", "wait 10.0 s"}));
    EXPECT_NE(paced.Out.find("4 sent, 0 failed, 0 in doubt, 0 left"), std::string::npos) << paced.Out;
    const auto messages = Smtp().WaitForMessages(before + 4);
    ASSERT_EQ(messages.size(), before + 4);
}

TEST_F(SmtpSendTest, MassSendStopsWhenTheServerIsDownAndResumesWhenItIsBack)
{
    TearDown();
    const int port = ClosedPort();
    TMassSendSetup setup(port, "mass2");
    const auto down = setup.Cli(setup.MassArgs(setup.Recipients(5)));
    EXPECT_EQ(down.Code, 1);
    EXPECT_NE(down.Err.find("mass-send --resume goes on"), std::string::npos) << down.Err;
    EXPECT_NE(down.Out.find("0 sent, 0 failed, 0 in doubt, 5 left"), std::string::npos) << down.Out;

    TSmtpTestServer back(port);
    back.AddUser("mass2", "mass pw");
    const auto resumed = setup.Cli({"mass-send", "--resume"});
    ASSERT_EQ(resumed.Code, 0) << resumed.Err;
    EXPECT_NE(resumed.Out.find("5 sent, 0 failed, 0 in doubt, 0 left"), std::string::npos) << resumed.Out;
    std::set<std::string> recipients;
    for (const auto& message : back.WaitForMessages(5))
        recipients.insert(message.To.at(0));
    EXPECT_EQ(recipients.size(), 5u);
}

TEST_F(SmtpSendTest, MassSendKilledFiveTimesNeverSendsARecipientTwice)
{
    TearDown();
    TMassSendSetup setup(Smtp().PlainPort(), "mass3");
    const std::size_t before = Smtp().Messages().size();
    const std::string file = setup.Recipients(200);
    std::mt19937 random(20261211);
    std::uniform_int_distribution<int> point(3, 40);
    std::vector<std::string> inDoubt;
    const fs::path program = fs::read_symlink("/proc/self/exe").parent_path() / "quillmar-cli";
    for (int round = 0; round < 6; ++round) {
        std::vector<std::string> args = round == 0 ? setup.MassArgs(file) : std::vector<std::string>{"mass-send",
                                                                                                    "--resume"};
        const bool kill = round < 5;
        int pipe[2];
        ASSERT_EQ(::pipe2(pipe, O_CLOEXEC), 0);
        TFileHandle read(pipe[0]), write(pipe[1]);
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e)
            env.emplace_back(*e);
        env.push_back("QMC2FOLDER=" + (setup.Home.Path() / "data").string());
        env.push_back("XDG_RUNTIME_DIR=" + setup.Runtime.Path().string());
        std::vector<char*> envp, argv;
        for (auto& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        std::string name = program.string();
        argv.push_back(name.data());
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, write.Get(), 1);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        pid_t pid = -1;
        ASSERT_EQ(::posix_spawn(&pid, name.c_str(), &actions, nullptr, argv.data(), envp.data()), 0);
        posix_spawn_file_actions_destroy(&actions);
        write = TFileHandle();
        const int killAt = kill ? point(random) : 0;
        std::string output;
        int mails = 0;
        char buffer[4096];
        bool killed = false;
        for (ssize_t n; !killed && (n = ::read(read.Get(), buffer, sizeof buffer)) > 0;) {
            output.append(buffer, static_cast<std::size_t>(n));
            mails = static_cast<int>(LinesStartingWith(output, "mail ").size());
            if (kill && mails >= killAt) {
                ::kill(pid, SIGKILL);
                killed = true;
            }
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        for (const std::string& line : LinesStartingWith(output, "in doubt: "))
            inDoubt.push_back(line);
        if (!kill) {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << output;
        }
    }
    EXPECT_LE(inDoubt.size(), 5u);
    std::map<std::string, int> seen;
    for (std::size_t i = before; i < Smtp().Messages().size(); ++i)
        ++seen[Smtp().Messages()[i].To.at(0)];
    for (const auto& [recipient, count] : seen)
        EXPECT_EQ(count, 1) << recipient << " got the mail " << count << " times";
    EXPECT_EQ(seen.size() + inDoubt.size(), 200u) << "every recipient sent once or listed in doubt";
    EXPECT_GE(seen.size(), 195u);
}

TEST_F(SmtpSendTest, ABigAttachmentGoesToTheFileServerAndTheMailCarriesItsLink)
{
    TFakeMakerServer files;
    files.Start();
    const std::string address = "127.0.0.1:" + std::to_string(files.Port()) + "/fileServer";
    THttpOptions fast;
    fast.ConnectTimeoutMs = 2000;
    fast.IdleTimeoutMs = 2000;
    TRcSendMessageToSmtpRunable::SetBigAttachmentStep(BigAttachmentSendStep([address] { return address; }, fast));
    const fs::path big = FScratch.Path() / "big.bin";
    WritePatternFile(big, 25 * 1000 * 1000, 7);
    const std::string sha256 = FileSha256(big);   // queueing takes the file in
    const fs::path small = FScratch.Path() / "small.txt";
    std::ofstream(small) << "price list";
    const std::size_t before = Smtp().Messages().size();
    TRcResPath* mail = QueueWithAttachments(Folder(aftSending), FScratch.Path(),
                                            {{"catalogue 2024.zip", big}, {"prices.txt", small}});
    Send();
    const auto messages = Smtp().WaitForMessages(before + 1);
    ASSERT_EQ(messages.size(), before + 1);
    EXPECT_TRUE(FEvents->Texts("error").empty());
    EXPECT_EQ(Where(mail).first, aftOutBox);
    const std::string& data = messages.back().Data;
    EXPECT_LT(data.size(), 100000u) << "the big file went with the mail";
    EXPECT_NE(data.find("prices.txt"), std::string::npos);

    // The captured mail, read back as a received one: its page holds the box.
    const fs::path captured = FScratch.Path() / "captured.eml";
    std::ofstream(captured, std::ios::binary) << data;
    TRcResPath* back = Mails()->ImportMailFromFile(Folder(aftInBox), captured);
    TRcMailComplex* complex = Mails()->LoadMailComplex(back);
    const std::string html = complex->HtmlBody()->ReadHtmlContent();
    complex->RemoveWorkingFiles();
    EXPECT_NE(html.find("<div class=\"attachbox\">"), std::string::npos) << html;
    EXPECT_NE(html.find(">catalogue 2024.zip</a> （23.8 MB）"), std::string::npos) << html;
    const std::string marker = "<a href=\"";
    const auto start = html.find(marker);
    ASSERT_NE(start, std::string::npos);
    std::string link = html.substr(start + marker.size(), html.find('"', start + marker.size()) - start - marker.size());
    for (std::size_t at; (at = link.find("&amp;")) != std::string::npos;)
        link.replace(at, 5, "&");
    EXPECT_EQ(link.rfind("http://" + address + "?do=d&id=", 0), 0u) << link;
    EXPECT_NE(link.find("&realName=catalogue%202024.zip&"), std::string::npos) << link;

    auto http = MakeRc<THttpRequest>(fast);
    const fs::path downloaded = FScratch.Path() / "downloaded.bin";
    const THttpResult got = http->GetToFile(link, downloaded);
    ASSERT_TRUE(got.Ok) << got.Error;
    EXPECT_EQ(FileSha256(downloaded), sha256);
}

TEST_F(SmtpSendTest, WithoutAFileServerABigAttachmentGoesWithTheMailAndTheStatusSaysWhy)
{
    TRcSendMessageToSmtpRunable::SetBigAttachmentStep(BigAttachmentSendStep([] { return std::string(); }));
    const fs::path big = FScratch.Path() / "big.zip";
    std::ofstream(big).close();
    fs::resize_file(big, kBigAttachmentSize + 1);
    const std::size_t before = Smtp().Messages().size();
    TRcResPath* mail = QueueWithAttachments(Folder(aftSending), FScratch.Path(), {{"big.zip", big}});
    Send();
    const auto messages = Smtp().WaitForMessages(before + 1);
    ASSERT_EQ(messages.size(), before + 1);
    EXPECT_GT(messages.back().Data.size(), static_cast<std::size_t>(kBigAttachmentSize));
    EXPECT_EQ(Where(mail).first, aftOutBox);
    EXPECT_TRUE(FEvents->Texts("error").empty());
    const auto infos = FEvents->Texts("info");
    EXPECT_NE(std::find(infos.begin(), infos.end(), "没有设置文件服务器，超大附件随邮件发送：big.zip"), infos.end());
}

TEST_F(SmtpSendTest, CancelDuringABigAttachmentsUploadPutsTheMailBackUnchanged)
{
    TFakeMakerServer files;
    files.Start();
    // The reply waits: time to cancel while the upload is running.
    files.Script("/fileServer", {TScriptedReply::Delay(10000)});
    const std::string address = "127.0.0.1:" + std::to_string(files.Port()) + "/fileServer";
    TRcSendMessageToSmtpRunable::SetBigAttachmentStep(BigAttachmentSendStep([address] { return address; }));
    const fs::path big = FScratch.Path() / "big.zip";
    std::ofstream(big).close();
    fs::resize_file(big, kBigAttachmentSize + 1);
    const std::size_t before = Smtp().Messages().size();
    TRcResPath* mail = QueueWithAttachments(Folder(aftSending), FScratch.Path(), {{"big.zip", big}});
    std::atomic<bool> cancelled{false};
    std::thread canceller([&] {
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (std::chrono::steady_clock::now() < deadline && !cancelled) {
            for (const auto& event : FEvents->Events())
                if (event.Kind == "progress" && event.Curr > kBigAttachmentSize) {
                    Driver()->Cancel();
                    cancelled = true;
                    break;
                }
            std::this_thread::sleep_for(1ms);
        }
    });
    Send();
    cancelled = true;
    canceller.join();
    EXPECT_EQ(Smtp().Messages().size(), before);
    const auto [folder, state] = Where(mail);
    EXPECT_EQ(folder, aftDraft);
    EXPECT_EQ(state, msarsSendCancel);
    TRcMailComplex* complex = Mails()->LoadMailComplex(Folder(aftDraft)->Append(mail->Last()));
    ASSERT_NE(complex, nullptr);
    ASSERT_EQ(complex->AttachmentFileList()->Count(), 1);
    EXPECT_EQ(complex->AttachmentFileList()->GetItem(0)->Size(), kBigAttachmentSize + 1);
    EXPECT_EQ(complex->HtmlBody()->ReadHtmlContent().find("attachbox"), std::string::npos);
    complex->RemoveWorkingFiles();
}

} // namespace
