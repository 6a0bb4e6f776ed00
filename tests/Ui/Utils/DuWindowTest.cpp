// The window bridge: the dispatch table, the mapping of the toolkit's
// signals and events to notification codes, the skin and its resources.
#include "DemoForm.h"

#include "Ui/Utils/DuInternal.h"
#include "Ui/Utils/DuSkin.h"

#include "Support/ExpectMessage.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QFontMetrics>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>

#include <cstdio>
#include <filesystem>

namespace {

// ---- the dispatch table, driven with made-up notifications ---------------

class DispatchTest : public testing::Test {
protected:
    void SetUp() override
    {
        UseTestSkin();
        Form = TDuForm::New<TDemoForm>();
    }
    void TearDown() override { Form.reset(); }

    TDirectUiNotifyEventProc Record(std::string aTag)
    {
        return [this, aTag](duPlugin aPlugin, const duNotify&) { Calls.push_back(aTag + ":" + aPlugin.GetName()); };
    }
    void Send(const char* aName, int32_t aCode)
    {
        duNotify notify;
        notify.uMsg = aCode;
        Window().DirectUiNotifyProc(Window().GetDuPluginByName(aName), notify);
    }
    TDuWindow& Window() { return Form->DuWindow(); }

    std::unique_ptr<TDemoForm> Form;
    std::vector<std::string> Calls;
};

TEST_F(DispatchTest, ExactBeatsPatternAndTheFirstPatternWins)
{
    Window().RegisterDuPluginNotifyEventForMetch("demo_radio_*", 27, Record("first"));
    Window().RegisterDuPluginNotifyEventForMetch("demo_*", 27, Record("second"));
    Window().RegisterDuPluginNotifyEventForMetch("demo_*", 13, Record("click"));
    Window().RegisterDuPluginNotifyEvent("demo_radio_2", 27, Record("exact"));

    Send("demo_radio_1", 27);
    Send("demo_radio_2", 27);
    Send("demo_radio_2", 27);   // from the cache
    Send("demo_check", 27);
    Send("demo_check", 13);
    Send("demo_check", 15);     // no handler: nothing, twice
    Send("demo_check", 15);
    EXPECT_EQ(Calls, (std::vector<std::string>{"first:demo_radio_1", "exact:demo_radio_2", "exact:demo_radio_2",
                                               "second:demo_check", "click:demo_check"}));
}

TEST_F(DispatchTest, AKeySeenWithoutHandlerReachesAHandlerRegisteredLater)
{
    Send("demo_check", 15);
    Window().RegisterDuPluginNotifyEvent("demo_check", 15, Record("exact"));
    Send("demo_check", 15);
    Send("demo_radio_1", 27);
    Window().RegisterDuPluginNotifyEventForMetch("demo_radio_*", 27, Record("pattern"));
    Send("demo_radio_1", 27);
    EXPECT_EQ(Calls, (std::vector<std::string>{"exact:demo_check", "pattern:demo_radio_1"}));
}

TEST_F(DispatchTest, TheSameExactKeyTwiceIsRefused)
{
    Window().RegisterDuPluginNotifyEvent("demo_check", 15, Record("a"));
    ExpectMessage([&] { Window().RegisterDuPluginNotifyEvent("demo_check", 15, Record("b")); }, "Duplicates not allowed");
    EXPECT_NO_THROW(Window().RegisterDuPluginNotifyEvent("demo_check", 13, Record("c")));
    EXPECT_NO_THROW(Window().RegisterDuPluginNotifyEvent("Demo_check", 15, Record("d")));
}

TEST(DirectUiNotifyKeyTest, EqualKeysHashEqualAndTheNameSeedsTheCode)
{
    const TDirectUiNotifyKey key{"warn_button_ok", 13};
    EXPECT_EQ(TDirectUiNotifyKeyHash::HashOf(key), TDirectUiNotifyKeyHash::HashOf({"warn_button_ok", 13}));
    EXPECT_NE(TDirectUiNotifyKeyHash::HashOf(key), TDirectUiNotifyKeyHash::HashOf({"warn_button_ok", 12}));
    EXPECT_NE(TDirectUiNotifyKeyHash::HashOf(key), TDirectUiNotifyKeyHash::HashOf({"Warn_button_ok", 13}));
}

// ---- the toolkit's signals and events as notification codes -------------------

TEST_F(DispatchTest, SignalsAndEventsArriveAsNotificationCodes)
{
    Form->Show();
    const duPlugin row1 = Form->DuPluginClone(Form->RowTemplate, Form->ListView, Form->RowTemplate, "1");
    const duPlugin row2 = Form->DuPluginClone(Form->RowTemplate, Form->ListView, row1, "2");
    row1.SetVisible(true);
    row2.SetVisible(true);
    ProcessEvents();
    auto widget = [&](const char* aName) { return TDuPluginAccess::Widget(Form->GetDuPluginByName(aName)); };

    const struct {
        const char* What;
        std::function<void()> Act;
        std::vector<TSeenNotify> Expected;
    } cases[] = {
        {"button", [&] { Form->ButtonOk.Click(); }, {{"demo_button_ok", 12}, {"demo_button_ok", 13}}},
        {"check box", [&] { QTest::mouseClick(widget("demo_check"), Qt::LeftButton); },
         {{"demo_check", 12}, {"demo_check", 13}, {"demo_check", 15, 1}}},
        {"radio", [&] { QTest::mouseClick(widget("demo_radio_2"), Qt::LeftButton); },
         {{"demo_radio_2", 12}, {"demo_radio_2", 13}, {"demo_radio_2", 27, 1}}},
        {"checkable button", [&] { Form->GetDuPluginByName("demo_chip_button_").Click(); },
         {{"demo_chip_button_", 12}, {"demo_chip_button_", 13}, {"demo_chip_button_", 15, 1}}},
        {"click into an edit and type",
         [&] {
             QTest::mouseClick(widget("demo_edit"), Qt::LeftButton);
             QTest::keyClick(widget("demo_edit"), Qt::Key_A);
             QTest::keyClick(widget("demo_edit"), Qt::Key_Return);
         },
         {{"demo_edit", 12}, {"demo_edit", 38}, {"demo_edit", 11}}},
        {"text set", [&] { Form->Edit.SetText("张三"); }, {{"demo_edit", 38}}},
        {"combo box", [&] { emit static_cast<QComboBox*>(widget("demo_combo"))->activated(2); }, {{"demo_combo", 16, 2}}},
        {"tab", [&] { static_cast<QTabWidget*>(widget("demo_tabs"))->setCurrentIndex(1); },
         {{"demo_tab_mail", 30, 0}, {"demo_tab_contacts", 30, 1}}},
        {"clickable label", [&] { QTest::mouseClick(widget("demo_attachment"), Qt::LeftButton); }, {{"demo_attachment", 14}}},
        {"menu item", [&] { Form->GetDuPluginByName("demo_menuitem_reply").Click(); }, {{"demo_menuitem_reply", 50}}},
        {"list row selected, then another",
         [&] {
             static_cast<QTabWidget*>(widget("demo_tabs"))->setCurrentIndex(0);
             Form->Seen.clear();
             QTest::mouseClick(widget("demo_row_subject_1"), Qt::LeftButton);
             QTest::mouseClick(widget("demo_row_2"), Qt::LeftButton);
             QTest::mouseClick(widget("demo_row_date_2"), Qt::LeftButton);   // same row: no change
         },
         {{"demo_list", 22, 0, "", "demo_row_1"}, {"demo_list", 22, 0, "demo_row_1", "demo_row_2"}}},
        {"list row double click", [&] { QTest::mouseDClick(widget("demo_row_subject_2"), Qt::LeftButton); },
         {{"demo_list", 23, 0, "demo_row_2"}}},
        {"scroll", [&] {
             auto* area = static_cast<QScrollArea*>(widget("demo_list"));
             area->verticalScrollBar()->setRange(0, 100);
             area->verticalScrollBar()->setValue(40);
         },
         {{"demo_list", 37, 40}}},
    };
    for (const auto& c : cases) {
        Form->Seen.clear();
        c.Act();
        EXPECT_EQ(Form->Seen, c.Expected) << c.What;
    }
    EXPECT_EQ(Form->List.GetSelItem(), row2);
    EXPECT_EQ(Form->Done, (std::vector<std::string>{"ok", "reply"}));
}

// ---- the skin and its resources ----------------------------------------------------

TEST(DuSkinTest, AMissingSkinFileIsNamedWithItsPath)
{
    TDuWindowManager::SetSkinFolder("/nonexistent/skin");
    ExpectMessage([] { TDuWindowManager::Load(); }, "皮肤文件(/nonexistent/skin/config.xml) 不存在");
    ExpectMessage([] { TDemoForm form; form.Create(); }, "皮肤文件(/nonexistent/skin/config.xml) 不存在");
    UseTestSkin();
    EXPECT_NO_THROW(TDuWindowManager::Load());
    EXPECT_EQ(TDuWindowManager::MessageFile(), std::filesystem::path(QUILLMAR_TEST_SKIN) / "Message.cfg");
    EXPECT_TRUE(TDuWindowManager::HasMenu("demo_menu"));
}

TEST(DuSkinTest, ExternalImagesAndTheirStretchedStyles)
{
    UseTestSkin();
    auto form = TDuForm::New<TDemoForm>();
    const std::string png = std::string(QUILLMAR_PRODUCT_SKIN) + "/images/warn.png";

    EXPECT_EQ(form->LoadExternalImage(png, true), "warn.png");
    const std::string generated = form->LoadExternalImage(png, false);
    EXPECT_EQ(generated.size(), 32u);
    EXPECT_EQ(generated.find_first_not_of("0123456789ABCDEF"), std::string::npos);
    EXPECT_EQ(form->LoadExternalImage("/nonexistent.png", true), "");

    EXPECT_EQ(form->CreateStyleForExternalImage(png, true), "warn.png_style");
    EXPECT_EQ(form->CreateStyleForExternalImage(png, true), "warn.png_style");
    EXPECT_TRUE(TDuResManager::HasStyle("warn.png_style"));
    EXPECT_EQ(form->CreateStyleForExternalImage("/nonexistent.png", true), "");

    // A file type's icon, whether or not the desktop has an icon theme.
    const std::string icon = form->LoadFileIcon("报价单.pdf");
    EXPECT_EQ(icon.size(), 32u);
    EXPECT_TRUE(TDuResManager::HasImage(icon));
    EXPECT_EQ(form->LoadFileIcon(""), "");
}

TEST(DuSkinTest, TextWidthInAStyleFollowsItsFont)
{
    UseTestSkin();
    const int title = TDuForm::GetTextWidthForStyle("demo_title", "邮件");
    const int text = TDuForm::GetTextWidthForStyle("demo_text", "邮件");
    EXPECT_GT(text, 0);
    EXPECT_GT(title, text);   // 18 pixels bold against 13
    EXPECT_NEAR(TDuForm::GetTextWidthForStyle("demo_text", "邮件邮件"), 2 * text, 1);
    EXPECT_EQ(TDuForm::GetTextWidthForStyle("demo_text", ""), 0);
}

} // namespace
