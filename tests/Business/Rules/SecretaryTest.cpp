#include "Business/Account/AccountForSqlite.h"
#include "Business/Account/AccountManager.h"
#include "Business/Data/SqliteQuery.h"
#include "Business/Resource/ResourceManager.h"
#include "Business/Rules/SecretaryManager.h"
#include "Runtime/AutoReleasePool.h"
#include "Runtime/GuidId.h"
#include "Support/AccountManagers.h"
#include "Support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class TRecorder : public TRcObject, public ISecretaryObserver {
public:
    void OnContentChanged(TRcResPath* aPath) override { Events.push_back("content " + aPath->ToString()); }
    void OnChanged(TRcResPath* aPath) override { Events.push_back("changed " + aPath->ToString()); }
    std::vector<std::string> Events;
};

class SecretaryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FScratch = std::make_unique<TScratchFolder>("qm-secretary");
        FManagers = std::make_unique<TAccountManagers>(FScratch->Path());
        TSecretaryManager::BuildInstance();
        FRecorder = MakeRc<TRecorder>();
        Manager()->RegisterObserver(FRecorder.Get());
    }
    void TearDown() override
    {
        Manager()->UnRegisterObserver(FRecorder.Get());
        TSecretaryManager::ReleaseInstance();
        FManagers.reset();
        FScratch.reset();
    }

    static TSecretaryManager* Manager() { return TSecretaryManager::SecretaryManager(); }
    fs::path AccountsDb() const { return FScratch->Path() / "Accounts" / "Accounts.db"; }
    // Accounts.db is made by the first account, never by secretaries.
    static TRcRef<TRcAccount> SavedAccount(const std::string& aEmail)
    {
        auto account = TAccountManager::AccountManager()->CreateNewAccount();
        account->SetEmail(aEmail);
        TAccountManager::AccountManager()->SaveAccount(account.Get());
        return account;
    }
    static TRcSecretary* Saved(const std::string& aName, const std::string& aEmail, TDateTime aCreateTime)
    {
        TRcSecretary* secretary = Manager()->CreateSecretary();
        secretary->FSecretaryName = aName;
        secretary->FSecretaryEmail = aEmail;
        secretary->FCreateTime = aCreateTime;
        EXPECT_NE(Manager()->SaveSecretary(secretary), nullptr);
        return secretary;
    }
    static TRcResPath* PathOf(const std::string& aId)
    {
        return TRcResPath::CreateAndAutoRelease({TRcResId::CreateAndAutoRelease(rtSecretary, aId)});
    }
    static std::vector<std::string> Names()
    {
        std::vector<std::string> names;
        for (TRcSecretary* secretary : *Manager()->GetSecretarys())
            names.push_back(secretary->FSecretaryName);
        return names;
    }

    TRetainCountObjectAutoReleasePool FPool;
    std::unique_ptr<TScratchFolder> FScratch;
    std::unique_ptr<TAccountManagers> FManagers;
    TRcRef<TRecorder> FRecorder;
};

TEST_F(SecretaryTest, SavedSecretariesLoadAndListOldestFirst)
{
    SavedAccount("sales@example.com");
    TRcSecretary* second = Saved("李四", "li@x.com", 45002);
    TRcSecretary* first = Saved("张三", "zhang@x.com", 45001.5);
    Saved("", "third@x.com", 45003);
    EXPECT_EQ(Names(), (std::vector<std::string>{"张三", "李四", ""}));
    TRcResIdList* ids = Manager()->GetIDs();
    ASSERT_EQ(ids->Count(), 3);
    EXPECT_EQ(ids->GetItem(0)->Id(), first->FId);
    EXPECT_TRUE(ids->GetItem(0)->IsType(rtSecretary));

    TRcSecretary* loaded = Manager()->GetSecretary(PathOf(second->FId));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->FId, second->FId);
    EXPECT_EQ(loaded->FSecretaryName, "李四");
    EXPECT_EQ(loaded->FSecretaryEmail, "li@x.com");
    EXPECT_EQ(loaded->FCreateTime, 45002);
    EXPECT_EQ(loaded->ToString(), "李四");
    EXPECT_EQ(Manager()->GetSecretarys()->GetItem(2)->ToString(), "<id: " + Manager()->GetIDs()->GetItem(2)->Id() + ">");

    // A new one changes the register; saving it again changes only itself.
    const std::string empty = TRcResPath::CreateAndAutoRelease(std::initializer_list<TRcResId*>{})->ToString();
    EXPECT_EQ(FRecorder->Events, std::vector<std::string>(3, "changed " + empty));
    FRecorder->Events.clear();
    second->FSecretaryEmail = "li.si@x.com";
    TRcResPath* path = Manager()->SaveSecretary(second);
    ASSERT_NE(path, nullptr);
    EXPECT_EQ(FRecorder->Events, std::vector<std::string>{"content " + path->ToString()});
    EXPECT_EQ(Manager()->GetSecretary(path)->FSecretaryEmail, "li.si@x.com");
    EXPECT_EQ(Manager()->GetIDs()->Count(), 3);

    // The resource layer lists them through the manager, in the same order.
    TRcRef<IResVisitor> visitor = TResourceManager::ResourceManager()->List(nullptr, rtSecretary);
    ASSERT_TRUE(visitor);
    ASSERT_EQ(visitor->Count(), 3);
    ASSERT_TRUE(visitor->MoveTo(0));
    EXPECT_EQ(visitor->Current()->Id(), first->FId);
    EXPECT_FALSE(TResourceManager::ResourceManager()->List(path, rtSecretary));
}

TEST_F(SecretaryTest, OnlySecretaryPathsNameOne)
{
    SavedAccount("sales@example.com");
    TRcSecretary* secretary = Saved("张三", "zhang@x.com", 45001);
    TRcResId* id = TRcResId::CreateAndAutoRelease(rtSecretary, secretary->FId);
    struct TCase {
        const char* Name;
        TRcResPath* Path;
        bool Found;
    } cases[] = {
        {"its path", PathOf(secretary->FId), true},
        {"nil", nullptr, false},
        {"empty", TRcResPath::CreateAndAutoRelease(std::initializer_list<TRcResId*>{}), false},
        {"another type", TRcResPath::CreateAndAutoRelease({TRcResId::CreateAndAutoRelease(rtAccount, secretary->FId)}),
         false},
        {"under something", TRcResPath::CreateAndAutoRelease({TRcResId::CreateAndAutoRelease(rtAccount, NewGuidId()), id}),
         false},
        {"not an id", PathOf(secretary->FId + "\" or \"1\"=\"1"), false},
        {"unknown", PathOf(NewGuidId()), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Manager()->GetSecretary(c.Path) != nullptr, c.Found) << c.Name;

    TRcSecretary* bad = RcCreateAndAutoRelease<TRcSecretary>("not-an-id", "x", "x@x.com", 1.0);
    EXPECT_THROW(Manager()->SaveSecretary(bad), Exception);
    EXPECT_EQ(Manager()->GetIDs()->Count(), 1);
}

TEST_F(SecretaryTest, DeletingAnnouncesOnlyWhatWasThere)
{
    SavedAccount("sales@example.com");
    TRcSecretary* a = Saved("a", "a@x.com", 1);
    Saved("b", "b@x.com", 2);
    FRecorder->Events.clear();

    Manager()->DeleteSecretary(PathOf(a->FId));
    EXPECT_EQ(Names(), std::vector<std::string>{"b"});
    EXPECT_EQ(FRecorder->Events.size(), 1u);
    Manager()->DeleteSecretary(PathOf(a->FId));        // gone already
    Manager()->DeleteSecretary(PathOf(NewGuidId()));   // never there
    Manager()->DeleteSecretary(nullptr);
    EXPECT_EQ(FRecorder->Events.size(), 1u);

    Manager()->DeleteAllSecretary();
    EXPECT_EQ(Manager()->GetIDs()->Count(), 0);
    EXPECT_TRUE(Names().empty());
}

TEST_F(SecretaryTest, CheckingByEmailBindsTheAddress)
{
    SavedAccount("sales@example.com");
    Saved("a", "zhang@x.com", 1);
    Saved("quoted", "\"li\"@x.com", 2);
    struct TCase {
        const char* Address;
        bool Known;
    } cases[] = {
        {"zhang@x.com", true},  {"\"li\"@x.com", true}, {"ZHANG@x.com", false}, {"", false},
        {"\" or \"1\"=\"1", false}, {"x\" or [SecretaryEmail] like \"%", false}, {"'", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Manager()->CheckSecretaryByEmail(c.Address), c.Known) << c.Address;
}

TEST_F(SecretaryTest, OneRegisterForEveryAccount)
{
    auto first = SavedAccount("sales@example.com");
    auto second = SavedAccount("info@example.com");
    TRcSecretary* secretary = Saved("张三", "zhang@x.com", 1);

    TSQLiteDatabase accounts(AccountsDb());
    EXPECT_EQ(accounts.GetTableValue("select count(*) from [Secretary] where [Id] = ?",
                                     [&](TSQLiteUniTable& q) { q.BindStr(1, secretary->FId); }),
              1);
    for (TRcAccount* account : {first.Get(), second.Get()}) {
        TSQLiteDatabase& db = *dynamic_cast<TRcAccountForSqlite*>(account)->GetDb();
        EXPECT_EQ(db.GetTableValue("select count(*) from [Secretary]"), 0);
    }
}

TEST_F(SecretaryTest, WithoutAccountsDbNothingHappens)
{
    ASSERT_FALSE(fs::exists(AccountsDb()));
    TRcSecretary* secretary = Manager()->CreateSecretary();
    EXPECT_TRUE(IsGuidId(secretary->FId));
    EXPECT_EQ(secretary->FCreateTime, 0);

    Manager()->Init();
    EXPECT_EQ(Manager()->SaveSecretary(secretary), nullptr);
    EXPECT_EQ(Manager()->GetIDs(), nullptr);
    EXPECT_EQ(Manager()->GetSecretarys(), nullptr);
    EXPECT_EQ(Manager()->GetSecretary(PathOf(secretary->FId)), nullptr);
    EXPECT_FALSE(Manager()->CheckSecretaryByEmail(""));
    Manager()->DeleteSecretary(PathOf(secretary->FId));
    EXPECT_FALSE(fs::exists(AccountsDb()));
    EXPECT_TRUE(FRecorder->Events.empty());
    TRcRef<IResVisitor> visitor = TResourceManager::ResourceManager()->List(nullptr, rtSecretary);
    ASSERT_TRUE(visitor);
    EXPECT_EQ(visitor->Count(), 0);
    EXPECT_FALSE(visitor->MoveTo(0));
}

TEST_F(SecretaryTest, AnOlderAccountsDbGetsTheTable)
{
    SavedAccount("sales@example.com");
    {
        TSQLiteDatabase accounts(AccountsDb());
        accounts.ExecSQL("drop table [Secretary]");
    }
    EXPECT_EQ(Manager()->GetIDs()->Count(), 0);
    Manager()->Init();
    TSQLiteDatabase accounts(AccountsDb());
    EXPECT_TRUE(accounts.TableExists("Secretary"));
    EXPECT_EQ(accounts.UserVersion(), 1);
}

} // namespace
