// Submitting mail to the translation service through the scheduler's send
// job, against the fake maker's server (its file server and translation
// service, started once for this executable).
#include "Business/Account/AccountFolder.h"
#include "Business/Account/AccountManager.h"
#include "Business/AccountMail/AccountMailManager.h"
#include "Business/Data/WholeFile.h"
#include "Business/Server/Norvel/BigAttachment.h"
#include "Business/Server/Norvel/SendMessageToNorvelRunable.h"
#include "Business/Server/ServerDriver.h"
#include "Runtime/AutoReleasePool.h"
#include "Support/AccountManagers.h"
#include "Support/FakeServerEnvironment.h"
#include "Support/QueuedMail.h"
#include "Support/ScratchFolder.h"
#include "Support/SmtpServer.h"
#include "TranslationRoutes.h"
#include "../Mail/ReceiveEvents.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <fstream>
#include <functional>
#include <optional>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const std::string kSubmitPath = std::string("/") + TRcSendMessageToNorvelRunable::kPath;

TFakeMakerServer* Server()
{
    return TFakeServerEnvironment::Server();
}

class SubmitTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Server()->Reset();
        // Called again by tables: every case sees its own events.
        FEvents = MakeRc<TReceiveEvents>();
        FJobs = 0;
        FSettings = {};
        FSettings.ServiceUrl = Server()->BaseUrl();
        FSettings.FileServer = "127.0.0.1:" + std::to_string(Server()->Port()) + "/fileServer";
        FSettings.Http.ConnectTimeoutMs = 2000;
        FSettings.Http.IdleTimeoutMs = 2000;
        FManagers = std::make_unique<TAccountManagers>(FScratch.Path());
        TServerDriver::BuildInstance();
        Driver()->Scheduler()->SetTranslationServiceOn([] { return true; });
        Driver()->Scheduler()->Transports().Set(tsNorvelSubmit,
                                                NorvelSubmitRunableFactory([this] { return FSettings; }));
        Driver()->RegisterObserver(FEvents.Get());
        Driver()->Init();
        FAccount = TAccountManager::AccountManager()->CreateNewAccount();
        FAccount->SetEmail("sales@example.com");
        FAccount->SetAutoReveiveSend(false);
        TAccountManager::AccountManager()->SaveAccount(FAccount.Get());
    }
    void TearDown() override
    {
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

    // A mail queued for translation, made from a message as a composer
    // would store it.
    TRcResPath* Queue(const std::string& aMessage, bool aMass = false)
    {
        const fs::path file = FScratch.Path() / ("queued" + std::to_string(++FQueued) + ".eml");
        std::ofstream(file, std::ios::binary) << aMessage;
        TRcResPath* path = Mails()->ImportMailFromFile(Folder(aftSending), file);
        EXPECT_NE(path, nullptr);
        TRcMail* mail = Mails()->GetMail(path);
        mail->FSourceLanguage = 1;
        mail->FTargetLanguage = 2;
        mail->FQunFaFlag = aMass;
        Mails()->SaveMail(Folder(aftSending), mail);
        Mails()->SetMailSendReceiveState(path, msarsSendToNorvel);
        return path;
    }
    void Send()
    {
        Driver()->PrioritySend(Account());
        ASSERT_TRUE(FEvents->WaitForTaskEnds(++FJobs)) << "the send job did not end";
    }
    std::pair<std::optional<TAccountFolderType>, TMailSendReceiveState> Where(TRcResPath* aMail)
    {
        for (TAccountFolderType type : {aftSending, aftOutBox, aftDraft}) {
            TRcResIdList* ids = Mails()->GetMails(Folder(type));
            if (ids && ids->IndexOf(aMail->Last()) >= 0)
                return {type, Mails()->GetMail(Folder(type)->Append(aMail->Last()))->FSendReceiveState};
        }
        return {std::nullopt, msarsNoneUser};
    }
    std::vector<TFakeRequest> Submissions()
    {
        std::vector<TFakeRequest> found;
        for (TFakeRequest& request : Server()->Requests())
            if (request.Path == kSubmitPath)
                found.push_back(std::move(request));
        return found;
    }
    static std::string Msg(const char* aKey) { return TConfigManager::ConfigManager()->GetMsg(aKey); }

    TRetainCountObjectAutoReleasePool FPool;
    TScratchFolder FScratch{"qm-submit"};
    std::unique_ptr<TAccountManagers> FManagers;
    TNorvelSubmitSettings FSettings;
    TRcRef<TRcAccount> FAccount;
    TRcRef<TReceiveEvents> FEvents = MakeRc<TReceiveEvents>();
    int FJobs = 0;
    int FQueued = 0;
};

std::string Simple(const std::string& aSubject, const std::string& aRecipients = "To: buyer@example.com\r\n")
{
    return "From: Sender <sender@example.com>\r\n" + aRecipients + "Subject: " + aSubject +
           "\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=utf-8\r\n\r\nHello.\r\n";
}

TEST_F(SubmitTest, TheFormCarriesEveryFieldInOrderPercentEncoded)
{
    TRcResPath* mail = Queue("From: A <a@example.com>, b@example.com\r\n"
                             "To: one@example.com, Two <two@example.com>, three@example.com\r\n"
                             "Cc: cc@example.com\r\nSubject: =?UTF-8?B?5oql5Lu3IEMrKw==?=\r\n"
                             "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=utf-8\r\n\r\nHello.\r\n",
                             true);
    Send();
    EXPECT_TRUE(FEvents->Texts("error").empty()) << FEvents->Texts("error").front();
    EXPECT_EQ(Where(mail).first, aftOutBox);
    const auto submissions = Submissions();
    ASSERT_EQ(submissions.size(), 1u);
    std::vector<std::pair<std::string, std::string>> fields;
    for (const TFakePart& part : submissions[0].Parts) {
        fields.emplace_back(part.Name, part.Value);
        bool sevenBit = false;
        for (const auto& [name, value] : part.Headers)
            sevenBit = sevenBit || (name == "Content-Transfer-Encoding" && value == "7bit");
        EXPECT_TRUE(sevenBit) << part.Name;
    }
    ASSERT_EQ(fields.size(), 12u);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"email_title", "%E6%8A%A5%E4%BB%B7%20C%2B%2B"},   // 报价 C++
        {"source_language", "1"},
        {"target_language", "2"},
        {"client_type", "1"},
        {"user_email", "sales%40example.com"},
        {"user_email", "a%40example.com%3B%20b%40example.com"},
        {"to_email", "one%40example.com%3B%20two%40example.com%3B%20three%40example.com"},
        {"cc_email", "cc%40example.com"},
        {"bcc_email", ""},
        {"nassoneshow", "1"},
        {"message_id", mail->Last()->Id()},
    };
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(fields[i], expected[i]) << i;
    // mail_info: the file server's reply for the uploaded copy of the
    // raw message.
    EXPECT_EQ(fields[11].first, "mail_info");
    const std::string info = PercentDecoded(fields[11].second);
    const auto json = nlohmann::json::parse(info);
    const auto stored = Server()->StoredFile(json.at("guId").get<std::string>());
    ASSERT_TRUE(stored);
    const std::string uploaded = ReadWholeFile(*stored);
    EXPECT_NE(uploaded.find("Subject: =?UTF-8?B?5oql5Lu3IEMrKw==?="), std::string::npos) << uploaded;
    EXPECT_NE(uploaded.find("text/html"), std::string::npos) << uploaded;
}

TEST_F(SubmitTest, EachAnswerLeavesTheMailWhereItBelongsWithTheRightReport)
{
    const fs::path big = FScratch.Path() / "big.zip";
    std::ofstream(big).close();
    fs::resize_file(big, kBigAttachmentSize + 1);
    struct TCase {
        const char* Name;
        std::vector<std::pair<std::string, std::vector<TScriptedReply>>> Script;   // path, replies
        std::function<void(TNorvelSubmitSettings&)> Change;
        bool BigAttachment = false;
        bool NoRecipients = false;
        std::optional<TAccountFolderType> Folder;
        TMailSendReceiveState State;
        std::string Error;   // a part of the one error reported; "" for none
        std::string Info = "";   // a status line that must be there
    } cases[] = {
        {"accepted", {}, {}, false, false, aftOutBox, msarsNoneUser, ""},
        {"refused with a key",
         {{kSubmitPath, {TScriptedReply::Text(R"({"result":0,"info":"TavroServerError"})")}}}, {}, false, false,
         aftDraft, msarsNoneUser, Msg("TavroServerError")},
        {"refused in its own words", {{kSubmitPath, {TScriptedReply::Text(R"({"result":"0","info":"额度已用完"})")}}},
         {}, false, false, aftDraft, msarsNoneUser, "额度已用完"},
        {"result 2", {{kSubmitPath, {TScriptedReply::Text(R"({"result":2,"info":""})")}}}, {}, false, false,
         aftDraft, msarsNoneUser, "服务器执行失败"},
        {"not JSON", {{kSubmitPath, {TScriptedReply::Text("<html>busy</html>")}}}, {}, false, false, aftDraft,
         msarsNoneUser, "服务器返回内容格式错误"},
        {"HTTP 500", {{kSubmitPath, {TScriptedReply::WithStatus(500)}}}, {}, false, false, aftDraft, msarsNoneUser,
         "500"},
        {"no answer in time", {{kSubmitPath, {TScriptedReply::Delay(4000)}}}, {}, false, false, aftDraft,
         msarsNoneUser, "No data moved for 2000 ms"},
        {"the mail's upload refused", {{"/fileServer", {TScriptedReply::WithStatus(503)}}}, {}, false, false,
         aftDraft, msarsNoneUser, "上传到文件服务器发生，错误代码：503"},
        {"a big attachment's upload refused", {{"/fileServer", {TScriptedReply::WithStatus(503)}}}, {}, true, false,
         aftSending, msarsSendToNorvel, "503"},
        {"no recipients", {}, {}, false, true, aftSending, msarsSendToNorvel, ""},
        {"service off", {}, [](TNorvelSubmitSettings& s) { s.ServiceUrl.clear(); }, false, false, aftSending,
         msarsSendToNorvel, "", "没有配置翻译服务地址，1封待翻译的邮件留在发件箱中"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TearDown();
        SetUp();
        for (const auto& [path, replies] : c.Script)
            Server()->Script(path, replies);
        if (c.Change)
            c.Change(FSettings);
        TRcResPath* mail = c.BigAttachment
                               ? QueueWithAttachments(Folder(aftSending), FScratch.Path(), {{"big.zip", big}},
                                                      msarsSendToNorvel)
                               : Queue(Simple("报价", c.NoRecipients ? "" : "To: buyer@example.com\r\n"));
        Send();
        EXPECT_EQ(Where(mail), std::make_pair(c.Folder, c.State));
        const auto errors = FEvents->Texts("error");
        if (c.Error.empty()) {
            EXPECT_TRUE(errors.empty()) << errors.front();
        } else {
            ASSERT_EQ(errors.size(), 1u) << errors[0] << "\n" << errors.back();
            EXPECT_NE(errors[0].find(c.Error), std::string::npos) << errors[0];
        }
        if (!c.Info.empty()) {
            const auto infos = FEvents->Texts("info");
            EXPECT_NE(std::find(infos.begin(), infos.end(), c.Info), infos.end());
        }
        // Nothing goes to the service for a mail that stays queued.
        EXPECT_EQ(Submissions().empty(), c.Folder == aftSending || c.Name == std::string("the mail's upload refused"));
    }
}

TEST_F(SubmitTest, CancelDuringTheSecondMailKeepsTheFirstSentAndTheRestQueued)
{
    // The second mail (newest first: the one queued second of three) waits
    // on its upload, or on the service's answer, until the cancel; the
    // answer to the first had come and stays applied.
    for (const bool duringPost : {false, true}) {
        SCOPED_TRACE(duringPost ? "waiting for the answer" : "uploading");
        TearDown();
        SetUp();
        TRcResPath* first = Queue(Simple("first"));
        TRcResPath* second = Queue(Simple("second"));
        TRcResPath* third = Queue(Simple("third"));
        Server()->Script(duringPost ? kSubmitPath : "/fileServer", {TScriptedReply{}, TScriptedReply::Delay(20000)});
        FSettings.Http.IdleTimeoutMs = 30000;
        Driver()->PrioritySend(Account());
        const std::size_t stalled = duringPost ? 4 : 3;   // requests up to the one that waits
        for (int i = 0; i < 1000 && Server()->Requests().size() < stalled; ++i)
            std::this_thread::sleep_for(10ms);
        Driver()->Cancel();
        ASSERT_TRUE(FEvents->WaitForTaskEnds(++FJobs));
        EXPECT_EQ(Where(third).first, aftOutBox);
        EXPECT_EQ(Where(second), std::make_pair(std::optional(aftDraft), msarsNoneUser));
        EXPECT_EQ(Where(first), std::make_pair(std::optional(aftSending), msarsSendToNorvel));
        EXPECT_TRUE(FEvents->Texts("error").empty()) << FEvents->Texts("error").front();
        EXPECT_EQ(Submissions().size(), duringPost ? 2u : 1u);
    }
}

// A send job with one mail for SMTP and one for translation, then a
// receive job: the first reaches the SMTP server, the second the service,
// and the service's translation comes back linked to the mail it came from.
TEST(TranslationRoundTripTest, OneMailBySmtpOneByTheServiceAndTheTranslationComesBack)
{
    TRetainCountObjectAutoReleasePool pool;
    // An address of its own: a delayed answer of an earlier test may still
    // queue a translation for the other tests' account.
    Server()->Reset();
    TSmtpTestServer smtp;
    smtp.AddUser("sales", "smtp pw");
    TScratchFolder scratch("qm-roundtrip");
    TAccountManagers managers(scratch.Path(), QUILLMAR_SKIN_DIR, Server()->BaseUrl());
    TServerDriver::BuildInstance();
    TServerDriver* driver = TServerDriver::ServerDriver();
    auto events = MakeRc<TReceiveEvents>();
    THttpOptions fast;
    fast.ConnectTimeoutMs = 2000;
    fast.IdleTimeoutMs = 2000;
    TNorvelSubmitSettings settings;
    settings.ServiceUrl = Server()->BaseUrl();
    settings.FileServer = "127.0.0.1:" + std::to_string(Server()->Port()) + "/fileServer";
    settings.Http = fast;
    driver->Scheduler()->SetTranslationServiceOn([] { return true; });
    driver->Scheduler()->Transports().Set(tsSmtpSend, SmtpSendRunableFactory([&](TTransportSettings& aSettings) {
                                              aSettings.ConnectTimeout = 2s;
                                              aSettings.IdleTimeout = 2s;
                                          }));
    driver->Scheduler()->Transports().Set(tsNorvelSubmit, NorvelSubmitRunableFactory([&] { return settings; }));
    driver->Scheduler()->Transports().Set(tsNorvelCollect, NorvelCollectRunableFactory(fast));
    driver->RegisterObserver(events.Get());
    driver->Init();
    {
        TAccountMailManager* mails = TAccountMailManager::AccountMailManager();
        TRcRef<TRcAccount> account = TAccountManager::AccountManager()->CreateNewAccount();
        account->SetEmail("roundtrip@example.com");
        account->SetPop3Password("pop pw");
        account->SetSmtpHost("127.0.0.1");
        account->SetSmtpPort(smtp.PlainPort());
        account->SetSmtpUsePop3(false);
        account->SetSmtpUser("sales");
        account->SetSmtpPassword("smtp pw");
        account->SetAutoReveiveSend(false);
        TAccountManager::AccountManager()->SaveAccount(account.Get());
        TRcResPath* accountPath = TRcResPath::CreateAndAutoRelease({account->ResId()});
        const auto folder = [&](TAccountFolderType aType) {
            return TAccountFolderManager::AccountFolderManager()->GetStandardFolderResPath(accountPath, aType);
        };
        const auto queue = [&](const std::string& aSubject, TMailSendReceiveState aState) {
            const fs::path file = scratch.Path() / (aSubject + ".eml");
            std::ofstream(file, std::ios::binary) << Simple(aSubject);
            TRcResPath* path = mails->ImportMailFromFile(folder(aftSending), file);
            mails->SetMailSendReceiveState(path, aState);
            return TRcRef<TRcResPath>::Retain(path);
        };
        const auto bySmtp = queue("by SMTP", msarsSendToSmtp);
        const auto forTranslation = queue("for translation", msarsSendToNorvel);

        driver->PrioritySend(accountPath);
        ASSERT_TRUE(events->WaitForTaskEnds(1));
        EXPECT_TRUE(events->Texts("error").empty()) << events->Texts("error").front();
        const auto sent = smtp.WaitForMessages(1);
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_NE(sent[0].Data.find("Subject: by SMTP"), std::string::npos);
        ASSERT_EQ(Server()->Translation().Waiting("roundtrip@example.com").size(), 1u);

        driver->PriorityReceive(accountPath);
        ASSERT_TRUE(events->WaitForTaskEnds(2));
        EXPECT_TRUE(events->Texts("error").empty()) << events->Texts("error").front();
        EXPECT_TRUE(Server()->Translation().Waiting("roundtrip@example.com").empty()) << "not confirmed";
        TRcMail* translation = nullptr;
        for (TAccountFolderType type : {aftInBox, aftNorvelBox, aftReceiving})
            if (TRcResIdList* ids = mails->GetMails(folder(type)))
                for (TRcResId* id : *ids)
                    if (TRcMail* mail = mails->GetMail(folder(type)->Append(id));
                        mail && mail->FSubject == "[Translated] for translation")
                        translation = mail;
        ASSERT_NE(translation, nullptr);
        EXPECT_EQ(translation->FSourceType, mrmTranslate);
        ASSERT_NE(translation->SorceResId(), nullptr);
        EXPECT_EQ(translation->SorceResId()->Id(), forTranslation->Last()->Id());
        EXPECT_FALSE(translation->FUid.empty());
        (void)bySmtp;
    }
    driver->UnInit();
    driver->UnRegisterObserver(events.Get());
    TServerDriver::ReleaseInstance();
}

} // namespace
