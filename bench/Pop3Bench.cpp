// Receiving a 50 MB message from a local Dovecot (plain and implicit TLS),
// and how long a cancel from another thread takes to end such a RETR.
#include "Business/Server/Mail/Pop3Client.h"
#include "Business/Server/Mail/TransportErrors.h"
#include "Support/DovecotServer.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <future>

namespace {

constexpr const char* kUser = "bench";
constexpr const char* kPassword = "bench";

TDovecotServer& Server()
{
    static TDovecotServer* const server = [] {
        static TDovecotServer instance;
        instance.AddUser(kUser, kPassword);
        std::string message = "Subject: big\r\nContent-Type: application/octet-stream\r\n\r\n";
        const std::string line = std::string(76, 'Q') + "\r\n";
        while (message.size() < (50u << 20))
            message += line;
        instance.Deliver(kUser, message);
        return &instance;
    }();
    return *server;
}

TTransportSettings Settings(TTlsMode aMode)
{
    TTransportSettings settings;
    settings.Host = "localhost";
    settings.Port = aMode == tlsmImplicit ? Server().TlsPort() : Server().PlainPort();
    settings.TlsMode = aMode;
    settings.CaFile = Server().Certificate().CertFile;
    settings.ConnectTimeout = std::chrono::seconds(5);
    settings.IdleTimeout = std::chrono::seconds(30);
    return settings;
}

// Arg: 0 plain, 1 implicit TLS.
void BM_Retr50Mb(benchmark::State& aState)
{
    const TTlsMode mode = aState.range(0) ? tlsmImplicit : tlsmNone;
    int64_t bytes = 0;
    for (auto _ : aState) {
        TPop3Client client(Settings(mode));
        client.Connect(kUser, kPassword);
        client.Retrieve(1, [&](std::string_view aData) { bytes += static_cast<int64_t>(aData.size()); });
        client.Disconnect();
    }
    aState.SetBytesProcessed(bytes);
    aState.SetLabel(mode == tlsmImplicit ? "implicit TLS" : "plain");
}
BENCHMARK(BM_Retr50Mb)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The time from Cancel to the end of the RETR it interrupts (1 MB in).
void BM_CancelRetr(benchmark::State& aState)
{
    const TTlsMode mode = aState.range(0) ? tlsmImplicit : tlsmNone;
    for (auto _ : aState) {
        TPop3Client client(Settings(mode));
        client.Connect(kUser, kPassword);
        std::promise<void> started;
        auto retr = std::async(std::launch::async, [&] {
            size_t received = 0;
            client.Retrieve(1, [&](std::string_view aData) {
                const size_t before = received;
                received += aData.size();
                if (before < (1u << 20) && received >= (1u << 20))
                    started.set_value();
            });
        });
        started.get_future().wait();
        const auto start = std::chrono::steady_clock::now();
        client.Cancel();
        try {
            retr.get();
            aState.SkipWithError("RETR ended without the cancel");
        } catch (const ETransportCancelled&) {
        }
        aState.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    aState.SetLabel(mode == tlsmImplicit ? "implicit TLS" : "plain");
}
BENCHMARK(BM_CancelRetr)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->UseManualTime()->Iterations(20);

} // namespace
