// Rewriting a page's "cid:" references when a mail is opened for reading
// (references become working paths) and for editing (they become file
// URLs): a newsletter-sized page of about 1 MB with many inline pictures.
#include "Business/AccountMail/MailComplex.h"
#include "Business/AccountMail/MailRaw.h"
#include "Business/Data/DataFolder.h"
#include "Business/Data/TempFileManager.h"
#include "Runtime/AutoReleasePool.h"
#include "Support/ScratchFolder.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr size_t kPageBytes = 1000 * 1000;

struct TPage {
    TScratchFolder Scratch{"qm-bench-cid"};
    std::string Html;
    std::vector<fs::path> Files;
    std::vector<std::string> Ids;

    explicit TPage(int aPictures)
    {
        for (int i = 0; i < aPictures; ++i) {
            Ids.push_back("part" + std::to_string(i) + ".06090408.01060107@example.com");
            Files.push_back(Scratch.Path() / ("picture" + std::to_string(i) + ".png"));
            std::ofstream(Files.back()) << "PNG";
        }
        // Text with every picture referenced once, in the three forms a
        // received page uses.
        const std::string filler(kPageBytes / (aPictures + 1), 'x');
        for (int i = 0; i < aPictures; ++i) {
            Html += "<p>" + filler + "</p>";
            Html += i % 3 == 0 ? "<img src=\"cid:" + Ids[i] + "\">"
                  : i % 3 == 1 ? "<img src='CID:" + Ids[i] + "'>"
                               : "<td background=cid:" + Ids[i] + ">";
        }
    }
};

void BM_ReferencesBecomeWorkingPaths(benchmark::State& aState)
{
    TRetainCountObjectAutoReleasePool pool;
    const TPage page(static_cast<int>(aState.range(0)));
    auto files = MakeRc<TRcMailComplexHtmlFileList>();
    for (size_t i = 0; i < page.Files.size(); ++i) {
        auto file = MakeRc<TRcMailComplexHtmlFile>();
        file->FFileName = page.Files[i];
        file->FRealFileName = page.Files[i].filename().string();
        file->FContentId = "<" + page.Ids[i] + ">";
        files->Add(file.Get());
    }
    for (auto _ : aState)
        benchmark::DoNotOptimize(TRcMailComplex::MakeNoCidHtmlString(page.Html, files.Get()));
    aState.SetBytesProcessed(static_cast<int64_t>(aState.iterations() * page.Html.size()));
}
BENCHMARK(BM_ReferencesBecomeWorkingPaths)->Arg(20)->Arg(200)->Arg(2000)->Unit(benchmark::kMillisecond);

void BM_ReferencesBecomeFileUrls(benchmark::State& aState)
{
    TRetainCountObjectAutoReleasePool pool;
    const TPage page(static_cast<int>(aState.range(0)));
    SetCurrentDataPath(page.Scratch.Path());
    TTempFileManager::BuildInstance();
    auto raw = MakeRc<TRcMailRaw>();
    raw->Builder().Html = page.Html;
    for (size_t i = 0; i < page.Files.size(); ++i) {
        TIdMessageBuilderAttachment picture;
        picture.FileName = page.Files[i];
        picture.ContentID = "<" + page.Ids[i] + ">";
        raw->Builder().HtmlFiles.push_back(picture);
    }
    for (auto _ : aState)
        benchmark::DoNotOptimize(raw->BuilderToIndexHtmlString());
    aState.SetBytesProcessed(static_cast<int64_t>(aState.iterations() * page.Html.size()));
    raw = nullptr;
    TTempFileManager::ReleaseInstance();
}
BENCHMARK(BM_ReferencesBecomeFileUrls)->Arg(20)->Arg(200)->Arg(2000)->Unit(benchmark::kMillisecond);

} // namespace
