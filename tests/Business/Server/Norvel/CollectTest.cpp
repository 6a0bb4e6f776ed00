// Collecting translations from the translation service through the
// scheduler's receive job, against the fake maker's server (one for this
// executable): what is stored where, linked to what, and which entries are
// confirmed.
#include "Business/Account/AccountFolder.h"
#include "Business/Account/AccountManager.h"
#include "Business/AccountMail/AccountMailManager.h"
#include "Business/Business.h"
#include "Business/Data/ConfigManager.h"
#include "Business/Data/EncryDes.h"
#include "Business/Data/TempFileManager.h"
#include "Business/Resource/ResourceManager.h"
#include "Business/Server/MailSendReceiveObservable.h"
#include "Business/Server/ServerDriver.h"
#include "Business/Server/TransportSteps.h"
#include "Runtime/AutoReleasePool.h"
#include "Runtime/GuidId.h"
#include "Support/AccountManagers.h"
#include "Support/FakeServerEnvironment.h"
#include "Support/ScratchFolder.h"
#include "Business/Server/Mail/ReceiveEvents.h"
#include "TranslationRoutes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <map>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

TFakeMakerServer* Server()
{
    return TFakeServerEnvironment::Server();
}
TFakeTranslationService& Service()
{
    return Server()->Translation();
}

const std::string kList = "/mailOprAction!receiveMailList.action";
const std::string kReceipt = "/mailOprAction!receiveMailReceipt.action";
const std::string kDownload = "/fileServer";
const std::string kPop3Password = "pop3 pw";

THttpOptions Fast()
{
    THttpOptions options;
    options.ConnectTimeoutMs = 2000;
    options.IdleTimeoutMs = 2000;
    return options;
}

std::string Message(const std::string& aSubject)
{
    return "From: Buyer <buyer@example.com>\r\nTo: collect@example.com\r\nSubject: " + aSubject +
           "\r\nDate: Mon, 2 Dec 2024 10:00:00 +0000\r\nMessage-ID: <" + aSubject +
           "@example.com>\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=utf-8\r\n\r\nAbout " + aSubject +
           ".\r\n";
}

// The table's cases arrange themselves through these helpers, so they are
// public.
class CollectTest : public ::testing::Test {
public:
    void SetUp() override { Start(Server()->BaseUrl()); }
    void TearDown() override { Stop(); }

    void Start(const std::string& aServiceUrl)
    {
        Server()->Reset();
        FManagers = std::make_unique<TAccountManagers>(FScratch.Path(), QUILLMAR_SKIN_DIR, aServiceUrl);
        TServerDriver::BuildInstance();
        Driver()->Scheduler()->SetTranslationServiceOn([] { return true; });
        Driver()->Scheduler()->Transports().Set(tsNorvelCollect, NorvelCollectRunableFactory(Fast()));
        // POP3 only as the fallback of a refused account: recorded, not run.
        Driver()->Scheduler()->Transports().Set(tsPop3Receive, [this](const TTransportJob& aJob) -> TRcRef<IRunable> {
            FPop3Modes.push_back(aJob.Pop3Mode);
            return MakeRc<TRcBlockDelayRunable>([] {});
        });
        Driver()->RegisterObserver(FEvents.Get());
        Driver()->Init();
    }
    void Stop()
    {
        if (!FManagers)
            return;
        Driver()->UnInit();
        Driver()->UnRegisterObserver(FEvents.Get());
        TServerDriver::ReleaseInstance();
        FAccount = nullptr;
        FManagers.reset();
    }

    static TServerDriver* Driver() { return TServerDriver::ServerDriver(); }
    static TAccountMailManager* Mails() { return TAccountMailManager::AccountMailManager(); }

    // A new account for each case, so cases share nothing in the store.
    void NewAccount()
    {
        FAccount = TAccountManager::AccountManager()->CreateNewAccount();
        FEmail = "collect" + std::to_string(++FAccounts) + "@example.com";
        FAccount->SetEmail(FEmail);
        FAccount->SetPop3Password(kPop3Password);
        FAccount->SetAutoReveiveSend(false);
        TAccountManager::AccountManager()->SaveAccount(FAccount.Get());
    }
    TRcResPath* Account() { return TRcResPath::CreateAndAutoRelease({FAccount->ResId()}); }
    TRcResPath* Folder(TAccountFolderType aType)
    {
        return TAccountFolderManager::AccountFolderManager()->GetStandardFolderResPath(Account(), aType);
    }

    // Runs one receive job through the scheduler and waits for its end.
    void Receive()
    {
        Driver()->PriorityReceive(Account());
        ASSERT_TRUE(FEvents->WaitForTaskEnds(++FJobs)) << "the receive job did not end";
    }

    // A mail of the account's own, stored in aFolder with a POP3 uid.
    TRcMail* Local(const std::string& aSubject, TAccountFolderType aFolder, const std::string& aUid)
    {
        const fs::path file = FScratch.Path() / (aSubject + ".eml");
        std::ofstream(file, std::ios::binary) << Message(aSubject);
        TRcResPath* path = Mails()->ImportMailFromFile(Folder(aFolder), file);
        TRcMail* mail = Mails()->GetMail(path);
        mail->FUid = aUid;
        Mails()->SaveMail(Folder(aFolder), mail);
        return mail;
    }

    // An entry for the account: its translation (and source) are messages
    // with these subjects, put into the file store.
    TFakeTranslationEntry Entry(const std::string& aMailId, int aSendType, const std::string& aTranslation,
                                const std::string& aSource = {}, const std::string& aTranslateId = {})
    {
        TFakeTranslationEntry entry;
        entry.MailId = aMailId;
        entry.MailUrl = Service().StoreMail(Message(aTranslation));
        entry.MailUid = "uid-" + aTranslation;
        entry.SendType = aSendType;
        entry.SourceUrl = aSource.empty() ? std::string() : Service().StoreMail(Message(aSource));
        entry.SourceLanguage = 2;
        entry.TranslateId = aTranslateId;
        entry.Title = aTranslation;
        return entry;
    }
    void Queue(TFakeTranslationEntry aEntry) { Service().Queue(FEmail, std::move(aEntry)); }

    struct TFound {
        TAccountFolderType Folder;
        TRcRef<TRcMail> Mail;
    };
    // Every mail of the account by subject, with the folder it is in.
    std::map<std::string, TFound> Stored()
    {
        std::map<std::string, TFound> found;
        for (TAccountFolderType type :
             {aftReceiving, aftSending, aftInBox, aftDraft, aftOutBox, aftThrashBag, aftNorvelBox}) {
            TRcResPath* folder = Folder(type);
            for (TRcResId* id : *Mails()->GetMails(folder)) {
                TRcMail* mail = Mails()->GetMail(folder->Append(id));
                found[mail->FSubject] = {type, TRcRef<TRcMail>::Retain(mail)};
            }
        }
        return found;
    }
    // "mail_id/send_type" of every receipt posted.
    std::vector<std::string> Receipts()
    {
        std::vector<std::string> receipts;
        for (const TFakeRequest& request : Server()->Requests())
            if (request.Path == kReceipt)
                receipts.push_back(request.Field("mail_id").value_or("?") + "/" +
                                   request.Field("send_type").value_or("?"));
        return receipts;
    }
    int Requests(const std::string& aPath)
    {
        int count = 0;
        for (const TFakeRequest& request : Server()->Requests())
            count += request.Path == aPath ? 1 : 0;
        return count;
    }
    // Working files of downloads left in the run folder.
    std::vector<fs::path> LeftDownloads()
    {
        std::vector<fs::path> left;
        std::error_code ec;
        for (const auto& entry :
             fs::recursive_directory_iterator(TTempFileManager::TempFileManager()->TempFolder(), ec))
            if (entry.path().filename().string().find("norvel_recv") != std::string::npos)
                left.push_back(entry.path());
        return left;
    }
    static std::string Msg(const char* aKey) { return TConfigManager::ConfigManager()->GetMsg(aKey); }

    TRetainCountObjectAutoReleasePool FPool;
    TScratchFolder FScratch{"qm-collect"};
    std::unique_ptr<TAccountManagers> FManagers;
    TRcRef<TRcAccount> FAccount;
    std::string FEmail;
    TRcRef<TReceiveEvents> FEvents = MakeRc<TReceiveEvents>();
    std::vector<TPop3Mode> FPop3Modes;
    std::string FMailId;   // a case's local mail, for its expected receipt
    int FJobs = 0;
    int FAccounts = 0;
};

// A mail expected in the store afterwards.
struct TStored {
    std::string Subject;
    TAccountFolderType Folder;
    TMailSendReceiveState State;
    std::string Uid;
    std::string SourceSubject;   // the mail its source link names; "" for none
};

TEST_F(CollectTest, EntriesAreStoredLinkedAndConfirmed)
{
    struct TCase {
        const char* Name;
        // Queues the case's entries; may script replies and store local mails.
        std::function<void(CollectTest&)> Arrange;
        std::vector<TStored> Stored;
        std::vector<std::string> Receipts;
        int Downloads;
        const char* Error;   // part of the one error reported; nullptr: none
        bool Rejected = false;
        std::string Status = {};   // a status line shown
    };
    const std::string refusal = Msg("ReceiveMialServer");
    const TCase cases[] = {
        {"a refused account falls back to POP3",
         [](CollectTest& t) {
             t.Queue(t.Entry("m1", 0, "T"));
             Service().Refuse(t.FEmail, "TavroServerError");
         },
         {}, {}, 0, nullptr, true, refusal + Msg("TavroServerError")},
        {"a refusal with a key that is not ours shows the service's words",
         [](CollectTest& t) { Service().Refuse(t.FEmail, "账户未开通"); }, {}, {}, 0, nullptr, true,
         refusal + "账户未开通"},
        {"mail_id null is skipped unconfirmed",
         [](CollectTest& t) { t.Queue(t.Entry("null", 0, "T")); }, {}, {}, 0, nullptr},
        {"a stored uid is confirmed again, not stored twice",
         [](CollectTest& t) {
             t.Local("L", aftInBox, "uid-T");
             t.Queue(t.Entry("m1", 0, "T"));
         },
         {{"L", aftInBox, msarsNoneUser, "uid-T", ""}}, {"m1/0"}, 0, nullptr},
        {"send_type 1 of a deleted mail is skipped",
         [](CollectTest& t) { t.Queue(t.Entry(NewGuidId(), 1, "T")); }, {}, {}, 0, nullptr},
        {"send_type 1: the translation of a submitted mail",
         [](CollectTest& t) {
             TRcMail* sent = t.Local("L", aftOutBox, "");
             t.Queue(t.Entry(sent->ResId()->Id(), 1, "T"));
             t.FMailId = sent->ResId()->Id();
         },
         {{"L", aftOutBox, msarsPop3TransSource, "", ""}, {"T", aftNorvelBox, msarsPop3FromNorvel, "uid-T", "L"}},
         {"=/1"}, 1, nullptr},
        {"send_type 0 with a source: both stand alone in the inbox",
         [](CollectTest& t) { t.Queue(t.Entry("m1", 0, "T", "S", "uid-unknown")); },
         {{"T", aftInBox, msarsPop3FromNorvel, "uid-T", ""}, {"S", aftInBox, msarsPop3FromNorvel, "uid-T", ""}},
         {"m1/0"}, 2, nullptr},
        {"send_type 2: the source is linked to the translation",
         [](CollectTest& t) { t.Queue(t.Entry("m1", 2, "T", "S", "uid-unknown")); },
         {{"T", aftInBox, msarsPop3TransSource, "uid-T", ""}, {"S", aftNorvelBox, msarsPop3FromNorvel, "uid-T", "T"}},
         {"m1/2"}, 2, nullptr},
        {"onlyTranslate: linked to the local mail of uid translate_id",
         [](CollectTest& t) {
             t.Local("L", aftInBox, "uid-L");
             t.Queue(t.Entry("m1", 0, "T", "S", "uid-L"));
         },
         {{"L", aftNorvelBox, msarsPop3TransSource, "uid-L", ""}, {"T", aftInBox, msarsPop3FromNorvel, "uid-T", "L"}},
         {"m1/0"}, 1, nullptr},
        {"translate_id null: the translation alone, unlinked",
         [](CollectTest& t) { t.Queue(t.Entry("m1", 0, "T", "S", "null")); },
         {{"T", aftInBox, msarsPop3FromNorvel, "uid-T", ""}}, {"m1/0"}, 1, nullptr},
        {"translate_id empty: the translation alone, stand-alone",
         [](CollectTest& t) { t.Queue(t.Entry("m1", 2, "T", "S", "")); },
         {{"T", aftInBox, msarsPop3FromNorvel, "uid-T", ""}}, {"m1/2"}, 1, nullptr},
        {"a source answered with 500 stores nothing",
         [](CollectTest& t) {
             t.Queue(t.Entry("m1", 0, "T", "S", "uid-unknown"));
             Server()->Script(kDownload, {TScriptedReply{}, TScriptedReply::WithStatus(500)});
         },
         {}, {}, 2, "HTTP 500"},
        {"a source cut off half-way stores nothing",
         [](CollectTest& t) {
             t.Queue(t.Entry("m1", 0, "T", "S", "uid-unknown"));
             Server()->Script(kDownload, {TScriptedReply{}, TScriptedReply::Dropped(40)});
         },
         {}, {}, 2, "正在接收第1封邮件时发生错误："},
        {"a file URL is refused",
         [](CollectTest& t) {
             TFakeTranslationEntry entry = t.Entry("m1", 0, "T");
             entry.MailUrl = "file:///etc/passwd";
             t.Queue(entry);
         },
         {}, {}, 0, "正在接收第1封邮件时发生错误："},
        {"a refused receipt is reported and the mails stay",
         [](CollectTest& t) {
             t.Queue(t.Entry("m1", 0, "T"));
             Server()->Script(kReceipt, {TScriptedReply::Text(R"({"result":"0","info":"回执没有记下"})")});
         },
         {{"T", aftInBox, msarsPop3FromNorvel, "uid-T", ""}}, {"m1/0"}, 1, "回执没有记下"},
        {"a list answered with 500 is a transport error",
         [](CollectTest& t) {
             t.Queue(t.Entry("m1", 0, "T"));
             Server()->Script(kList, {TScriptedReply::WithStatus(500)});
         },
         {}, {}, 0, "错误：HTTP 500"},
        {"a list that is not JSON",
         [](CollectTest& t) {
             t.Queue(t.Entry("m1", 0, "T"));
             Server()->Script(kList, {TScriptedReply::Text("<html>busy</html>")});
         },
         {}, {}, 0, "错误：服务器返回内容格式错误"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TRetainCountObjectAutoReleasePool pool;
        Server()->Reset();
        NewAccount();
        FMailId.clear();
        FPop3Modes.clear();
        c.Arrange(*this);
        FEvents->Clear();
        const std::size_t waiting = Service().Waiting(FEmail).size();
        Receive();

        const auto errors = FEvents->Texts("error");
        if (c.Error) {
            ASSERT_EQ(errors.size(), 1u);
            EXPECT_NE(errors[0].find(c.Error), std::string::npos) << errors[0];
        } else {
            EXPECT_TRUE(errors.empty()) << errors.front();
        }
        if (!c.Status.empty()) {
            const auto infos = FEvents->Texts("info");
            EXPECT_NE(std::find(infos.begin(), infos.end(), c.Status), infos.end());
        }
        EXPECT_EQ(Driver()->Scheduler()->Observable()->FReceiveNorvelServerRejected.load(), c.Rejected);
        EXPECT_EQ(FPop3Modes, c.Rejected ? std::vector<TPop3Mode>{prmPop3Translate} : std::vector<TPop3Mode>{});

        // The list was asked for with the account and its enciphered password.
        const auto requests = Server()->Requests();
        ASSERT_FALSE(requests.empty());
        EXPECT_EQ(requests[0].Path, kList);
        EXPECT_EQ(requests[0].Field("user_email"), FEmail);
        EXPECT_EQ(requests[0].Field("user_password"), EncryDes(kPop3Password));
        EXPECT_EQ(Requests(kDownload), c.Downloads);

        std::vector<std::string> receipts = c.Receipts;
        for (std::string& receipt : receipts)
            if (receipt.rfind("=/", 0) == 0)
                receipt = FMailId + receipt.substr(1);
        EXPECT_EQ(Receipts(), receipts);
        // What was confirmed is no longer offered; everything else is.
        EXPECT_EQ(Service().Waiting(FEmail).size(), waiting - (c.Error ? 0 : receipts.size()));

        auto stored = Stored();
        EXPECT_EQ(stored.size(), c.Stored.size());
        for (const TStored& expected : c.Stored) {
            SCOPED_TRACE(expected.Subject);
            ASSERT_EQ(stored.count(expected.Subject), 1u);
            const TFound& found = stored.at(expected.Subject);
            EXPECT_EQ(found.Folder, expected.Folder);
            EXPECT_EQ(found.Mail->FSendReceiveState, expected.State);
            EXPECT_EQ(found.Mail->FUid, expected.Uid);
            const TRcResId* source = found.Mail->SorceResId();
            const std::string sourceId = source ? source->Id() : std::string();
            EXPECT_EQ(sourceId, expected.SourceSubject.empty() ? std::string()
                                                               : stored.at(expected.SourceSubject).Mail->ResId()->Id());
            if (expected.Subject != "L") {   // collected, not local
                EXPECT_EQ(found.Mail->FSourceType, mrmTranslate);
                EXPECT_EQ(found.Mail->FSourceLanguage, expected.Subject == "S" ? 1 : 2);
            }
        }
        EXPECT_TRUE(LeftDownloads().empty()) << LeftDownloads().front();
    }
}

TEST_F(CollectTest, ACancelMidDownloadStoresNothingAndTheNextRunCollectsTheEntry)
{
    NewAccount();
    Queue(Entry("m1", 0, "T", "S", "uid-unknown"));
    // The source's reply is held back until the cancel.
    Server()->Script(kDownload, {TScriptedReply{}, TScriptedReply::Delay(60000)});
    std::atomic<bool> done{false};
    std::thread canceller([&] {
        const auto deadline = std::chrono::steady_clock::now() + 30s;
        while (!done && std::chrono::steady_clock::now() < deadline) {
            if (Requests(kDownload) == 2) {
                Driver()->Cancel();
                return;
            }
            std::this_thread::sleep_for(1ms);
        }
    });
    Receive();
    done = true;
    canceller.join();
    const auto infos = FEvents->Texts("info");
    EXPECT_NE(std::find(infos.begin(), infos.end(), Msg("ReceivePop3MailCancle")), infos.end());
    EXPECT_TRUE(FEvents->Texts("error").empty());   // a cancel is no failure
    EXPECT_TRUE(Stored().empty());
    EXPECT_TRUE(Receipts().empty());
    EXPECT_TRUE(LeftDownloads().empty()) << LeftDownloads().front();

    Server()->Reset();
    Queue(Entry("m1", 0, "T", "S", "uid-unknown"));
    FEvents->Clear();
    Receive();
    EXPECT_TRUE(FEvents->Texts("error").empty());
    EXPECT_EQ(Stored().size(), 2u);
    EXPECT_EQ(Receipts(), std::vector<std::string>{"m1/0"});
}

TEST_F(CollectTest, WithTheServiceOffNothingIsSent)
{
    Stop();
    Start("");
    NewAccount();
    Queue(Entry("m1", 0, "T"));
    Receive();
    EXPECT_TRUE(Server()->Requests().empty());
    EXPECT_TRUE(FEvents->Texts("error").empty());
    EXPECT_TRUE(FEvents->Texts("activity").empty());
    EXPECT_TRUE(Stored().empty());
}

} // namespace
