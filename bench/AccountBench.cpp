// A heavy user's account list: creating 100 accounts, then listing them
// with their records, as the main window does at start.
#include "Business/Account/AccountManager.h"
#include "Business/Data/DataFolder.h"
#include "Runtime/AutoReleasePool.h"
#include "Support/ScratchFolder.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

namespace {

struct TScratch {
    TScratchFolder Scratch{"qm-bench"};
    std::filesystem::path Folder = Scratch.Path();
    TScratch()
    {
        SetCurrentDataPath(Folder);
    }
};

void CreateAccounts(int aCount)
{
    for (int i = 0; i < aCount; ++i) {
        TRetainCountObjectAutoReleasePool pool;
        auto account = TAccountManager::AccountManager()->CreateNewAccount();
        account->SetEmail("sales" + std::to_string(i) + "@example.com");
        TAccountManager::AccountManager()->SaveAccount(account.Get());
    }
}

void BM_Create100Accounts(benchmark::State& state)
{
    for (auto _ : state) {
        TScratch scratch;
        TAccountManager::BuildInstance();
        CreateAccounts(100);
        TAccountManager::ReleaseInstance();
    }
}
BENCHMARK(BM_Create100Accounts)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_List100Accounts(benchmark::State& state)
{
    TScratch scratch;
    TAccountManager::BuildInstance();
    CreateAccounts(100);
    const bool cold = state.range(0) != 0;
    for (auto _ : state) {
        if (cold) {   // a fresh start: every record opens its database
            state.PauseTiming();
            TAccountManager::ReleaseInstance();
            TAccountManager::BuildInstance();
            state.ResumeTiming();
        }
        TRetainCountObjectAutoReleasePool pool;
        for (TRcResId* id : *TAccountManager::AccountManager()->GetAccounts())
            benchmark::DoNotOptimize(TAccountManager::AccountManager()->GetAccount(id)->Email());
    }
    TAccountManager::ReleaseInstance();
}
BENCHMARK(BM_List100Accounts)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
