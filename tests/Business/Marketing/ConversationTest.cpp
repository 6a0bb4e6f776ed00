#include "Business/Account/AccountFolder.h"
#include "Business/Account/AccountForSqlite.h"
#include "Business/Account/AccountManager.h"
#include "Business/AccountMail/AccountMailManager.h"
#include "Business/Marketing/ConversationItemManager.h"
#include "Business/Marketing/ConversationManager.h"
#include "Business/Resource/ResourceManager.h"
#include "Runtime/AutoReleasePool.h"
#include "Support/AccountManagers.h"
#include "Support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

class ConversationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FManagers = std::make_unique<TAccountManagers>(FScratch.Path());
        TConversationManager::BuildInstance();
        TConversationItemManager::BuildInstance();
        FAccount = TAccountManager::AccountManager()->CreateNewAccount();
        FAccount->SetEmail("sales@example.com");
        TAccountManager::AccountManager()->SaveAccount(FAccount.Get());
    }
    void TearDown() override
    {
        TConversationItemManager::ReleaseInstance();
        TConversationManager::ReleaseInstance();
        FAccount = nullptr;
        FManagers.reset();
    }

    static TConversationManager* Conversations() { return TConversationManager::ConversationManager(); }
    static TAccountMailManager* Mails() { return TAccountMailManager::AccountMailManager(); }
    TRcResPath* Account() { return TRcResPath::CreateAndAutoRelease({FAccount->ResId()}); }
    TRcResPath* Folder(TAccountFolderType aType)
    {
        return TAccountFolderManager::AccountFolderManager()->GetStandardFolderResPath(Account(), aType);
    }
    TSQLiteDatabase& Db() { return *dynamic_cast<TRcAccountForSqlite*>(FAccount.Get())->GetDb(); }

    // A mail stored in a folder, known to the test by its subject.
    TRcResPath* Store(TAccountFolderType aFolder, const std::string& aSubject, const std::string& aFrom,
                      const std::string& aTo, TDateTime aDate, const std::string& aSummary = {})
    {
        auto mail = Mails()->CreateMail();
        mail->FSubject = aSubject;
        mail->FFrom = aFrom;
        mail->FTo = aTo;
        mail->FDate = aDate;
        mail->FMailSummary = aSummary;
        {
            std::lock_guard lock(FNamesMutex);
            FNames[mail->ResId()->Id()] = aSubject;
        }
        return Mails()->SaveMail(Folder(aFolder), mail.Get());
    }

    // The index as the screens list it: each correspondent with the
    // conversation's subject and date, and the subjects of its mails.
    using TIndex = std::map<std::string, std::pair<std::string, std::set<std::string>>>;
    TIndex Index()
    {
        TIndex index;
        TResourceManager* resources = TResourceManager::ResourceManager();
        resources->List(Account(), rtConversation, [&](TRcResId* aId) {
            TRcResPath* path = Account()->Append(aId);
            TRcConversation* conversation = Conversations()->GetConversation(path);
            auto& entry = index[conversation->FConversationType];
            entry.first = conversation->FSubject + " @" + std::to_string(conversation->FLastMailDate);
            resources->List(path, rtConversationItems, [&](TRcResId* aItem) {
                TRcMail* mail = Mails()->GetMailForConversationItem(path->Append(aItem));
                entry.second.insert(mail ? FNames[mail->ResId()->Id()] : "<no mail>");
            });
        });
        return index;
    }
    // The index as a rebuild from the mails gives it.
    TIndex Rebuilt()
    {
        Conversations()->ReCreateAllConversationAndItems(Account(), {});
        return Index();
    }
    int64_t Count(const char* aTable)
    {
        return Db().GetTableValue(std::string("select count(0) from [") + aTable + "]");
    }

    TRetainCountObjectAutoReleasePool FPool;
    TScratchFolder FScratch{"qm-conversation"};
    std::unique_ptr<TAccountManagers> FManagers;
    TRcRef<TRcAccount> FAccount;
    std::mutex FNamesMutex;
    std::map<std::string, std::string> FNames;
};

TEST_F(ConversationTest, ThreeCorrespondentsFollowTheMailsAndARebuildGivesTheSameIndex)
{
    const std::string me = "sales@example.com";
    Store(aftOutBox, "offer", "Sales <sales@example.com>", "Alice <alice@a.com>", 1);
    Store(aftInBox, "re: offer", "Alice <ALICE@A.com>", me, 2, "   ");
    Store(aftInBox, "bob asks", "\"Bob B\" <bob@b.com>", me + ", alice@a.com", 3, "Bob's summary");
    Store(aftOutBox, "to bob", me, "bob@b.com", 4);
    TRcResPath* carol = Store(aftInBox, "carol", "carol@c.com", me, 5);
    Store(aftInBox, "anonymous", "", me, 6);

    TIndex expected = {
        {"alice@a.com", {"re: offer @2.000000", {"offer", "re: offer", "bob asks"}}},
        {"bob@b.com", {"Bob's summary @3.000000", {"bob asks", "to bob"}}},
        {"carol@c.com", {"carol @5.000000", {"carol"}}},
        {me, {"to bob @4.000000", {"offer", "re: offer", "bob asks", "to bob", "carol"}}},
    };
    EXPECT_EQ(Index(), expected);
    EXPECT_EQ(Rebuilt(), expected);

    // Stored: a newer mail from Bob leads his conversation; an older one
    // from Alice joins hers without taking its subject.
    Store(aftInBox, "bob again", "bob@b.com", me, 7);
    Store(aftInBox, "alice late", "alice@a.com", me, 1.5);
    expected["bob@b.com"] = {"bob again @7.000000", {"bob asks", "to bob", "bob again"}};
    expected["alice@a.com"].second.insert("alice late");
    for (const char* name : {"bob again", "alice late"})
        expected[me].second.insert(name);
    EXPECT_EQ(Index(), expected);

    // Moved (to the trash too): the same mail, no second item.
    const int64_t items = Count("ConversationItem");
    ASSERT_TRUE(Mails()->MoveMail(carol, Folder(aftDraft), msarsNoneUser));
    TRcResPath* moved = Folder(aftDraft)->Append(carol->Last());
    Mails()->DeleteMail(moved);
    Conversations()->AddConversationByMail(Account(), Mails()->GetMail(Folder(aftThrashBag)->Append(carol->Last())));
    EXPECT_EQ(Count("ConversationItem"), items);
    EXPECT_EQ(Index(), expected);
    EXPECT_EQ(Rebuilt(), expected);

    // Deleted for good: Carol's only mail takes her conversation with it.
    Mails()->DeleteMail(Folder(aftThrashBag)->Append(carol->Last()));
    expected.erase("carol@c.com");
    expected[me].second.erase("carol");
    EXPECT_EQ(Index(), expected);
    EXPECT_EQ(Rebuilt(), expected);
}

TEST_F(ConversationTest, NewCorrespondentsAndMailsGoneForGoodLeaveWhatARebuildGives)
{
    const std::string me = "sales@example.com";
    std::map<std::string, TRcResPath*> mails;
    auto store = [&](TAccountFolderType aFolder, const std::string& aSubject, const std::string& aFrom,
                     const std::string& aTo, TDateTime aDate) {
        mails[aSubject] = Store(aFolder, aSubject, aFrom, aTo, aDate);
    };
    auto gone = [&](const std::string& aSubject) {
        TRcResPath* path = mails.at(aSubject);
        Mails()->DeleteMail(path);
        Mails()->DeleteMail(Folder(aftThrashBag)->Append(path->Last()));
    };
    // Each step is checked against a rebuild, from which the next starts.
    const std::vector<std::pair<std::string, std::function<void()>>> steps = {
        {"written to two", [&] { store(aftInBox, "to two", "bob@b.com", me + ", Dave <DAVE@d.com>", 1); }},
        {"second of two senders", [&] { store(aftInBox, "two senders", "eve@e.com, dave@d.com", me, 2); }},
        {"mine", [&] { store(aftOutBox, "mine old", me, "bob@b.com", 3); }},
        {"mine, same date", [&] { store(aftOutBox, "mine tie", me, "bob@b.com", 3); }},
        {"mine, newer", [&] { store(aftOutBox, "mine new", me, "bob@b.com", 5); }},
        {"bob, newest", [&] { store(aftInBox, "bob late", "bob@b.com", me, 6); }},
        {"first from dave", [&] { store(aftInBox, "dave", "dave@d.com", me, 4); }},
        {"my newest gone", [&] { gone("mine new"); }},
        {"one of the tie gone", [&] { gone("mine tie"); }},
        {"bob's newest gone", [&] { gone("bob late"); }},
        {"dave's only mail gone", [&] { gone("dave"); }},
        {"dave again", [&] { store(aftInBox, "dave again", "dave@d.com", me, 7); }},
    };
    for (const auto& [name, step] : steps) {
        step();
        const TIndex incremental = Index();
        EXPECT_EQ(Rebuilt(), incremental) << name;
    }
    const TIndex last = Index();
    EXPECT_EQ(last.at("dave@d.com").second, (std::set<std::string>{"to two", "two senders", "dave again"}));
    EXPECT_EQ(last.at(me).first, "mine old @3.000000");
}

TEST_F(ConversationTest, TheIndexIsBuiltOnceAndNeverStopsAMailFromBeingStored)
{
    // Mails from before the index existed are indexed by the first Init.
    TConversationItemManager::ReleaseInstance();
    TConversationManager::ReleaseInstance();
    Store(aftInBox, "old", "alice@a.com", "sales@example.com", 1);
    TConversationManager::BuildInstance();
    TConversationItemManager::BuildInstance();
    EXPECT_TRUE(Index().empty());
    Conversations()->Init();
    EXPECT_EQ(Index().size(), 1u);

    // Once built, a start does not build it again.
    Conversations()->DeleteAllConversationAndItems(Account());
    Conversations()->Init();
    EXPECT_TRUE(Index().empty());

    // Progress hears of every mail, in order.
    std::vector<std::pair<int, int>> progress;
    Conversations()->ReCreateAllConversationAndItems(Account(), [&](int i, int n) { progress.emplace_back(i, n); });
    EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{0, 1}}));

    // An index that cannot be written costs the mail nothing.
    Db().ExecSQL("drop table [ConversationItem]");
    TRcResPath* stored = Store(aftInBox, "new", "bob@b.com", "sales@example.com", 2);
    ASSERT_NE(stored, nullptr);
    EXPECT_NE(Mails()->GetMail(stored), nullptr);
}

TEST_F(ConversationTest, MailsStoredOnAnotherThreadDuringRebuildsAreAllIndexed)
{
    std::thread receiver([&] {
        TRetainCountObjectAutoReleasePool pool;
        for (int i = 0; i < 40; ++i) {
            const std::string n = std::to_string(i);
            Store(aftInBox, "mail " + n, "c" + std::to_string(i % 4) + "@c.com", "sales@example.com", i);
        }
    });
    for (int i = 0; i < 5; ++i)
        Conversations()->ReCreateAllConversationAndItems(Account(), {});
    receiver.join();
    const TIndex incremental = Index();
    EXPECT_EQ(incremental.size(), 4u);
    EXPECT_EQ(Rebuilt(), incremental);
}

} // namespace
