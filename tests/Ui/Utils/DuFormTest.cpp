// Forms: construction from the skin, centring, the delayed-runable queue on
// the GUI thread, date texts, and every bound plugin present in its skin.
#include "DemoForm.h"

#include "Ui/Utils/DuSkin.h"
#include "Ui/Utils/WarnWnd.h"

#include "Support/ExpectMessage.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QThread>

#include <cstdlib>
#include <filesystem>
#include <thread>

namespace {

TEST(DuFormTest, AScreenMustBindAndRegister)
{
    UseTestSkin();
    struct TNoBinding : TDuForm {
        std::string GetDuWindowName() const override { return "demo_wnd"; }
    };
    struct TNoRegistration : TNoBinding {
        void BindingDuPlugin() override {}
    };
    ExpectMessage([] { TDuForm::New<TNoBinding>(); }, "必须重载BindingDuPlugin方法");
    ExpectMessage([] { TDuForm::New<TNoRegistration>(); }, "必须重载RegisterDuPlugin方法");
}

TEST(DuFormTest, TheWindowNameFallsBackToTheFormsNameThenItsClass)
{
    UseTestSkin();
    struct demo_wnd : TDuForm {
        void BindingDuPlugin() override {}
        void RegisterDuPlugin() override {}
    };
    EXPECT_EQ(TDuForm::New<demo_wnd>()->DuWindow().WinName(), "demo_wnd");
    struct TUnnamed : demo_wnd {};
    auto named = std::make_unique<TUnnamed>();
    named->SetFormName("demo_wnd");
    named->Create();
    EXPECT_EQ(named->DuWindow().DuWindow().GetName(), "demo_wnd");
    ExpectMessage([] { TDuForm::New<TUnnamed>(); }, "不能获取插件（TUnnamed）");
}

TEST(DuFormTest, MinusOneCentresOnTheScreen)
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    UseTestSkin();
    auto demo = TDuForm::New<TDemoForm>();   // left -1, top 40, 460 × 420
    EXPECT_EQ(demo->Left(), screen.x() + (screen.width() - 460) / 2);
    EXPECT_EQ(demo->Top(), 40);
    EXPECT_EQ(demo->Width(), 460);
    EXPECT_EQ(demo->Height(), 420);
    UseProductSkin();
    TFrmwarnWnd& box = TFrmwarnWnd::Instance();   // -1, -1, 360 × 170
    EXPECT_EQ(box.Left(), screen.x() + (screen.width() - 360) / 2);
    EXPECT_EQ(box.Top(), screen.y() + (screen.height() - 170) / 2);
    TFrmwarnWnd::FreeInstance();
}

TEST(DuFormTest, EveryPluginAWindowBindsOrRegistersIsInItsSkin)
{
    // Creating a form binds its plugins (a missing one fails); what it
    // registers exactly must be there too, or among the skin's menu items.
    UseProductSkin();
    EXPECT_EQ(TFrmwarnWnd::Instance().DuWindow().UnknownRegisteredNames(), std::vector<std::string>{});
    TFrmwarnWnd::FreeInstance();
    UseTestSkin();
    EXPECT_EQ(TDuForm::New<TDemoForm>()->DuWindow().UnknownRegisteredNames(), std::vector<std::string>{});

    struct TStray : TDemoForm {
        void RegisterDuPlugin() override
        {
            TDemoForm::RegisterDuPlugin();
            RegisterDuPluginNotifyEvent("demo_nowhere", DUNM_CLICK, {});
        }
    };
    EXPECT_EQ(TDuForm::New<TStray>()->DuWindow().UnknownRegisteredNames(), std::vector<std::string>{"demo_nowhere"});
}

TEST(DuFormTest, DelayedRunablesFromAWorkerRunOnTheGuiThreadInOrder)
{
    UseTestSkin();
    auto form = TDuForm::New<TDemoForm>();
    std::vector<std::string> ran;
    std::vector<bool> onGui;
    std::thread worker([&] {
        for (const char* name : {"A", "B", "C"})
            form->AppendDelayBlock([&, name] {
                ran.push_back(name);
                onGui.push_back(QThread::currentThread() == QCoreApplication::instance()->thread());
            });
    });
    worker.join();
    EXPECT_TRUE(ran.empty());
    ProcessEvents();
    EXPECT_EQ(ran, (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(onGui, (std::vector<bool>{true, true, true}));

    // What is still queued when the form goes runs then.
    form->AppendDelayBlock([&] { ran.push_back("last"); });
    form.reset();
    EXPECT_EQ(ran.back(), "last");
    ProcessEvents();   // the pending wake-up finds no form and does nothing
    EXPECT_EQ(ran.size(), 4u);
}

TEST(DuFormTest, DateTexts)
{
    const TDateTime now = EncodeDateTime({2024, 3, 15, 14, 30, 0});
    const struct {
        TDateTimeParts Date;
        const char* Text;
    } cases[] = {
        {{2024, 3, 15, 9, 5, 0}, "今天 9:5"},
        {{2024, 3, 15, 0, 0, 0}, "今天 0:0"},
        {{2024, 3, 14, 23, 59, 0}, "昨天 23:59"},
        {{2024, 3, 13, 8, 0, 0}, "3月13日"},
        {{2024, 2, 14, 8, 0, 0}, "2月14日"},
        {{2024, 3, 16, 8, 0, 0}, "3月16日"},
        {{2023, 3, 15, 9, 5, 0}, "2023年3月15日"},
        {{2025, 1, 2, 9, 5, 0}, "2025年1月2日"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GetgoodStringOfDate(EncodeDateTime(c.Date), now), c.Text) << c.Text;
    // On the first of a month the day before is a date, not yesterday.
    const TDateTime first = EncodeDateTime({2024, 3, 1, 10, 0, 0});
    EXPECT_EQ(GetgoodStringOfDate(EncodeDateTime({2024, 2, 29, 20, 15, 0}), first), "2月29日");
    EXPECT_EQ(GetgoodStringOfDate(0, now), "");
}

TEST(DuFormTest, TheDemonstrationWindowRendersItsChineseText)
{
    UseTestSkin();
    auto form = TDuForm::New<TDemoForm>();
    for (int i = 1; i <= 3; ++i) {
        duPlugin prev = form->ListView.GetLastChild();
        duPlugin row = form->DuPluginClone(form->RowTemplate, form->ListView, prev, std::to_string(i));
        form->GetDuPluginByName("demo_row_subject_" + std::to_string(i))
            .SetText(std::vector<std::string>{"询价：不锈钢餐具", "回复：样品已寄出", "订单确认 #2024-118"}[i - 1]);
        form->GetDuPluginByName("demo_row_date_" + std::to_string(i))
            .SetText(GetgoodStringOfDate(EncodeDateTime({2024, 3, 16 - i, 9, 5, 0}), EncodeDateTime({2024, 3, 15, 12, 0, 0})));
        row.SetVisible(true);
    }
    form->GetDuPluginByName("demo_row_2").SetStyle("demo_row_selected");
    form->DuPluginClone(form->ChipTemplate, form->GetDuPluginByName("demo_chips"), {}, "1").SetVisible(true);
    form->Edit.SetText("lisi@example.com");
    form->Show();
    ProcessEvents();

    const char* dir = std::getenv("QUILLMAR_SCREENSHOT_DIR");
    const std::filesystem::path file =
        std::filesystem::path(dir ? dir : std::filesystem::temp_directory_path().string()) / "quillmar-demo-wnd.png";
    ASSERT_TRUE(form->SaveScreenshot(file));
    const QImage shot(QString::fromStdString(file.string()));
    EXPECT_EQ(shot.width(), 460);
    // The title's glyphs: dark blue ink on the light background.
    const duPlugin title = form->GetDuPluginByName("demo_title");
    const TDuRect r = title.GetRect();
    int ink = 0;
    for (int y = r.Top; y < r.Bottom; ++y)
        for (int x = r.Left; x < r.Right; ++x)
            if (qBlue(shot.pixel(x, y)) > qRed(shot.pixel(x, y)) + 60)
                ++ink;
    EXPECT_GT(ink, 100);
    if (!dir)
        std::filesystem::remove(file);
}

} // namespace
