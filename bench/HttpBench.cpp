// The HTTP module against the fake maker's server on loopback: a service
// request's round trip, the time a cancel takes to end a waiting request,
// and a download streamed to disk.
#include "Business/Http/HttpRequest.h"
#include "Runtime/RcRef.h"

#include "FakeMakerServer.h"
#include "Support/ScratchFolder.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace {

const std::string kRegistrationPath = "/mailOprAction!getUserRegistrTime.action";

TFakeMakerServer& Server()
{
    static TFakeMakerServer server;
    [[maybe_unused]] static const int port = server.Start();
    return server;
}

std::string Url(const std::string& aPath)
{
    return Server().BaseUrl() + aPath.substr(1);
}

const std::vector<THttpField> kForm = {THttpField::Plain("user_email", "sales@example.com"),
                                       THttpField::Plain("user_password", "2F3A9C0D11E2B4A57")};

// One request object per job, as the callers use it: a new connection each time.
void BM_PostFormNewRequest(benchmark::State& aState)
{
    Server().Reset();
    for (auto _ : aState) {
        auto result = MakeRc<THttpRequest>()->PostForm(Url(kRegistrationPath), kForm);
        if (!result.Ok)
            aState.SkipWithError(result.Error.c_str());
    }
    Server().Reset();
}
BENCHMARK(BM_PostFormNewRequest)->Unit(benchmark::kMicrosecond);

// Several requests on one object reuse its connection.
void BM_PostFormReusedRequest(benchmark::State& aState)
{
    Server().Reset();
    auto http = MakeRc<THttpRequest>();
    for (auto _ : aState) {
        auto result = http->PostForm(Url(kRegistrationPath), kForm);
        if (!result.Ok)
            aState.SkipWithError(result.Error.c_str());
    }
    Server().Reset();
}
BENCHMARK(BM_PostFormReusedRequest)->Unit(benchmark::kMicrosecond);

// From Cancel on another thread to the request's return.
void BM_CancelLatency(benchmark::State& aState)
{
    for (auto _ : aState) {
        Server().Reset();
        Server().Script(kRegistrationPath, {TScriptedReply::Delay(30000)});
        auto http = MakeRc<THttpRequest>();
        std::chrono::steady_clock::time_point returned;
        std::thread worker([&] {
            http->PostForm(Url(kRegistrationPath), kForm);
            returned = std::chrono::steady_clock::now();
        });
        while (Server().Requests().empty())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const auto cancelled = std::chrono::steady_clock::now();
        http->Cancel();
        worker.join();
        aState.SetIterationTime(std::chrono::duration<double>(returned - cancelled).count());
    }
    Server().Reset();
}
BENCHMARK(BM_CancelLatency)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(20);

void BM_GetToFile(benchmark::State& aState)
{
    const auto size = static_cast<size_t>(aState.range(0));
    const TScratchFolder scratch("qm-bench");
    const std::filesystem::path& folder = scratch.Path();
    auto http = MakeRc<THttpRequest>();
    for (auto _ : aState) {
        auto result = http->GetToFile(Url("/__test/bytes") + "?size=" + std::to_string(size), folder / "file.bin");
        if (!result.Ok)
            aState.SkipWithError(result.Error.c_str());
    }
    aState.SetBytesProcessed(static_cast<int64_t>(aState.iterations() * size));
    Server().Reset();
}
BENCHMARK(BM_GetToFile)->Arg(32 << 20)->Unit(benchmark::kMillisecond);

} // namespace
