#include "Business/Account/AccountFolder.h"
#include "Business/Account/AccountForSqlite.h"
#include "Business/Account/AccountManager.h"
#include "Business/AccountMail/AccountMailManager.h"
#include "Business/AccountMail/MailRaw.h"
#include "Business/Data/ConfigManager.h"
#include "Business/Data/TempFileManager.h"
#include "Business/Data/DataFolder.h"
#include "Business/Data/SqliteQuery.h"
#include "Business/Resource/ResourceManager.h"
#include "Runtime/AutoReleasePool.h"
#include "Runtime/ProgramPaths.h"
#include "Business/Server/Mail/AccountTransport.h"
#include "Support/AccountManagers.h"
#include "Support/ExpectMessage.h"
#include "Support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

#include <cmath>
#include <fstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

struct TCountingObserver : TRcObject, IAccountObserver {
    int Changed = 0;
    std::vector<std::string> ContentChanged;
    void OnContentChanged(TRcResId* aResId) override { ContentChanged.push_back(aResId->Id()); }
    void OnChanged() override { ++Changed; }
};

class AccountTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FScratch = std::make_unique<TScratchFolder>("qm-account");
        FData = FScratch->Path();
        FManagers = std::make_unique<TAccountManagers>(FData);
        Manager()->RegisterObserver(FObserver.Get());
    }
    void TearDown() override
    {
        Manager()->UnregisterObserver(FObserver.Get());
        FManagers.reset();
        FScratch.reset();
    }
    static TAccountManager* Manager() { return TAccountManager::AccountManager(); }
    TRcRef<TRcAccount> SavedAccount(const std::string& aEmail)
    {
        auto account = Manager()->CreateNewAccount();
        account->SetEmail(aEmail);
        Manager()->SaveAccount(account.Get());
        return account;
    }
    std::vector<std::string> Listed()
    {
        std::vector<std::string> ids;
        for (TRcResId* id : *Manager()->GetAccounts())
            ids.push_back(id->Id());
        return ids;
    }

    TRetainCountObjectAutoReleasePool FPool;
    fs::path FData;
    std::unique_ptr<TScratchFolder> FScratch;
    std::unique_ptr<TAccountManagers> FManagers;
    TRcRef<TCountingObserver> FObserver = MakeRc<TCountingObserver>();
};

TEST_F(AccountTest, EverySettingSurvivesARoundTripWithItsStoredType)
{
    std::vector<std::pair<std::string, std::string>> reported;
    TRcAccount::SetReceiveModeReporter([&](const std::string& aEmail, const std::string& aMode) {
        reported.emplace_back(aEmail, aMode);
    });
    auto account = Manager()->CreateNewAccount();
    TAccountSettings s;
    s.FName = "外贸一部";
    s.FEmail = "sales@example.com";
    s.FPop3Host = "pop.example.com";
    s.FPop3Port = 995;
    s.FPop3User = "sales";
    s.FPop3Password = "p@ss'\"word";
    s.FPop3UseSsl = true;
    s.FSmtpHost = "smtp.example.com";
    s.FSmtpPort = 465;
    s.FSmtpUser = "sales2";
    s.FSmtpPassword = "";
    s.FSmtpUsePop3 = false;
    s.FSmtpUseSsl = true;
    s.FAutoReveiveSendInterval = 30;
    s.FAutoReveiveSend = false;
    s.FAutoReveiveEarliestDate = 46000.75;   // a time of day: kept as its whole day
    s.FUseSign = true;
    s.FNickname = "Li Lei";
    s.FIcon = "face3";
    s.FSignName = "0123456789ABCDEF0123456789ABCDEF";
    s.FSignature = "签名";
    account->SetSettings(s);
    account->SetReceiveMailType(rmmForeign);
    EXPECT_EQ(reported, (std::vector<std::pair<std::string, std::string>>{{"sales@example.com", "1"}}));
    TRcAccount::SetReceiveModeReporter(nullptr);
    Manager()->SaveAccount(account.Get());
    const std::string id = account->Id();

    auto* db = dynamic_cast<TRcAccountForSqlite*>(account.Get())->GetDb();
    TSQLiteUniTable types(*db, "select [Field], typeof([Value]) from [Info] order by rowid");
    std::vector<std::string> rows;
    for (; !types.Eof(); types.Next())
        rows.push_back(types.FieldAsString(0) + " " + types.FieldAsString(1));
    EXPECT_EQ(rows, (std::vector<std::string>{
                        "Name text", "Email text", "Pop3Host text", "Pop3Port integer", "Pop3User text",
                        "Pop3Password text", "Pop3UseSsl integer", "SmtpHost text", "SmtpPort integer",
                        "SmtpUser text", "SmtpPassword text", "SmtpUsePop3 integer", "SmtpUseSsl integer",
                        "AutoReveiveSend integer", "AutoReveiveSendInterval integer", "AutoReveiveEarliestDate real",
                        "UseSign integer", "Nickname text", "Icon text", "SignName text", "Signature text",
                        "ReceiveMailType text", "AcceptUntrustedCertificate integer"}));
    // An unknown row is ignored, a known one in another letter case is read.
    db->ExecSQL("insert into [Info] values ('FutureSetting', 'x'), ('pop3PORT', 2995)");
    db->ExecSQL("delete from [Info] where [Field] = 'Pop3Port'");
    account.Reset();

    auto again = MakeRc<TRcAccountForSqlite>(id);
    const TAccountSettings loaded = again->Settings();
    EXPECT_EQ(loaded.FName, s.FName);
    EXPECT_EQ(loaded.FPop3Password, s.FPop3Password);
    EXPECT_EQ(loaded.FPop3Port, 2995);
    EXPECT_EQ(loaded.FSmtpPort, 465);
    EXPECT_FALSE(loaded.FSmtpUsePop3);
    EXPECT_TRUE(loaded.FSmtpUseSsl);
    EXPECT_EQ(loaded.FAutoReveiveSendInterval, 30);
    EXPECT_FALSE(loaded.FAutoReveiveSend);
    EXPECT_EQ(loaded.FAutoReveiveEarliestDate, 46000);
    EXPECT_TRUE(loaded.FUseSign);
    EXPECT_EQ(loaded.FNickname, "Li Lei");
    EXPECT_EQ(loaded.FIcon, "face3");
    EXPECT_EQ(loaded.FSignName, s.FSignName);
    EXPECT_EQ(loaded.FSignature, "签名");
    EXPECT_EQ(loaded.FReceiveMailType, rmmForeign);
}

TEST_F(AccountTest, TheRecordsErrors)
{
    ExpectMessage([] { MakeRc<TRcAccountForSqlite>(""); }, "账户ID为空串");
    EXPECT_THROW(MakeRc<TRcAccountForSqlite>("../../etc"), Exception);
    EXPECT_THROW(Manager()->GetAccount(TRcResId::CreateAndAutoRelease(rtAccount, "a/b")), Exception);
    auto fresh = Manager()->CreateNewAccount();
    auto* record = dynamic_cast<TRcAccountForSqlite*>(fresh.Get());
    EXPECT_EQ(record->GetDb(), nullptr);
    EXPECT_FALSE(fs::exists(TRcAccountForSqlite::PathByResId(record->ResId())));   // nothing made yet
    ExpectMessage([&] { record->CloseDb(); }, "账户数据库没有打开");
    ExpectMessage([&] { record->SaveToDb(); }, "账户数据库没有打开");
    ExpectMessage([&] { record->LoadFromDb(); }, "账户数据库没有打开");
    record->CreateDb();
    ExpectMessage([&] { record->CreateDb(); }, "账户数据库已经被打开");
    ExpectMessage([&] { record->OpenDb(); }, "账户数据库已经被打开");
    record->CloseDb();
    record->OpenDb();
    EXPECT_NE(record->GetDb(), nullptr);
    ExpectMessage([&] { Manager()->SaveAccount(nullptr); }, "aAccount 是 nil");
}

TEST_F(AccountTest, SavingListsAccountsInOrderWithOneNotificationEach)
{
    auto first = SavedAccount("a@example.com");
    EXPECT_EQ(FObserver->Changed, 1);
    TSQLiteDatabase accounts(FData / "Accounts" / "Accounts.db");
    for (const char* table : {"Account", "UserConfig", "Secretary"})
        EXPECT_TRUE(accounts.TableExists(table)) << table;
    EXPECT_EQ(accounts.GetTableValue("select [Order] from [Account]"), 1);

    auto second = SavedAccount("b@example.com");
    EXPECT_EQ(FObserver->Changed, 2);
    EXPECT_EQ(Listed(), (std::vector<std::string>{first->Id(), second->Id()}));

    first->SetName("renamed");
    Manager()->SaveAccount(first.Get());
    EXPECT_EQ(FObserver->Changed, 2);
    EXPECT_EQ(FObserver->ContentChanged, std::vector<std::string>{first->Id()});
    EXPECT_EQ(accounts.GetTableValue("select count(*) from [Account]"), 2);

    EXPECT_TRUE(Manager()->AccountExistsByEmail("b@example.com"));
    EXPECT_FALSE(Manager()->AccountExistsByEmail("B@example.com"));
    EXPECT_TRUE(Manager()->AccountExistsByResPath(TRcResPath::CreateAndAutoRelease({second->ResId()})));
    // The cache gives one record per account, whichever thread asks.
    TRcAccount* a = nullptr;
    TRcAccount* b = nullptr;
    std::thread t1([&] {
        TRetainCountObjectAutoReleasePool pool;
        a = Manager()->GetAccount(second->ResId());
    });
    std::thread t2([&] {
        TRetainCountObjectAutoReleasePool pool;
        b = Manager()->GetAccount(second->ResId());
    });
    t1.join();
    t2.join();
    EXPECT_EQ(a, b);
    EXPECT_EQ(a->Email(), "b@example.com");
}

TEST_F(AccountTest, DeletingHidesFirstThenRemovesRowAndFolder)
{
    auto kept = SavedAccount("keep@example.com");
    auto gone = SavedAccount("gone@example.com");
    const fs::path folder = TRcAccountForSqlite::PathByResId(gone->ResId());
    Manager()->GetAccount(gone->ResId());   // cached, database open
    const int before = FObserver->Changed;

    Manager()->DeleteAccount(gone->ResId());
    EXPECT_EQ(FObserver->Changed, before + 1);
    EXPECT_EQ(Listed(), std::vector<std::string>{kept->Id()});
    EXPECT_TRUE(fs::exists(folder / "Account.db"));
    EXPECT_FALSE(Manager()->AccountExistsByEmail("gone@example.com"));
    TSQLiteDatabase accounts(FData / "Accounts" / "Accounts.db");
    EXPECT_EQ(accounts.GetTableValue("select [Delete] from [Account] where [id] = ?",
                                     [&](TSQLiteUniTable& q) { q.BindStr(1, gone->Id()); }),
              1);
    Manager()->SaveAccount(gone.Get());   // its row exists: it stays hidden
    EXPECT_EQ(Listed(), std::vector<std::string>{kept->Id()});

    Manager()->DeleteAccount(gone->ResId());
    EXPECT_EQ(FObserver->Changed, before + 2);
    EXPECT_EQ(accounts.GetTableValue("select count(*) from [Account]"), 1);
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_TRUE(fs::exists(TRcAccountForSqlite::PathByResId(kept->ResId())));
}

TEST_F(AccountTest, ListingGoesThroughTheResourceManager)
{
    auto first = SavedAccount("a@example.com");
    auto second = SavedAccount("b@example.com");
    std::vector<std::string> ids;
    TResourceManager::ResourceManager()->List(nullptr, rtAccount, [&](TRcResId* aId) { ids.push_back(aId->Id()); });
    EXPECT_EQ(ids, (std::vector<std::string>{first->Id(), second->Id()}));
    TRcResPath* account = TRcResPath::CreateAndAutoRelease({first->ResId()});
    EXPECT_FALSE(TResourceManager::ResourceManager()->List(account, rtAccount));
    auto folders = TResourceManager::ResourceManager()->List(account, rtAccountMailFolder);
    ASSERT_TRUE(folders);
    EXPECT_EQ(folders->Count(), 6);
}

TEST_F(AccountTest, StandardFolders)
{
    auto* folders = TAccountFolderManager::AccountFolderManager();
    TRcResPath* account =
        TRcResPath::CreateAndAutoRelease({TRcResId::CreateAndAutoRelease(rtAccount, "0123456789ABCDEF0123456789ABCDEF")});
    std::vector<std::string> listed;
    for (TRcResId* id : *folders->GetFolders(account))
        listed.push_back(id->Id());
    EXPECT_EQ(listed, (std::vector<std::string>{"1F2F83BC9E014CD9A7F69A0FBA0BF983", "05EE5B2A926342AFB4048AC59B43D89E",
                                                "5B525F55DD38425E94752E091E94FB5D", "97E5F5FF370D4AC7BA10C9B35CE3298C",
                                                "8C6420C0B1304BA78AC2134A4B840060", "FCC4971724BE4ACE83C4F5971BCB979B"}));
    TRcResPath* mail = folders->GetStandardFolderResPath(account, aftInBox)
                           ->Append(TRcResId::CreateAndAutoRelease(rtAccountMail, "M"));
    EXPECT_EQ(folders->GetFolderType(mail), std::nullopt);
    TRcResPath* outbox = folders->GetStandardFolderResPath(mail, aftOutBox);
    EXPECT_EQ(outbox->ToString(), "\\Account:0123456789ABCDEF0123456789ABCDEF\\AccMailFolder:8C6420C0B1304BA78AC2134A4B840060");
    EXPECT_EQ(folders->GetFolderType(outbox), aftOutBox);
    EXPECT_EQ(folders->GetFolderType(account), std::nullopt);
    EXPECT_EQ(folders->GetStandardFolderResPath(account, aftAll), nullptr);
    EXPECT_EQ(folders->GetFolders(outbox), nullptr);
    ASSERT_NE(folders->GetStandardFolderResPath(account, aftNorvelBox), nullptr);

    TRcAccountFolder* receiving = folders->GetFolder(folders->GetStandardFolderResPath(account, aftReceiving));
    EXPECT_EQ(receiving->Name(), "收信进行中");
    EXPECT_FALSE(receiving->Visiable());
    TRcAccountFolder* inbox = folders->GetFolder(folders->GetStandardFolderResPath(account, aftInBox));
    EXPECT_EQ(inbox->Name(), "收件箱");   // from the message texts
    EXPECT_TRUE(inbox->Visiable());
    EXPECT_EQ(inbox->ToString(), "收件箱");
}

TEST_F(AccountTest, SignaturesAreSavedLoadedAndDeleted)
{
    auto account = SavedAccount("sign@example.com");
    TRcResPath* accountPath = TRcResPath::CreateAndAutoRelease({account->ResId()});
    std::vector<std::string> ids;
    std::vector<fs::path> files;
    for (const char* name : {"正式", "简短"}) {
        TRcAccountSign* sign = Manager()->CreateAccountSign();
        sign->FSignName = name;
        sign->FEmlFileName = AccountSignFileName(Manager()->SignPathByResId(account->ResId()), sign->ResId()->Id());
        Manager()->SaveAccountSign(accountPath, sign);
        EXPECT_FALSE(sign->CheckHasSign());   // a row, no message yet
        EXPECT_EQ(sign->LoadMailRaw(), nullptr);
        TRcMailRaw* content = sign->CreateEmptyMailRaw();
        content->RawStreamLoadFromString(std::string("Subject: sign\r\n\r\n") + name + "\r\n");
        sign->SaveMailRaw(content);
        ids.push_back(sign->ResId()->Id());
        files.push_back(sign->FEmlFileName);
    }
    std::vector<std::string> listed;
    TResourceManager::ResourceManager()->List(accountPath, rtSigin, [&](TRcResId* aId) { listed.push_back(aId->Id()); });
    // The list has no stated order; compare as sets.
    std::sort(listed.begin(), listed.end());
    std::vector<std::string> sortedIds = ids;
    std::sort(sortedIds.begin(), sortedIds.end());
    EXPECT_EQ(listed, sortedIds);

    TRcResPath* first = accountPath->Append(TRcResId::CreateAndAutoRelease(rtSigin, ids[0]));
    auto loaded = Manager()->GetAccountSign(first);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->FSignName, "正式");
    EXPECT_EQ(loaded->FEmlFileName, files[0]);
    ASSERT_TRUE(loaded->CheckHasSign());
    EXPECT_EQ(loaded->LoadMailRaw()->RawBytes(), "Subject: sign\r\n\r\n正式\r\n");
    EXPECT_FALSE(Manager()->GetAccountSign(first->Append(TRcResId::CreateAndAutoRelease(rtSigin, "x"))));
    EXPECT_FALSE(Manager()->GetAccountSign(accountPath->Append(TRcResId::CreateAndAutoRelease(rtSigin, " "))));

    Manager()->DeleteAccountSign(first);
    EXPECT_FALSE(fs::exists(files[0].parent_path()));
    EXPECT_FALSE(Manager()->GetAccountSign(first));
    // A signature whose folder was removed by hand: only the row goes.
    fs::remove_all(files[1].parent_path());
    TRcResPath* second = accountPath->Append(TRcResId::CreateAndAutoRelease(rtSigin, ids[1]));
    Manager()->DeleteAccountSign(second);
    EXPECT_EQ(Manager()->GetAccountSignIds(accountPath)->Count(), 0);
}

TEST_F(AccountTest, StartUpSweepsEveryAccountsOrphanMailFiles)
{
    std::vector<fs::path> orphans;
    for (const char* email : {"one@example.com", "two@example.com"}) {
        auto account = SavedAccount(email);
        const fs::path mails = TRcAccountForSqlite::PathByResId(account->ResId()) / "Mails";
        fs::create_directories(mails);
        orphans.push_back(mails / "0123456789ABCDEF0123456789ABCDEF.mcf");
        std::ofstream(orphans.back()) << "left by a crash";
    }
    // An account without a Mails folder does not stop the others.
    SavedAccount("three@example.com");
    TAccountMailManager::AccountMailManager()->SweepMailFiles();
    for (const auto& orphan : orphans) {
        EXPECT_FALSE(fs::exists(orphan)) << orphan;
        EXPECT_TRUE(fs::is_directory(orphan.parent_path()));
    }
}

// A record one thread reads while another saves a new record of the same
// account (which replaces the cached one): the reader's record stays alive
// for as long as its pool holds it.
TEST_F(AccountTest, ARecordStaysAliveWhileAnotherThreadReplacesIt)
{
    auto account = SavedAccount("a@example.com");
    const std::string id = account->ResId()->Id();
    TRcRef<TRcResPath> path = TRcRef<TRcResPath>::Retain(TRcResPath::CreateAndAutoRelease({account->ResId()}));
    std::atomic<bool> done{false};
    std::atomic<int> reads{0};
    std::thread reader([&] {
        while (!done) {
            TRetainCountObjectAutoReleasePool pool;
            if (TRcAccount* read = Manager()->GetAccount(path.Get()))
                for (int i = 0; i < 50; ++i)
                    reads += read->AutoReveiveEarliestDate() != 0 ? 1 : 0;
        }
    });
    for (int i = 0; i < 400; ++i) {
        auto copy = MakeRc<TRcAccountForSqlite>(id);
        copy->SetAutoReveiveEarliestDate(45000 + i);
        Manager()->SaveAccount(copy.Get());
    }
    done = true;
    reader.join();
    EXPECT_GT(reads.load(), 0);
    EXPECT_EQ(Manager()->GetAccount(path.Get())->AutoReveiveEarliestDate(), 45399);
}

TEST_F(AccountTest, FacePicturesAreOnePlainName)
{
    EXPECT_EQ(Manager()->FetchAccountFaceFullFileName(""), "");
    EXPECT_EQ(Manager()->FetchAccountFaceFullFileName("自定义头像"), "");
    EXPECT_EQ(Manager()->FetchAccountFaceFullFileName("../../etc/passwd"), "");
    EXPECT_EQ(Manager()->FetchAccountFaceFullFileName(".."), "");
    EXPECT_EQ(Manager()->FetchAccountFaceFullFileName("face1"),
              (ProgramFolder() / "system_head_picture" / "face1.png").string());
}

} // namespace

TEST_F(AccountTest, TlsSettingsRoundTripAndOlderDataFollowsThePortRule)
{
    auto account = Manager()->CreateNewAccount();
    account->SetPop3UseSsl(true);
    account->SetPop3Port(995);
    account->SetSmtpUseSsl(true);
    account->SetSmtpPort(587);
    account->SetPop3TlsMode(tlsmStartTls);   // chosen against the port rule
    account->SetSmtpTlsMode(tlsmNone);
    account->SetAcceptUntrustedCertificate(true);
    Manager()->SaveAccount(account.Get());
    const std::string id = account->Id();
    auto* db = dynamic_cast<TRcAccountForSqlite*>(account.Get())->GetDb();
    const auto rows = [&db] {
        std::vector<std::string> found;
        TSQLiteUniTable info(*db, "select [Field] || '=' || [Value] from [Info] where [Field] in "
                                  "('Pop3TlsMode', 'SmtpTlsMode', 'AcceptUntrustedCertificate') order by 1");
        for (; !info.Eof(); info.Next())
            found.push_back(info.FieldAsString(0));
        return found;
    };
    EXPECT_EQ(rows(), (std::vector<std::string>{"AcceptUntrustedCertificate=1", "Pop3TlsMode=tlsmStartTls",
                                                "SmtpTlsMode=tlsmNone"}));
    account.Reset();

    auto again = MakeRc<TRcAccountForSqlite>(id);
    db = again->GetDb();
    TAccountSettings loaded = again->Settings();
    EXPECT_EQ(loaded.FPop3TlsMode, tlsmStartTls);
    EXPECT_EQ(loaded.FSmtpTlsMode, tlsmNone);
    EXPECT_TRUE(loaded.FAcceptUntrustedCertificate);
    EXPECT_EQ(loaded.EffectivePop3TlsMode(), tlsmStartTls);
    EXPECT_EQ(loaded.EffectiveSmtpTlsMode(), tlsmNone);

    // Back to the port rule: the mode rows go, the record follows its port.
    again->SetPop3TlsMode(std::nullopt);
    again->SetSmtpTlsMode(std::nullopt);
    again->SaveToDb();
    EXPECT_EQ(rows(), (std::vector<std::string>{"AcceptUntrustedCertificate=1"}));
    again->LoadFromDb();
    loaded = again->Settings();
    EXPECT_EQ(loaded.FPop3TlsMode, std::nullopt);
    EXPECT_EQ(loaded.EffectivePop3TlsMode(), tlsmImplicit);
    EXPECT_EQ(loaded.EffectiveSmtpTlsMode(), tlsmStartTls);

    // Data written before these settings existed, or a mode this version
    // does not know: the defaults.
    db->ExecSQL("delete from [Info] where [Field] = 'AcceptUntrustedCertificate'");
    db->ExecSQL("insert into [Info] values ('Pop3TlsMode', 'tlsmQuantum'), ('smtptlsmode', 'TLSMIMPLICIT')");
    again->LoadFromDb();
    loaded = again->Settings();
    EXPECT_EQ(loaded.FPop3TlsMode, std::nullopt);
    EXPECT_EQ(loaded.FSmtpTlsMode, tlsmImplicit);
    EXPECT_FALSE(loaded.FAcceptUntrustedCertificate);
}

TEST(AccountTlsModeTest, DefaultsByThePortRule)
{
    struct TCase {
        TMailProtocol Protocol;
        bool UseSsl;
        int Port;
        TTlsMode Expected;
    };
    const TCase cases[] = {
        {mpPop3, true, 995, tlsmImplicit},   {mpPop3, true, 110, tlsmStartTls},  {mpPop3, true, 465, tlsmStartTls},
        {mpPop3, true, 1995, tlsmStartTls},  {mpPop3, false, 995, tlsmNone},     {mpPop3, false, 110, tlsmNone},
        {mpSmtp, true, 465, tlsmImplicit},   {mpSmtp, true, 587, tlsmStartTls},  {mpSmtp, true, 25, tlsmStartTls},
        {mpSmtp, true, 995, tlsmStartTls},   {mpSmtp, false, 465, tlsmNone},     {mpSmtp, false, 25, tlsmNone},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE((c.Protocol == mpPop3 ? "POP3 " : "SMTP ") + std::to_string(c.Port) + (c.UseSsl ? " SSL" : ""));
        EXPECT_EQ(DefaultTlsMode(c.Protocol, c.UseSsl, c.Port), c.Expected);
        // A new account's connection settings follow the same rule.
        TAccountSettings account;
        account.FPop3UseSsl = account.FSmtpUseSsl = c.UseSsl;
        account.FPop3Port = account.FSmtpPort = c.Port;
        account.FPop3Host = account.FSmtpHost = "mail.example.com";
        const TTransportSettings transport =
            c.Protocol == mpPop3 ? Pop3TransportSettings(account) : SmtpTransportSettings(account);
        EXPECT_EQ(transport.TlsMode, c.Expected);
        EXPECT_EQ(transport.Port, c.Port);
        EXPECT_EQ(transport.Host, "mail.example.com");
        EXPECT_FALSE(transport.AcceptUntrustedCertificate);
    }
}
