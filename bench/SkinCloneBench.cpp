// Cloning row templates: what a list of 10,000 mails costs the skin layer.
#include "Ui/Utils/DuForm.h"
#include "Ui/Utils/DuSkin.h"

#include <benchmark/benchmark.h>

#include <QApplication>

#include <cstdlib>
#include <memory>
#include <string>

namespace {

class TListForm : public TDuForm {
public:
    duPlugin ListView, RowTemplate;

protected:
    std::string GetDuWindowName() const override { return "demo_wnd"; }
    void BindingDuPlugin() override
    {
        ListView = GetDuPluginByName("demo_list_view");
        RowTemplate = GetDuPluginByName("demo_row_");
    }
    void RegisterDuPlugin() override {}
};

void CloneRows(benchmark::State& aState, bool aShown)
{
    const int rows = static_cast<int>(aState.range(0));
    for (auto _ : aState) {
        aState.PauseTiming();
        auto form = TDuForm::New<TListForm>();
        if (aShown)
            form->Show();
        aState.ResumeTiming();

        duPlugin prev = form->RowTemplate;
        for (int i = 1; i <= rows; ++i) {
            prev = form->DuPluginClone(form->RowTemplate, form->ListView, prev, std::to_string(i));
            if (aShown)
                prev.SetVisible(true);
        }
        if (aShown)
            QCoreApplication::processEvents();   // the layout of all rows

        aState.PauseTiming();
        form.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        aState.ResumeTiming();
    }
    aState.SetItemsProcessed(aState.iterations() * rows);
}

void BM_CloneRowTemplates(benchmark::State& aState)
{
    CloneRows(aState, false);
}
void BM_CloneRowTemplatesShown(benchmark::State& aState)
{
    CloneRows(aState, true);
}

BENCHMARK(BM_CloneRowTemplates)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CloneRowTemplatesShown)->Arg(2000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    TDuWindowManager::SetSkinFolder(QUILLMAR_DEMO_SKIN);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
