// Costs of naming things: identifiers, paths, and looking them up.
#include "Business/Resource/ResPath.h"
#include "Runtime/AutoReleasePool.h"
#include "Runtime/RcObjectHashMap.h"
#include "Runtime/RcRef.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

const char* kAccount = "0123456789ABCDEF0123456789ABCDEF";
const char* kMail = "FEDCBA9876543210FEDCBA9876543210";

void BM_MailPathCreate(benchmark::State& state)
{
    TRetainCountObjectAutoReleasePool pool;
    auto account = MakeRc<TRcResId>(rtAccount, kAccount);
    auto folder = MakeRc<TRcResId>(rtAccountMailFolder, "InBox");
    for (auto _ : state) {
        auto mail = MakeRc<TRcResId>(rtAccountMail, kMail);
        auto path = MakeRc<TRcResPath>(std::initializer_list<TRcResId*>{account.Get(), folder.Get(), mail.Get()});
        benchmark::DoNotOptimize(path->HashCode());
    }
}
BENCHMARK(BM_MailPathCreate);

void BM_AccountCacheLookup(benchmark::State& state)
{
    TRetainCountObjectAutoReleasePool pool;
    auto map = MakeRc<TRcObjectHashMap>(16);
    const int accounts = static_cast<int>(state.range(0));
    for (int i = 0; i < accounts; ++i) {
        auto id = MakeRc<TRcResId>(rtAccount, std::to_string(i));
        map->PutValue(id.Get(), id.Get());
    }
    auto probe = MakeRc<TRcResId>(rtAccount, std::to_string(accounts / 2));
    for (auto _ : state)
        benchmark::DoNotOptimize(map->GetValue(probe.Get()));
}
BENCHMARK(BM_AccountCacheLookup)->Arg(4)->Arg(64);

void BM_IdListIndexOf(benchmark::State& state)
{
    TRetainCountObjectAutoReleasePool pool;
    auto list = MakeRc<TRcResIdList>();
    const int count = static_cast<int>(state.range(0));
    for (int i = 0; i < count; ++i)
        list->Add(TRcResId::CreateAndAutoRelease(rtAccountMail, std::to_string(i)));
    auto last = MakeRc<TRcResId>(rtAccountMail, std::to_string(count - 1));
    for (auto _ : state)
        benchmark::DoNotOptimize(list->IndexOf(last.Get()));
}
BENCHMARK(BM_IdListIndexOf)->Arg(1000);

} // namespace
