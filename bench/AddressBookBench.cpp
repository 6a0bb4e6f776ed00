// What the address boxes ask of the address book on each key press: the
// cards whose address, or last name then first name, starts with what was
// typed, at most 20, among 50,000 cards with random Latin and Chinese
// names and unique addresses. Beside it, the same answer found by a scan
// of the whole contact list, as an editor without the indexes would.
#include "Business/Account/AccountForSqlite.h"
#include "Business/Account/AccountManager.h"
#include "Business/Contacts/AddressBookGroupManager.h"
#include "Business/Contacts/AddressBookManager.h"
#include "Business/Contacts/ContactsStore.h"
#include "Business/Data/SqliteQuery.h"
#include "Business/Mime/MailContact.h"
#include "Runtime/AutoReleasePool.h"
#include "Runtime/GuidId.h"
#include "Support/AccountManagers.h"
#include "Support/ScratchFolder.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kCards = 50000;
constexpr int kMaxSuggestions = 20;

const char* const kLatinFirst[] = {"Li", "Anna", "John", "Maria", "Peter", "Mohammed", "Lucas", "Sofia", "Ahmed",
                                   "Olga", "Carlos", "Yuki", "Hans", "Fatima", "Ivan", "Emma", "Wei", "Lina",
                                   "Marco", "Sara", "Lisa", "Liam", "Mia", "Noah"};
const char* const kLatinLast[] = {"Smith", "Müller", "Rossi", "García", "Ivanov", "Tanaka", "Kim", "Nguyen",
                                  "Silva", "Kowalski", "Li", "Wang", "Martin", "Dubois", "Jensen", "Lopez"};
const char* const kChineseFirst[] = {"伟", "芳", "娜", "敏", "静", "丽", "强", "磊", "军", "洋", "勇", "艳",
                                     "杰", "娟", "涛", "明", "超", "秀英", "小明", "建国"};
const char* const kChineseLast[] = {"王", "李", "张", "刘", "陈", "杨", "黄", "赵", "吴", "周", "徐", "孙"};

template <std::size_t N>
const char* Pick(std::mt19937& aRandom, const char* const (&aWords)[N])
{
    return aWords[std::uniform_int_distribution<std::size_t>(0, N - 1)(aRandom)];
}

struct TBook {
    TScratchFolder Scratch{"qm-bench-book"};
    std::unique_ptr<TAccountManagers> Managers;
    TRcRef<TRcResPath> Account;

    TBook()
    {
        Managers = std::make_unique<TAccountManagers>(Scratch.Path());
        TAccountAddressBookGroupManager::BuildInstance();
        TAccountAddressBookManager::BuildInstance();
        TRetainCountObjectAutoReleasePool pool;
        auto account = TAccountManager::AccountManager()->CreateNewAccount();
        account->SetEmail("sales@example.com");
        TAccountManager::AccountManager()->SaveAccount(account.Get());
        Account = TRcRef<TRcResPath>::Retain(TRcResPath::CreateAndAutoRelease({account->ResId()}));
        TSQLiteDatabase& db = *dynamic_cast<TRcAccountForSqlite*>(account.Get())->GetDb();
        std::mt19937 random(42);
        TTransaction transaction(db);
        TSQLiteQueryEx insert(db, "insert into [AddresBook]([Id], [GroupId], [LastName], [FirstName], [Email], "
                                  "[CreateTime]) values (?, ?, ?, ?, ?, ?)");
        for (int i = 0; i < kCards; ++i) {
            const bool chinese = i % 3 == 0;
            const std::string last = chinese ? Pick(random, kChineseLast) : Pick(random, kLatinLast);
            const std::string first = chinese ? Pick(random, kChineseFirst) : Pick(random, kLatinFirst);
            // Unique addresses; some start like the names, some do not.
            std::string email = chinese ? "c" : "";
            if (first[0] == 'L' || first[0] == 'M') {
                email += first;
            } else {
                email += 'x';
                email += std::to_string(i % 97);
            }
            email += '.';
            email += std::to_string(i);
            email += "@example.com";
            insert.BindStr(1, NewGuidId());
            insert.BindStr(2, contacts::kNoGroupId);
            insert.BindStr(3, chinese ? last : std::string());
            insert.BindStr(4, chinese ? first : first + " " + last);
            insert.BindStr(5, email);
            insert.BindDouble(6, 45000.0 + i / 1000.0);
            insert.Exec();
        }
        transaction.Commit();
    }
    ~TBook()
    {
        TAccountAddressBookManager::ReleaseInstance();
        TAccountAddressBookGroupManager::ReleaseInstance();
        Account = nullptr;
    }
};

TBook& Book()
{
    static TBook book;
    return book;
}

// Two-letter prefixes a user types, each a different shape of match.
const std::vector<std::string>& Prefixes()
{
    static const std::vector<std::string> prefixes = {"Li", "Ma", "王小", "x1", "Jo", "张伟", "Zz", "Lu"};
    return prefixes;
}

void BM_SuggestionsFromTheIndexes(benchmark::State& state)
{
    TBook& book = Book();
    TAccountAddressBookManager* manager = TAccountAddressBookManager::AccountAddressBookManager();
    std::size_t next = 0;
    int found = 0;
    for (auto _ : state) {
        TRetainCountObjectAutoReleasePool pool;
        auto list = MakeRc<TRcMailContactList>();
        manager->GetMailContactSuggestions(book.Account.Get(), Prefixes()[next++ % Prefixes().size()],
                                           kMaxSuggestions, list.Get());
        found += list->Count();
        benchmark::DoNotOptimize(list.Get());
    }
    state.counters["found/key"] = benchmark::Counter(found, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_SuggestionsFromTheIndexes)->Unit(benchmark::kMicrosecond);

// The same question answered by reading every card and filtering.
void BM_SuggestionsByAScan(benchmark::State& state)
{
    TBook& book = Book();
    TAccountAddressBookManager* manager = TAccountAddressBookManager::AccountAddressBookManager();
    std::size_t next = 0;
    for (auto _ : state) {
        TRetainCountObjectAutoReleasePool pool;
        auto list = MakeRc<TRcMailContactList>();
        manager->GetMailContactList(book.Account.Get(), list.Get());
        benchmark::DoNotOptimize(list->Suggestions(Prefixes()[next++ % Prefixes().size()]));
    }
}
BENCHMARK(BM_SuggestionsByAScan)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
