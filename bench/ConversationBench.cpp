// The conversation index of an account with 100,000 mails from and to 500
// correspondents (inbox and out box): rebuilding it whole, and adding one
// mail as storing it does, from a known and from a new correspondent.
#include "Business/Account/AccountFolder.h"
#include "Business/Account/AccountForSqlite.h"
#include "Business/Account/AccountManager.h"
#include "Business/AccountMail/AccountMailManager.h"
#include "Business/Data/SqliteQuery.h"
#include "Business/Marketing/ConversationItemManager.h"
#include "Business/Marketing/ConversationManager.h"
#include "Runtime/AutoReleasePool.h"
#include "Support/AccountManagers.h"
#include "Support/ScratchFolder.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

constexpr int kMails = 100000;
constexpr int kCorrespondents = 500;
constexpr int kBatch = 1000;

std::string Correspondent(int aIndex)
{
    const std::string n = std::to_string(aIndex);
    return "Buyer " + n + " <Buyer" + n + "@Example.com>";
}

struct TMailbox {
    TScratchFolder Scratch{"qm-bench-conversation"};
    std::unique_ptr<TAccountManagers> Managers;
    TRcRef<TRcAccount> Account;
    int Added = 0;

    TMailbox()
    {
        Managers = std::make_unique<TAccountManagers>(Scratch.Path());
        TConversationManager::BuildInstance();
        TConversationItemManager::BuildInstance();
        TRetainCountObjectAutoReleasePool pool;
        Account = TAccountManager::AccountManager()->CreateNewAccount();
        Account->SetEmail("sales@example.com");
        TAccountManager::AccountManager()->SaveAccount(Account.Get());
        TSQLiteDatabase& db = *dynamic_cast<TRcAccountForSqlite*>(Account.Get())->GetDb();
        for (int start = 0; start < kMails; start += kBatch) {
            TRetainCountObjectAutoReleasePool batch;
            TTransaction transaction(db);
            for (int i = start; i < start + kBatch; ++i) {
                auto mail = TAccountMailManager::AccountMailManager()->CreateMail();
                const bool sent = i % 3 == 0;
                const std::string other = Correspondent(i * 7919 % kCorrespondents);
                mail->FFrom = sent ? "Sales <sales@example.com>" : other;
                mail->FTo = sent ? other : "sales@example.com, " + Correspondent((i + 1) % kCorrespondents);
                mail->FSubject = "Quotation " + std::to_string(i);
                mail->FMailSummary = i % 2 ? "Thank you for your enquiry" : "   ";
                mail->FDate = 45000.0 + (i * 104729 % kMails) / 100.0;
                TSqliteDbMail::Save(db, *mail, *FolderCodeOf(sent ? aftOutBox : aftInBox));
            }
            transaction.Commit();
        }
    }
    TRcResPath* Path() { return TRcResPath::CreateAndAutoRelease({Account->ResId()}); }
};

TMailbox& Mailbox()
{
    static TMailbox mailbox;
    return mailbox;
}

void BM_ReCreateAllConversationAndItems(benchmark::State& state)
{
    TMailbox& mailbox = Mailbox();
    TRetainCountObjectAutoReleasePool pool;
    for (auto _ : state)
        TConversationManager::ConversationManager()->ReCreateAllConversationAndItems(mailbox.Path(), {});
    state.counters["mails"] = kMails;
    state.counters["conversations"] =
        static_cast<double>(TConversationManager::ConversationManager()->GetConversationIds(mailbox.Path())->Count());
}
BENCHMARK(BM_ReCreateAllConversationAndItems)->Unit(benchmark::kMillisecond)->Iterations(3);

// One new mail per pass, added as the mail manager's hook adds it.
void AddMail(benchmark::State& state, bool aNewCorrespondent)
{
    TMailbox& mailbox = Mailbox();
    TRetainCountObjectAutoReleasePool pool;
    TConversationManager::ConversationManager()->ReCreateAllConversationAndItems(mailbox.Path(), {});
    for (auto _ : state) {
        state.PauseTiming();
        TRetainCountObjectAutoReleasePool pass;
        auto mail = TAccountMailManager::AccountMailManager()->CreateMail();
        const int n = ++mailbox.Added;
        mail->FFrom = aNewCorrespondent ? "New <new" + std::to_string(n) + "@example.org>" : Correspondent(n % 7);
        mail->FTo = "sales@example.com";
        mail->FSubject = "New " + std::to_string(n);
        mail->FDate = 46000.0 + n;
        state.ResumeTiming();
        TConversationManager::ConversationManager()->AddConversationByMail(mailbox.Path(), mail.Get());
    }
}

void BM_AddMailFromKnownCorrespondent(benchmark::State& state)
{
    AddMail(state, false);
}
BENCHMARK(BM_AddMailFromKnownCorrespondent)->Unit(benchmark::kMicrosecond)->Iterations(200);

void BM_AddMailFromNewCorrespondent(benchmark::State& state)
{
    AddMail(state, true);
}
BENCHMARK(BM_AddMailFromNewCorrespondent)->Unit(benchmark::kMicrosecond)->Iterations(50);

// Taking out one mail as deleting it for good does (its row stays).
void BM_RemoveMailFromConversations(benchmark::State& state)
{
    TMailbox& mailbox = Mailbox();
    TRetainCountObjectAutoReleasePool pool;
    TConversationManager::ConversationManager()->ReCreateAllConversationAndItems(mailbox.Path(), {});
    std::vector<std::string> ids;
    {
        TSQLiteDatabase& db = *dynamic_cast<TRcAccountForSqlite*>(mailbox.Account.Get())->GetDb();
        TSQLiteUniTable rows(db, "select [Id] from [Mail] limit 100");
        for (; !rows.Eof(); rows.Next())
            ids.push_back(rows.FieldAsString(0));
    }
    std::size_t next = 0;
    for (auto _ : state)
        TSqliteDbConversation::RemoveMailFromConversations(mailbox.Path(), ids[next++ % ids.size()]);
}
BENCHMARK(BM_RemoveMailFromConversations)->Unit(benchmark::kMillisecond)->Iterations(50);

} // namespace
