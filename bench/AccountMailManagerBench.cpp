// Listing an inbox of 100,000 mails through the account mail manager, in
// each sort order, with and without a search text, and opening one mail.
//
//   bench_mailmanager                      the benchmarks (own scratch folder)
//   bench_mailmanager --make DIR           builds the data folder in DIR and
//                                          prints the account database's path
//   bench_mailmanager --list DIR MODE [TEXT]
//                                          one listing as a whole process, to
//                                          set beside the sqlite3 shell running
//                                          the same query on the same file
//                                          (bench/mail_listing_vs_sqlite3.sh)
#include "Business/Account/AccountFolder.h"
#include "Business/Account/AccountForSqlite.h"
#include "Business/Account/AccountManager.h"
#include "Business/AccountMail/AccountMailManager.h"
#include "Business/Data/ConfigManager.h"
#include "Business/Data/SqliteQuery.h"
#include "Business/Data/TempFileManager.h"
#include "Business/Resource/ResourceManager.h"
#include "Runtime/AutoReleasePool.h"
#include "Support/AccountManagers.h"
#include "Support/ScratchFolder.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr int kMails = 100000;
constexpr int kBatch = 1000;

// The first listed account's inbox; nullptr without accounts.
TRcResPath* Inbox()
{
    TRcResIdList* accounts = TAccountManager::AccountManager()->GetAccounts();
    if (accounts->Count() == 0)
        return nullptr;
    return TAccountFolderManager::AccountFolderManager()->GetStandardFolderResPath(
        TRcResPath::CreateAndAutoRelease({accounts->First()}), aftInBox);
}

// One account whose inbox holds kMails mails, stored in batches as
// receiving stores them; returns the database file.
fs::path MakeMailbox()
{
    TRetainCountObjectAutoReleasePool pool;
    auto account = TAccountManager::AccountManager()->CreateNewAccount();
    account->SetEmail("sales@example.com");
    TAccountManager::AccountManager()->SaveAccount(account.Get());
    TSQLiteDatabase& db = *dynamic_cast<TRcAccountForSqlite*>(account.Get())->GetDb();
    for (int start = 0; start < kMails; start += kBatch) {
        TRetainCountObjectAutoReleasePool batch;
        TTransaction transaction(db);
        for (int i = start; i < start + kBatch; ++i) {
            const std::string n = std::to_string(i);
            auto mail = TAccountMailManager::AccountMailManager()->CreateMail();
            mail->FSeenFlag = i % 2;
            mail->FUid = "uidl-" + n;
            mail->FMessageId = "<" + n + "@example.com>";
            mail->FFrom = "Kunde Müller " + n + " <buyer" + n + "@example.com>";
            mail->FTo = "sales@example.com";
            mail->FSubject = "Re: 报价单 Quotation " + n;
            mail->FDate = 45000.0 + (i * 7919 % kMails) / 100.0;
            mail->FSize = 20000 + (i * 104729 % kMails);
            mail->FMailSummary = "Dear customer, thank you for your enquiry about item " + n;
            TSqliteDbMail::Save(db, *mail, *FolderCodeOf(aftInBox));
        }
        transaction.Commit();
    }
    return db.Path();
}

struct TScratchMailbox {
    TScratchFolder Scratch{"qm-bench-mailmgr"};
    fs::path Folder = Scratch.Path();
    std::unique_ptr<TAccountManagers> Managers;
    TScratchMailbox()
    {
        Managers = std::make_unique<TAccountManagers>(Folder);
        MakeMailbox();
    }
};

TScratchMailbox& Mailbox()
{
    static TScratchMailbox mailbox;
    return mailbox;
}

TRcRef<TGetMailsOpertion> Opertion(int aMode, const std::string& aSubject = {})
{
    auto opertion = MakeRc<TGetMailsOpertion>();
    opertion->FSortMode = static_cast<TGetMailsOpertionSortMode>(aMode);
    opertion->FSubjectContainText = aSubject;
    return opertion;
}

// Lists the inbox with aOpertion on every pass.
void ListInbox(benchmark::State& state, const TGetMailsOpertion* aOpertion)
{
    Mailbox();
    TRetainCountObjectAutoReleasePool pool;
    TRcResPath* inbox = Inbox();
    for (auto _ : state) {
        TRetainCountObjectAutoReleasePool pass;
        state.counters["mails"] = TAccountMailManager::AccountMailManager()->GetMails(inbox, aOpertion)->Count();
    }
}

void BM_GetMails(benchmark::State& state)
{
    ListInbox(state, Opertion(static_cast<int>(state.range(0))).Get());
}
BENCHMARK(BM_GetMails)->DenseRange(gmosmDefault, gmosmNoReadedFlag)->Unit(benchmark::kMillisecond);

// A search text: every row's subject is folded and searched.
void BM_GetMailsWithSearchText(benchmark::State& state)
{
    ListInbox(state, Opertion(gmosmDefault, state.range(0) ? "报价单 QUOTATION 4242" : "quotation 4242").Get());
}
BENCHMARK(BM_GetMailsWithSearchText)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_GetNotReadedMailCount(benchmark::State& state)
{
    Mailbox();
    TRetainCountObjectAutoReleasePool pool;
    TRcResPath* inbox = Inbox();
    for (auto _ : state)
        benchmark::DoNotOptimize(TAccountMailManager::AccountMailManager()->GetNotReadedMailCount(inbox));
}
BENCHMARK(BM_GetNotReadedMailCount)->Unit(benchmark::kMillisecond);

// A mail from the middle of the inbox.
TRcResPath* MiddleMail()
{
    TRcResPath* inbox = Inbox();
    return inbox->Append(TAccountMailManager::AccountMailManager()->GetMails(inbox)->GetItem(kMails / 2));
}

void BM_GetMail(benchmark::State& state)
{
    Mailbox();
    TRetainCountObjectAutoReleasePool pool;
    TRcResPath* path = MiddleMail();
    for (auto _ : state) {
        TRetainCountObjectAutoReleasePool pass;
        benchmark::DoNotOptimize(TAccountMailManager::AccountMailManager()->GetMail(path));
    }
}
BENCHMARK(BM_GetMail)->Unit(benchmark::kMicrosecond);

// The mails exchanged with one correspondent, among 100,000.
void BM_GetRelateMailsOfMail(benchmark::State& state)
{
    Mailbox();
    TRetainCountObjectAutoReleasePool pool;
    TRcResPath* path = MiddleMail();
    for (auto _ : state) {
        TRetainCountObjectAutoReleasePool pass;
        state.counters["related"] = TAccountMailManager::AccountMailManager()->GetRelateMailsOfMail(path)->Count();
    }
}
BENCHMARK(BM_GetRelateMailsOfMail)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 3 && std::strcmp(argv[1], "--make") == 0) {
        fs::create_directories(argv[2]);
        TAccountManagers managers(argv[2]);
        std::cout << MakeMailbox().string() << "\n";
        return 0;
    }
    if (argc >= 4 && std::strcmp(argv[1], "--list") == 0) {
        TAccountManagers managers(argv[2]);
        TRetainCountObjectAutoReleasePool pool;
        TRcResPath* inbox = Inbox();
        if (!inbox)
            return 1;
        const auto opertion = Opertion(std::atoi(argv[3]), argc >= 5 ? argv[4] : "");
        std::cout << TAccountMailManager::AccountMailManager()->GetMails(inbox, opertion.Get())->Count() << "\n";
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
