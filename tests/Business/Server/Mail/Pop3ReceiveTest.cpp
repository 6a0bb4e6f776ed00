// POP3 receiving into the store, through the scheduler's receive job,
// against a real Dovecot (started once for this executable) and, for
// what real servers never do, scripted ones.
#include "JobDriver.h"
#include "ReceiveEvents.h"
#include "Business/Account/AccountFolder.h"
#include "Business/Account/AccountManager.h"
#include "Business/AccountMail/AccountMailManager.h"
#include "Business/AccountMail/AccountMailTarget.h"
#include "Business/AccountMail/MailComplex.h"
#include "Business/AccountMail/MailHeaderFields.h"
#include "Business/AccountMail/MailRaw.h"
#include "Business/Data/TempFileManager.h"
#include "Business/Data/WholeFile.h"
#include "Business/Mime/MessageIo.h"
#include "Business/Server/MailRuleChecks.h"
#include "Business/Server/Mail/ReceiveMessageFromPop3Runable.h"
#include "Business/Server/MailSendReceiveObservable.h"
#include "Business/Server/ServerDriver.h"
#include "Runtime/AutoReleasePool.h"
#include "Runtime/DateTime.h"
#include "Support/AccountManagers.h"
#include "Support/ClosedPort.h"
#include "Support/DovecotEnvironment.h"
#include "Support/ScratchFolder.h"
#include "Support/ScriptedServer.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

TDovecotServer& Dovecot()
{
    return TDovecotEnvironment::Dovecot();
}

const fs::path kPythonCorpus = "/usr/lib/python3.11/test/test_email/data";

std::string ReadFile(const fs::path& aPath)
{
    std::ifstream in(aPath, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// What a POP3 server sends of a stored file: every line ends in CR LF.
std::string WithCrLf(std::string_view aText)
{
    std::string out;
    out.reserve(aText.size() + aText.size() / 40);
    for (std::size_t i = 0; i < aText.size(); ++i) {
        if (aText[i] == '\n' && (i == 0 || aText[i - 1] != '\r'))
            out.push_back('\r');
        out.push_back(aText[i]);
    }
    if (!out.empty() && out.back() != '\n')
        out += "\r\n";
    return out;
}

// The TOP and RETR counts of every finished session of aUser, from
// Dovecot's log ("top=N/B, retr=N/B" at logout).
struct TSession {
    int Top;
    int Retr;
};
std::vector<TSession> Sessions(const std::string& aUser)
{
    std::vector<TSession> sessions;
    std::istringstream log(Dovecot().Log());
    const std::string tag = "pop3(" + aUser + ")";
    for (std::string line; std::getline(log, line);) {
        const auto top = line.find("top=");
        const auto retr = line.find("retr=");
        if (line.find(tag) == std::string::npos || top == std::string::npos || retr == std::string::npos)
            continue;
        sessions.push_back({std::atoi(line.c_str() + top + 4), std::atoi(line.c_str() + retr + 5)});
    }
    return sessions;
}
// Waits until Dovecot has logged aCount sessions of aUser.
std::vector<TSession> WaitForSessions(const std::string& aUser, std::size_t aCount)
{
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    std::vector<TSession> sessions = Sessions(aUser);
    while (sessions.size() < aCount && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(20ms);
        sessions = Sessions(aUser);
    }
    return sessions;
}

void ShortTimeouts(TTransportSettings& aSettings)
{
    aSettings.ConnectTimeout = 1s;
    aSettings.IdleTimeout = 1s;
}

class Pop3ReceiveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        static int users = 0;
        FUser = "recv" + std::to_string(++users);
        FPassword = "pw " + std::to_string(users);
        Dovecot().AddUser(FUser, FPassword);
        FManagers = std::make_unique<TAccountManagers>(FScratch.Path());
        TServerDriver::BuildInstance();
        Driver()->Scheduler()->SetTranslationServiceOn([] { return false; });
        Driver()->Scheduler()->Transports().Set(tsPop3Receive, Pop3ReceiveRunableFactory(ShortTimeouts));
        Driver()->RegisterObserver(FEvents.Get());
        Driver()->Init();
    }
    void TearDown() override
    {
        if (FTornDown)
            return;
        FTornDown = true;
        Driver()->UnInit();
        Driver()->UnRegisterObserver(FEvents.Get());
        TServerDriver::ReleaseInstance();
        SetMailRuleChecks({});
        FAccount = nullptr;
        FManagers.reset();
    }

    static TServerDriver* Driver() { return TServerDriver::ServerDriver(); }
    static TAccountMailManager* Mails() { return TAccountMailManager::AccountMailManager(); }

    TRcResPath* Account(int aPort = 0, const std::string& aPassword = {}, const std::string& aUser = {})
    {
        if (!FAccount) {
            FAccount = TAccountManager::AccountManager()->CreateNewAccount();
            FAccount->SetEmail(FUser + "@example.com");
            FAccount->SetPop3Host("127.0.0.1");
            FAccount->SetPop3UseSsl(false);
            FAccount->SetAutoReveiveSend(false);
            FAccount->SetAutoReveiveEarliestDate(0);
        }
        FAccount->SetPop3Port(aPort ? aPort : Dovecot().PlainPort());
        FAccount->SetPop3User(aUser.empty() ? FUser : aUser);
        FAccount->SetPop3Password(aPassword.empty() ? FPassword : aPassword);
        TAccountManager::AccountManager()->SaveAccount(FAccount.Get());
        return TRcResPath::CreateAndAutoRelease({FAccount->ResId()});
    }
    TRcResPath* AccountPath() { return TRcResPath::CreateAndAutoRelease({FAccount->ResId()}); }
    TRcResPath* Folder(TAccountFolderType aType)
    {
        return TAccountFolderManager::AccountFolderManager()->GetStandardFolderResPath(AccountPath(), aType);
    }

    // Runs one receive job through the scheduler and waits for its end.
    void Receive()
    {
        Driver()->PriorityReceive(TRcResPath::CreateAndAutoRelease({FAccount->ResId()}));
        ASSERT_TRUE(FEvents->WaitForTaskEnds(++FJobs)) << "the receive job did not end";
    }
    void ReceiveWindow(TDateTime aBegin, TDateTime aEnd)
    {
        Driver()->PriorityReceivePop3AndNoTranslate(TRcResPath::CreateAndAutoRelease({FAccount->ResId()}), aBegin,
                                                    aEnd);
        ASSERT_TRUE(FEvents->WaitForTaskEnds(++FJobs)) << "the receive job did not end";
    }

    // Every mail of the account, whatever its folder, by uid.
    std::map<std::string, TRcRef<TRcMail>> MailsByUid()
    {
        std::map<std::string, TRcRef<TRcMail>> mails;
        TRcResIdList* ids = Mails()->GetAllMails(AccountPath());
        for (TRcResId* id : *ids) {
            TRcMail* mail = Mails()->GetMail(Folder(aftInBox)->Append(id));
            if (mail)
                mails[mail->FUid] = TRcRef<TRcMail>::Retain(mail);
        }
        return mails;
    }
    int InboxCount() { return Mails()->GetMails(Folder(aftInBox))->Count(); }

    TRetainCountObjectAutoReleasePool FPool;
    TScratchFolder FScratch{"qm-receive"};
    std::unique_ptr<TAccountManagers> FManagers;
    TRcRef<TRcAccount> FAccount;
    TRcRef<TReceiveEvents> FEvents = MakeRc<TReceiveEvents>();
    std::string FUser;
    std::string FPassword;
    int FJobs = 0;
    bool FTornDown = false;
};

std::vector<fs::path> Corpus()
{
    std::vector<fs::path> files;
    for (const fs::path& folder : {kPythonCorpus, fs::path(QUILLMAR_MIME_FIXTURES)}) {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(folder, ec))
            if (entry.path().extension() == ".txt" || entry.path().extension() == ".eml")
                files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

TEST_F(Pop3ReceiveTest, AMailboxOfRealWorldMailArrivesIntactAndASecondRunFetchesNothing)
{
    const auto files = Corpus();
    ASSERT_GE(files.size(), 50u) << "is libpython3.11-testsuite installed?";
    std::map<std::string, std::string> sent;   // uid -> bytes as the server sends them
    for (const fs::path& file : files) {
        const std::string bytes = ReadFile(file);
        if (bytes.empty())
            continue;
        sent[Dovecot().Deliver(FUser, bytes)] = WithCrLf(bytes);
    }
    Account();
    Receive();
    EXPECT_TRUE(FEvents->Texts("error").empty()) << FEvents->Texts("error").front();
    const std::vector<std::string> infos = FEvents->Texts("info");
    ASSERT_FALSE(infos.empty());
    EXPECT_EQ(infos.front(), "正在连接收件服务器…");
    EXPECT_EQ(infos.back(), "已断开与收件服务器的连接");
    EXPECT_NE(std::find(infos.begin(), infos.end(), "邮件接收完成"), infos.end());

    auto received = MailsByUid();
    int compared = 0;
    for (const auto& [uid, bytes] : sent) {
        SCOPED_TRACE(uid);
        auto raw = MakeRc<TRcMailRaw>();
        TRcMailRaw& expected = *raw;
        expected.RawStreamLoadFromString(bytes);
        expected.RawStreamToMessageAndBuilder();
        const TIdMessageBuilderHtmlEx& builder = expected.Builder();
        ASSERT_EQ(received.count(uid), 1u);
        TRcMail* mail = received[uid].Get();
        if (!builder.ReportMessageId.empty()) {
            // A read receipt leaves no mail, only its uid: it is not
            // fetched again.
            EXPECT_EQ(Mails()->GetMails(Folder(aftInBox))->IndexOf(mail->ResId()), -1);
            continue;
        }
        TRcResPath* path = Folder(aftInBox)->Append(mail->ResId());
        const TMailHeaderFields fields = MailHeaderFieldsOf(expected.Message());
        EXPECT_EQ(mail->FSubject, fields.Subject);
        EXPECT_EQ(mail->FFrom, fields.From);
        EXPECT_EQ(mail->FTo, fields.To);
        EXPECT_EQ(mail->FMessageId, fields.MessageId);
        EXPECT_EQ(mail->FSize, static_cast<int64_t>(bytes.size()));
        EXPECT_EQ(mail->FSendReceiveState, msarsNoneUser);   // moved into the inbox
        TRcMailComplex* complex = Mails()->LoadMailComplex(path);
        ASSERT_NE(complex, nullptr);
        const std::string body = builder.Html.empty() ? PlainTextToHtmlDivs(builder.PlainText) : builder.Html;
        EXPECT_TRUE(complex->HtmlBody()->ReadHtmlContent() == body);
        ASSERT_EQ(complex->AttachmentFileList()->Count(), static_cast<int>(builder.Attachments.size()));
        for (int i = 0; i < complex->AttachmentFileList()->Count(); ++i) {
            const auto* file = complex->AttachmentFileList()->GetItem(i);
            // Unnamed ones are named when taken apart, with the time.
            if (builder.Attachments[i].Name.rfind("attachment(", 0) != 0) {
                EXPECT_EQ(file->FRealFileName, builder.Attachments[i].Name);
            }
            EXPECT_TRUE(ReadWholeFile(file->FFileName) == ReadWholeFile(builder.Attachments[i].FileName))
                << file->FRealFileName;
        }
        ASSERT_EQ(complex->HtmlFileList()->Count(), static_cast<int>(builder.HtmlFiles.size()));
        for (int i = 0; i < complex->HtmlFileList()->Count(); ++i) {
            const auto* file = complex->HtmlFileList()->GetItem(i);
            EXPECT_EQ(file->FContentId, "<" + builder.HtmlFiles[i].ContentID + ">");
            EXPECT_TRUE(ReadWholeFile(file->FFileName) == ReadWholeFile(builder.HtmlFiles[i].FileName));
        }
        ++compared;
    }
    EXPECT_GE(compared, 50);
    EXPECT_EQ(InboxCount(), compared);
    // One session: a TOP and a RETR for each message.
    auto sessions = WaitForSessions(FUser, 1);
    ASSERT_EQ(sessions.size(), 1u);
    EXPECT_EQ(sessions[0].Top, static_cast<int>(sent.size()));
    EXPECT_EQ(sessions[0].Retr, static_cast<int>(sent.size()));

    // Everything is known now: the next run lists and fetches nothing.
    FEvents->Clear();
    Receive();
    EXPECT_TRUE(FEvents->Texts("error").empty());
    sessions = WaitForSessions(FUser, 2);
    ASSERT_EQ(sessions.size(), 2u);
    EXPECT_EQ(sessions[1].Top, 0);
    EXPECT_EQ(sessions[1].Retr, 0);
    EXPECT_EQ(InboxCount(), compared);
    const auto infos2 = FEvents->Texts("info");
    EXPECT_NE(std::find(infos2.begin(), infos2.end(), "共有0封邮件需要接收"), infos2.end());
}

std::string Message(const std::string& aSubject, const std::string& aFrom = "buyer@example.com",
                    const std::string& aDate = "Mon, 2 Dec 2024 10:00:00 +0000", const std::string& aBody = "Hello.")
{
    std::string message = "From: " + aFrom + "\r\nTo: seller@example.com\r\nSubject: " + aSubject + "\r\n";
    if (!aDate.empty())
        message += "Date: " + aDate + "\r\n";
    return message + "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=utf-8\r\n\r\n" + aBody + "\r\n";
}

std::set<std::string> Subjects(const std::map<std::string, TRcRef<TRcMail>>& aMails)
{
    std::set<std::string> subjects;
    for (const auto& [uid, mail] : aMails)
        subjects.insert(mail->FSubject);
    return subjects;
}

TEST_F(Pop3ReceiveTest, TheDateWindowAndTheNameListsDecideAndTheirHeadersAreReadOnce)
{
    const std::string old = "Mon, 1 Jan 2001 10:00:00 +0000";
    for (const std::string& message : {
             Message("old", "buyer@example.com", old),
             Message("recent"),
             Message("undated", "buyer@example.com", ""),
             Message("unreadable date", "buyer@example.com", "the day after tomorrow"),
             Message("white and old", "Friend <white@example.com>", old),
             Message("black", "black@example.com"),
             Message("white and black", "whiteblack@example.com"),
             Message("SPAM offer"),
             std::string("not a header at all\r\n\r\nbody\r\n"),
         })
        Dovecot().Deliver(FUser, message);
    SetMailRuleChecks({
        [](TRcResPath*, const std::string& aAddress) { return aAddress.rfind("white", 0) == 0; },
        [](TRcResPath*, const std::string& aAddress) { return aAddress.find("black") != std::string::npos; },
        [](TRcResPath*, const std::string& aSubject) { return aSubject.find("SPAM") != std::string::npos; },
    });
    Account();
    const TDateTime begin = EncodeDateTime({2020, 1, 1});
    const TDateTime end = EncodeDateTime({2030, 12, 31});
    ReceiveWindow(begin, end);
    EXPECT_TRUE(FEvents->Texts("error").empty());
    EXPECT_EQ(Subjects(MailsByUid()), (std::set<std::string>{"recent", "undated", "unreadable date",
                                                              "white and old", "white and black", ""}));
    // The ones left on the server cost no TOP the next time: their headers
    // are cached.
    ReceiveWindow(begin, end);
    const auto sessions = WaitForSessions(FUser, 2);
    ASSERT_EQ(sessions.size(), 2u);
    EXPECT_EQ(sessions[0].Top, 9);
    EXPECT_EQ(sessions[1].Top, 0);
    EXPECT_EQ(sessions[1].Retr, 0);
    // A window that takes them in brings them.
    ReceiveWindow(EncodeDateTime({2000, 1, 1}), end);
    EXPECT_EQ(MailsByUid().size(), 7u);   // "old"; black and filtered stay out
}

// Run as the fall-back of the translation service: mail becomes a
// translation candidate unless it is Chinese, has no subject or is huge.
TEST_F(Pop3ReceiveTest, ReceivedMailIsJudgedSummarisedAndReceiptsOnlyMarkTheirMail)
{
    TRcResPath* account = Account();
    // A mail we sent, to which a read receipt comes back.
    TRcRef<TRcMail> sent = Mails()->CreateMail();
    sent->FMessageId = "<0123@example.com>";
    sent->FSubject = "offer";
    Mails()->SaveMail(Folder(aftOutBox), sent.Get());

    const std::string html =
        "<html><head><title>t</title><style>p { color: red }</style></head><body>\r\n"
        "<p>Dear  buyer,</p>\r\n\r\n<p>please\tfind our &amp; prices&nbsp;below.</p><script>var x;</script>"
        "</body></html>";
    Dovecot().Deliver(FUser, Message("Quarterly price list"));
    Dovecot().Deliver(FUser, Message("询价：不锈钢螺丝"));
    Dovecot().Deliver(FUser, Message("Re: 报价 for steel pipes"));
    Dovecot().Deliver(FUser, Message("报价 ok"));
    Dovecot().Deliver(FUser, Message("   "));
    Dovecot().Deliver(FUser, "From: a@example.com\r\nSubject: page\r\nMIME-Version: 1.0\r\n"
                             "Content-Type: text/html; charset=utf-8\r\n\r\n" + html + "\r\n");
    std::string longSubject;
    for (int i = 0; i < 150; ++i)
        longSubject += "不锈钢";   // 1,350 bytes: every file named after it must be cut
    Dovecot().Deliver(FUser, Message(longSubject));
    const std::string receiptUid = Dovecot().Deliver(FUser, ReadFile(fs::path(QUILLMAR_MIME_FIXTURES) / "receipt.eml"));

    auto observable = MakeRc<TRcMailSendReceiveObservable>();
    observable->RegisterObserver(FEvents.Get());
    auto runable = MakeRc<TRcReceiveMessageFromPop3Runable>(7, account, prmPop3Translate, EncodeDateTime({2000, 1, 1}),
                                                            EncodeDateTime({2100, 1, 1}), observable.Get(),
                                                            ShortTimeouts);
    runable->Run();
    observable->UnRegisterObserver(FEvents.Get());
    EXPECT_TRUE(FEvents->Texts("error").empty());
    EXPECT_EQ(runable->RetrCount(), 8);

    std::map<std::string, TMailSendReceiveState> states;
    std::string summary;
    TRcResPathList* receiving = Mails()->GetReceivingFolderMails(
        account, {msarsPop3Translate, msarsPop3NotTranslate});
    ASSERT_NE(receiving, nullptr);
    for (TRcResPath* path : *receiving) {
        TRcMail* mail = Mails()->GetMail(path);
        states[mail->FSubject] = mail->FSendReceiveState;
        EXPECT_EQ(mail->FSourceLanguage, 9997);
        EXPECT_EQ(mail->FTargetLanguage, 1);
        if (mail->FSubject == "page")
            summary = mail->FMailSummary;
        if (mail->FSubject == longSubject) {
            TRcMailComplex* complex = Mails()->LoadMailComplex(path);
            ASSERT_NE(complex, nullptr);
            for (const TRcMailComplexFile* file : {static_cast<TRcMailComplexFile*>(complex->MsgHeader()),
                                                   static_cast<TRcMailComplexFile*>(complex->HtmlBody()),
                                                   static_cast<TRcMailComplexFile*>(complex->NoCidHtmlBody())})
                EXPECT_LE(file->FFileName.filename().string().size(), 255u);
            EXPECT_EQ(complex->Subject(), longSubject);
        }
    }
    EXPECT_EQ(states, (std::map<std::string, TMailSendReceiveState>{
                          {"Quarterly price list", msarsPop3Translate},
                          {"询价：不锈钢螺丝", msarsPop3NotTranslate},
                          {"Re: 报价 for steel pipes", msarsPop3Translate},
                          {"报价 ok", msarsPop3NotTranslate},
                          {"", msarsPop3NotTranslate},
                          {"page", msarsPop3Translate},
                          {longSubject, msarsPop3NotTranslate},
                      }));
    EXPECT_EQ(summary, "Dear buyer, please find our & prices\u00a0below.");
    // The receipt marked our mail and left nothing but its uid.
    EXPECT_TRUE(Mails()->GetMail(Folder(aftOutBox)->Append(sent->ResId()))->FReferences);
    EXPECT_TRUE(Mails()->UidExists(account, receiptUid));
    EXPECT_EQ(receiving->Count(), 7);
}

TEST_F(Pop3ReceiveTest, CancelInTheMiddleOfALargeMessageStoresNothingAndTheNextRunCompletes)
{
    const std::string big = Message("big", "buyer@example.com", "Mon, 2 Dec 2024 10:00:00 +0000",
                                    std::string(40 << 20, 'x'));
    const std::string uid = Dovecot().Deliver(FUser, big);
    Account();
    // Cancelled from this thread once the raw file is well under way.
    const fs::path temp = TTempFileManager::TempFileManager()->TempFolder();
    std::atomic<bool> cancelled{false};
    std::thread watcher([&] {
        const auto deadline = std::chrono::steady_clock::now() + 30s;
        while (!cancelled && std::chrono::steady_clock::now() < deadline) {
            std::error_code ec;
            for (const auto& entry : fs::directory_iterator(temp, ec)) {
                const auto size = fs::file_size(entry.path(), ec);
                if (!ec && entry.path().extension() == ".eml" && size > (1u << 20) && size < big.size()) {
                    Driver()->Cancel();
                    cancelled = true;
                    break;
                }
            }
            std::this_thread::sleep_for(200us);
        }
    });
    Receive();
    cancelled = true;
    watcher.join();
    const auto infos = FEvents->Texts("info");
    EXPECT_NE(std::find(infos.begin(), infos.end(), "已取消接收邮件"), infos.end());
    EXPECT_TRUE(FEvents->Texts("error").empty());   // a cancel is no failure
    EXPECT_FALSE(Mails()->UidExists(AccountPath(), uid));
    std::error_code ec;
    EXPECT_TRUE(fs::is_empty(mailstore::MailsFolderOf(FAccount->ResId()), ec) || ec);
    for (const auto& entry : fs::directory_iterator(temp))
        EXPECT_NE(entry.path().extension(), ".eml") << "a working file was left: " << entry.path();

    FEvents->Clear();
    Receive();
    EXPECT_TRUE(FEvents->Texts("error").empty());
    const auto mails = MailsByUid();
    ASSERT_EQ(mails.count(uid), 1u);
    EXPECT_EQ(mails.at(uid)->FSize, static_cast<int64_t>(big.size()));
}

TEST_F(Pop3ReceiveTest, AWrongPasswordAndADeadServerGiveTheUsersTexts)
{
    struct TCase {
        const char* Name;
        int Port;
        std::string Password;
        const char* Error;
    } cases[] = {
        {"wrong password", 0, "not the password", "错误：-ERR [AUTH] Authentication failed."},
        {"nobody listening", ClosedPort(), "", "错误：Connection to 127.0.0.1:"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        FEvents->Clear();
        Account(c.Port, c.Password);
        Receive();
        const auto errors = FEvents->Texts("error");
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_EQ(errors[0].rfind(c.Error, 0), 0u) << errors[0];
        const auto infos = FEvents->Texts("info");
        ASSERT_FALSE(infos.empty());
        EXPECT_EQ(infos.front(), "正在连接收件服务器…");
        EXPECT_EQ(infos.back(), "已断开与收件服务器的连接");
    }
}

// A line that breaks, or a server that falls silent, in the middle of a
// message costs that message only: the run logs in again for the rest,
// numbering them by the new session's listing.
TEST_F(Pop3ReceiveTest, ALineThatBreaksOrFallsSilentMidMessageCostsOnlyThatMessage)
{
    const std::string messages[] = {Message("first"), Message("second", "b@example.com", "", std::string(100000, 'y')),
                                    Message("third")};
    auto header = [](const std::string& aMessage) { return aMessage.substr(0, aMessage.find("\r\n\r\n") + 4); };
    auto login = [&](TScriptedPeer& aPeer, const std::string& aUidl) {
        ScriptLogin(aPeer);
        aPeer.Expect("UIDL");
        aPeer.Send("+OK\r\n" + aUidl + ".\r\n");
    };
    // aNumber: the number in this session; aMessage: which message it is.
    auto retr = [&](TScriptedPeer& aPeer, int aNumber, int aMessage) {
        const std::string& message = messages[aMessage - 1];
        aPeer.Expect("LIST " + std::to_string(aNumber));
        aPeer.Send("+OK " + std::to_string(aNumber) + " " + std::to_string(message.size()) + "\r\n");
        aPeer.Expect("RETR " + std::to_string(aNumber));
        aPeer.Send("+OK\r\n" + message + ".\r\n");
    };
    for (const bool silent : {false, true}) {
        SCOPED_TRACE(silent ? "silent" : "broken");
        TScriptedServer server(std::vector<TScriptedServer::TScript>{
            [&](TScriptedPeer& aPeer) {
                login(aPeer, "1 a\r\n2 b\r\n3 c\r\n");
                for (int n = 1; n <= 3; ++n) {
                    aPeer.Expect("TOP " + std::to_string(n) + " 0");
                    aPeer.Send("+OK\r\n" + header(messages[n - 1]) + ".\r\n");
                }
                retr(aPeer, 1, 1);
                aPeer.Expect("LIST 2");
                aPeer.Send("+OK 2 " + std::to_string(messages[1].size()) + "\r\n");
                aPeer.Expect("RETR 2");
                aPeer.Send("+OK\r\n" + messages[1].substr(0, 50000));
                if (silent)
                    aPeer.WaitForClose();   // the client's timeout ends it
            },
            // Meanwhile the second message went (another client took
            // it): the third is number 2 now, as the listing says.
            [&](TScriptedPeer& aPeer) {
                login(aPeer, "1 a\r\n2 c\r\n");
                retr(aPeer, 2, 3);
                aPeer.Expect("QUIT");
                aPeer.Send("+OK\r\n");
            },
        });
        FEvents->Clear();
        if (FAccount) {   // a fresh mailbox: forget the last round's mail
            TAccountManager::AccountManager()->DeleteAccount(FAccount->ResId());
            FAccount = nullptr;
        }
        Account(server.Port(), "p", "u");
        Receive();
        EXPECT_EQ(server.Finish(), "");
        EXPECT_EQ(Subjects(MailsByUid()), (std::set<std::string>{"first", "third"}));
        const auto errors = FEvents->Texts("error");
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_EQ(errors[0].rfind("POP3 正在接收第2封邮件时发生错误：", 0), 0u) << errors[0];
    }
}

// The base64 lines of aSize pseudo-random bytes (deflate cannot shrink
// them much, so the stored file is a real archive of real size).
std::string Base64Lines(std::size_t aSize, unsigned aSeed)
{
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::mt19937 random(aSeed);
    std::string text;
    for (std::size_t i = 0; i < aSize * 4 / 3; ++i) {
        text.push_back(kAlphabet[random() % 64]);
        if (i % 76 == 75)
            text += "\r\n";
    }
    return text + "\r\n";
}

std::string MailWithAttachment(int aNumber)
{
    return "From: buyer@example.com\r\nTo: seller@example.com\r\nSubject: order " + std::to_string(aNumber) +
           "\r\nMIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n\r\n"
           "--b\r\nContent-Type: text/plain; charset=utf-8\r\n\r\nsee the attachment\r\n"
           "--b\r\nContent-Type: application/octet-stream; name=\"order.bin\"\r\n"
           "Content-Transfer-Encoding: base64\r\nContent-Disposition: attachment; filename=\"order.bin\"\r\n\r\n" +
           Base64Lines(150000, aNumber) + "--b--\r\n";
}

std::vector<std::string> Column(sqlite3* aDb, const char* aSql)
{
    std::vector<std::string> values;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(aDb, aSql, -1, &statement, nullptr) != SQLITE_OK)
        throw std::runtime_error(sqlite3_errmsg(aDb));
    while (sqlite3_step(statement) == SQLITE_ROW) {
        const auto* text = sqlite3_column_text(statement, 0);
        values.emplace_back(text ? reinterpret_cast<const char*>(text) : "");
    }
    sqlite3_finalize(statement);
    return values;
}

// A receive of 200 messages, killed with SIGKILL at 15 points (counted in
// the events it reports, chosen by a fixed seed) and started again after
// each: in the end every message is there exactly once, the database is
// sound, and every file in Mails/ is one a row names, and the other way.
TEST_F(Pop3ReceiveTest, KilledAtFifteenPointsAndStartedAgainItEndsWithEveryMailOnce)
{
    std::set<std::string> uids;
    for (int i = 0; i < 200; ++i)
        uids.insert(Dovecot().Deliver(FUser, i % 10 == 0 ? MailWithAttachment(i)
                                                         : Message("mail " + std::to_string(i), "buyer@example.com",
                                                                   "Mon, 2 Dec 2024 10:00:00 +0000",
                                                                   std::string(2000 + i * 50, 'm'))));
    Account();
    const fs::path data = FScratch.Path();
    const std::string accountId = FAccount->ResId()->Id();
    // This process lets go of the data folder while the driver runs.
    TearDown();
    FTornDown = true;

    std::mt19937 random(20261211);
    std::uniform_int_distribution<int> point(1, 60);
    int kills = 0;
    for (int round = 0; round < 15; ++round) {
        const int result = RunJobDriver(data, "receive", point(random));
        kills += result == -1 ? 1 : 0;
        ASSERT_TRUE(result == -1 || result == 0) << "round " << round << " ended with " << result;
    }
    EXPECT_GE(kills, 12) << "most rounds must be killed mid-run";
    RecordProperty("kills", kills);
    ASSERT_EQ(RunJobDriver(data, "receive", 0), 0);

    const fs::path accountFolder = data / "Accounts" / accountId;
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2((accountFolder / "Account.db").c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    std::unique_ptr<sqlite3, int (*)(sqlite3*)> close(db, &sqlite3_close);
    EXPECT_EQ(Column(db, "PRAGMA integrity_check"), std::vector<std::string>{"ok"});
    const auto stored = Column(db, "select [Uid] from [Mail] where ifnull([Uid], '') <> ''");
    EXPECT_EQ(stored.size(), 200u);
    EXPECT_EQ(std::set<std::string>(stored.begin(), stored.end()), uids);
    EXPECT_EQ(Column(db, "select count(0) from [Mail] where [Type] <> (select [Type] from [Mail] limit 1)"),
              std::vector<std::string>{"0"});   // all in one folder, the inbox
    std::set<std::string> named;
    for (const std::string& id : Column(db, "select [Id] from [MailComplexFile] where [Deleted] = 0"))
        named.insert(id);
    std::set<std::string> files;
    for (const auto& entry : fs::directory_iterator(mailstore::MailsFolderOf(TRcResId::CreateAndAutoRelease(
             rtAccount, accountId))))
        files.insert(entry.path().stem().string());
    EXPECT_EQ(files, named);
    EXPECT_EQ(Column(db, "select count(distinct [ComplexId]) from [MailComplexFile] where [Deleted] = 0"),
              std::vector<std::string>{"200"});
}

} // namespace
