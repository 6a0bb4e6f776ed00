// Peak resident memory of the mail-complex round trip with a 50 MB
// attachment: split a received message into parts, store them, load them
// back and rebuild the message. Each step's figure is the rise of the
// process's peak (VmHWM) over its resident size just before the step, with
// the peak reset in between, so an earlier step cannot hide a later one.
#include "Business/AccountMail/MailComplex.h"
#include "PeakMemory.h"
#include "Business/AccountMail/SqliteDbMail.h"
#include "Business/Data/DataFolder.h"
#include "Business/Data/Databases.h"
#include "Business/Data/SqliteDatabase.h"
#include "Business/Data/TempFileManager.h"
#include "Runtime/AutoReleasePool.h"
#include "Support/ScratchFolder.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr size_t kAttachmentBytes = 50u * 1000 * 1000;

// A message written piece by piece, so making it costs no memory: an HTML
// part and a base64 attachment of incompressible bytes.
void WriteLargeMessage(const fs::path& aPath)
{
    std::ofstream out(aPath, std::ios::binary);
    out << "From: buyer@example.com\r\nTo: sales@example.com\r\nSubject: big order\r\n"
           "Message-ID: <big@example.com>\r\nMIME-Version: 1.0\r\n"
           "Content-Type: multipart/mixed; boundary=\"b1\"\r\n\r\n"
           "--b1\r\nContent-Type: text/html; charset=utf-8\r\n\r\n<p>see the drawings</p>\r\n"
           "--b1\r\nContent-Type: application/octet-stream; name=\"drawings.bin\"\r\n"
           "Content-Disposition: attachment; filename=\"drawings.bin\"\r\n"
           "Content-Transfer-Encoding: base64\r\n\r\n";
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::mt19937 random(7);
    std::string line(76, 'A');
    for (size_t written = 0; written < kAttachmentBytes; written += 57) {
        for (char& c : line)
            c = kAlphabet[random() & 63];
        out << line << "\r\n";
    }
    out << "--b1--\r\n";
}

void BM_MailComplexRoundTrip50MB(benchmark::State& state)
{
    const TScratchFolder scratch("qm-bench-complex");
    const fs::path& data = scratch.Path();
    SetCurrentDataPath(data);
    TTempFileManager::BuildInstance();
    const fs::path eml = data / "big.eml";
    WriteLargeMessage(eml);
    const fs::path mails = data / "acc" / "Mails";
    double peaks[4] = {0, 0, 0, 0};
    int runs = 0;
    {
        auto db = CreateAccountDatabase(data / "acc" / "Account.db");
        for (auto _ : state) {
            TRetainCountObjectAutoReleasePool pool;
            auto step = [&](int aIndex, auto&& aWork) {
                const int64_t base = ResetPeak();
                aWork();
                peaks[aIndex] = std::max(peaks[aIndex], (StatusKiB("VmHWM") - base) / 1024.0);
            };
            TRcMailComplex* complex = TRcMailComplex::CreateAndAutoRelease();
            complex->Raw()->FFileName = eml;
            step(0, [&] { complex->BuildOther(); });
            if (complex->AttachmentFileList()->Count() != 1 ||
                complex->AttachmentFileList()->AllSize() < static_cast<int64_t>(kAttachmentBytes)) {
                state.SkipWithError("the attachment was not split out whole");
                break;
            }
            step(1, [&] { TSqliteDbMail::SaveMailComplex(*db, mails, "mail-" + std::to_string(runs), *complex); });
            TRcMailComplex* loaded = nullptr;
            step(2, [&] { loaded = TSqliteDbMail::LoadMailComplex(*db, mails, "mail-" + std::to_string(runs)); });
            step(3, [&] { loaded->BuildRaw(); });
            if (loaded->AttachmentFileList()->AllSize() != complex->AttachmentFileList()->AllSize() ||
                loaded->Raw()->Size() < static_cast<int64_t>(kAttachmentBytes)) {
                state.SkipWithError("the stored mail did not come back whole");
                break;
            }
            ++runs;
        }
    }
    state.counters["split_peak_MiB"] = peaks[0];
    state.counters["save_peak_MiB"] = peaks[1];
    state.counters["load_peak_MiB"] = peaks[2];
    state.counters["rebuild_peak_MiB"] = peaks[3];
    TTempFileManager::ReleaseInstance();
}
BENCHMARK(BM_MailComplexRoundTrip50MB)->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace
