// Peak resident memory of putting a 25 MB attachment on the file server
// (the fake maker's server, in this process, which writes what it gets to
// disk as it comes): the figure is the rise of the process's peak (VmHWM)
// over its resident size just before the upload, the peak reset first, as
// the mail-complex benchmark measures it.
#include "Business/Server/Norvel/FileServerUploader.h"
#include "PeakMemory.h"
#include "FakeMakerServer.h"
#include "Support/ScratchFolder.h"
#include "Support/Sha256.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr uint64_t kAttachmentBytes = 25u * 1000 * 1000;

void BM_BigAttachmentUpload25MB(benchmark::State& state)
{
    const TScratchFolder scratch("qm-bench-upload");
    const fs::path file = scratch.Path() / "catalogue.zip";
    WritePatternFile(file, kAttachmentBytes);
    TFakeMakerServer server;
    server.Start();
    const std::string address = "127.0.0.1:" + std::to_string(server.Port()) + "/fileServer";
    double peak = 0;
    for (auto _ : state) {
        auto uploader = MakeRc<TRcFileServerUploader>();
        const int64_t base = ResetPeak();
        const std::string reply = uploader->UploadFile(address, IFileServerUploader::kRemoteFolder, file, {});
        peak = std::max(peak, (StatusKiB("VmHWM") - base) / 1024.0);
        if (reply.empty()) {
            state.SkipWithError(uploader->GetLastErrorMessage().c_str());
            break;
        }
        server.Reset();
    }
    state.counters["upload_peak_MiB"] = peak;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kAttachmentBytes));
}
BENCHMARK(BM_BigAttachmentUpload25MB)->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace
