// A promotion template of 100 products with three pictures each: saving
// it (every item and picture row replaced in one transaction, as the
// template screen saves), and building its mail page.
#include "Business/Marketing/PromoteTemplateMailBuilder.h"
#include "Business/Marketing/PromotionCatalogue.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

constexpr int kProducts = 100;

struct TBenchTemplate {
    TPromotionCatalogue Catalogue{"qm-bench-promotion"};
    TRcRef<TRcPromoteTemplate> Template;
    TRcRef<TRcResPath> Path;

    TBenchTemplate()
    {
        std::vector<TPromotionCatalogue::TItemSpec> items;
        for (int i = 0; i < kProducts; ++i)
            items.push_back({Catalogue.SaveProduct("product " + std::to_string(i), "M-" + std::to_string(i), 12.5 + i,
                                                   "remarks & <notes>", {PngBytes("a"), PngBytes("b"), PngBytes("c")}),
                             {0, 1, 2}});
        Template = TRcRef<TRcPromoteTemplate>::Retain(Catalogue.NewTemplate("Bench", "Promotion"));
        Path = TRcRef<TRcResPath>::Retain(Catalogue.SaveTemplate(Template.Get(), items));
    }
};

void BM_SaveTemplateOf100Products(benchmark::State& state)
{
    TBenchTemplate bench;
    for (auto _ : state)
        benchmark::DoNotOptimize(
            TPromotionCatalogue::Templates()->SavePromoteTemplate(bench.Catalogue.Folder(), bench.Template.Get()));
}
BENCHMARK(BM_SaveTemplateOf100Products)->Unit(benchmark::kMillisecond);

void BM_BuildPageOf100Products(benchmark::State& state)
{
    TBenchTemplate bench;
    std::size_t size = 0;
    for (auto _ : state) {
        const std::string html = PromoteTemplateMailHtml(bench.Path.Get());
        size = html.size();
        benchmark::DoNotOptimize(size);
    }
    state.counters["page_bytes"] = static_cast<double>(size);
}
BENCHMARK(BM_BuildPageOf100Products)->Unit(benchmark::kMillisecond);

} // namespace
