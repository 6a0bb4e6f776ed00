// Costs of the object runtime's hot operations.
#include "Runtime/AutoReleasePool.h"
#include "Runtime/Log.h"
#include "Runtime/RcObject.h"

#include <benchmark/benchmark.h>

namespace {

void BM_RetainRelease(benchmark::State& state)
{
    auto* object = TRcObject::Create();
    for (auto _ : state) {
        object->Retain();
        object->Release();
    }
    object->Release();
}
BENCHMARK(BM_RetainRelease)->ThreadRange(1, 2);

void BM_CreateAndAutoReleaseDrain(benchmark::State& state)
{
    const auto batch = state.range(0);
    for (auto _ : state) {
        TRetainCountObjectAutoReleasePool pool;
        for (int64_t i = 0; i < batch; ++i)
            benchmark::DoNotOptimize(TRcObject::CreateAndAutoRelease());
    }
    state.SetItemsProcessed(state.iterations() * batch);
}
BENCHMARK(BM_CreateAndAutoReleaseDrain)->Arg(1)->Arg(1000);

void BM_UnwantedLogLine(benchmark::State& state)
{
    TLog::Start(TLogSettings{TLogMode::Null, lolWorn}, {});
    for (auto _ : state)
        TLog::O(lolDebug, "value %d of %s", {42, "text"});
}
BENCHMARK(BM_UnwantedLogLine);

} // namespace
