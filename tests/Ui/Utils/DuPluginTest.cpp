// Plugins: lookup, the tree, cloning templates, deleting, name patterns.
#include "DemoForm.h"

#include "Ui/Utils/DuInternal.h"

#include "Support/ExpectMessage.h"

#include <gtest/gtest.h>

#include <QBoxLayout>
#include <QWidget>

namespace {

class DuPluginTest : public testing::Test {
protected:
    void SetUp() override
    {
        UseTestSkin();
        Form = TDuForm::New<TDemoForm>();
    }
    void TearDown() override
    {
        Form.reset();
        ProcessEvents();
    }

    // Names of the plugin children, in the tree's order.
    static std::vector<std::string> ChildNames(const duPlugin& aParent)
    {
        std::vector<std::string> names;
        for (duPlugin p = aParent.GetFirstChild(); p; p = p.GetNextSibling())
            names.push_back(p.GetName());
        return names;
    }
    // Names of the widgets in a layout, in its order.
    static std::vector<std::string> LayoutNames(const duPlugin& aInside)
    {
        std::vector<std::string> names;
        QLayout* layout = LayoutHolding(TDuPluginAccess::Widget(aInside));
        for (int i = 0; layout && i < layout->count(); ++i)
            if (QWidget* w = layout->itemAt(i)->widget())
                names.push_back(w->objectName().toStdString());
        return names;
    }

    std::unique_ptr<TDemoForm> Form;
};

TEST_F(DuPluginTest, LooksPluginsUpByNameWithTheirKinds)
{
    const struct {
        const char* Name;
        const char* Kind;
    } cases[] = {
        {"demo_wnd", "window"},         {"demo_title", "label"},          {"demo_edit", "edit"},
        {"demo_button_ok", "button"},   {"demo_check", "checkbox"},       {"demo_radio_2", "radio"},
        {"demo_combo", "combobox"},     {"demo_list", "listview"},        {"demo_tabs", "tab"},
        {"demo_row_subject_", "label"}, {"demo_menuitem_reply", "menuitem"}, {"demo_moveto_menu", "menu"},
    };
    for (const auto& c : cases) {
        const duPlugin plugin = Form->GetDuPluginByName(c.Name);
        ASSERT_TRUE(plugin) << c.Name;
        EXPECT_EQ(plugin.GetName(), c.Name);
        EXPECT_EQ(plugin.GetType(), c.Kind) << c.Name;
    }
    for (const char* absent : {"demo_nothing", "", "demo_row_1", "qt_scrollarea_viewport"}) {
        EXPECT_FALSE(Form->DuWindow().FindDuPlugin(absent)) << absent;
        ExpectMessage([&] { Form->GetDuPluginByName(absent); }, std::string("不能获取插件（") + absent + "）");
    }
}

TEST_F(DuPluginTest, TreeNavigationLooksThroughTheToolkitsInnerParts)
{
    // The list's rows sit in a scroll area's viewport and content widget.
    EXPECT_EQ(Form->ListView.GetParent(), Form->List);
    EXPECT_EQ(Form->List.GetFirstChild(), Form->ListView);
    EXPECT_EQ(ChildNames(Form->ListView), std::vector<std::string>{"demo_row_"});
    EXPECT_EQ(ChildNames(Form->RowTemplate),
              (std::vector<std::string>{"demo_row_check_", "demo_row_subject_", "demo_row_date_", "demo_row_delete_"}));
    const duPlugin subject = Form->GetDuPluginByName("demo_row_subject_");
    EXPECT_EQ(subject.GetPreSibling().GetName(), "demo_row_check_");
    EXPECT_EQ(subject.GetNextSibling().GetName(), "demo_row_date_");
    EXPECT_FALSE(Form->RowTemplate.GetLastChild().GetNextSibling());
    EXPECT_FALSE(Form->RowTemplate.GetFirstChild().GetPreSibling());
    EXPECT_FALSE(Form->DuWindow().DuWindow().GetParent());
    EXPECT_FALSE(subject.GetFirstChild());
}

TEST_F(DuPluginTest, ClonesATemplateWithItsChildrenRightAfterThePreviousSibling)
{
    const duPlugin row1 = Form->DuPluginClone(Form->RowTemplate, Form->ListView, Form->RowTemplate, "1");
    const duPlugin row2 = Form->DuPluginClone(Form->RowTemplate, Form->ListView, row1, "2");
    const duPlugin row3 = Form->DuPluginClone(Form->RowTemplate, Form->ListView, Form->RowTemplate, "3");

    EXPECT_EQ(row1.GetName(), "demo_row_1");
    EXPECT_EQ(ChildNames(row1),
              (std::vector<std::string>{"demo_row_check_1", "demo_row_subject_1", "demo_row_date_1", "demo_row_delete_1"}));
    EXPECT_EQ(Form->GetDuPluginByName("demo_row_subject_2").GetText(), "询价：不锈钢餐具");
    EXPECT_EQ(Form->GetDuPluginByName("demo_row_subject_3").GetParent(), row3);
    EXPECT_EQ(row2.GetStyle(), "demo_row");
    // Clones start as their template is defined: hidden.
    EXPECT_FALSE(row1.IsVisible());
    // The same order in the tree and in the layout.
    const std::vector<std::string> order{"demo_row_", "demo_row_3", "demo_row_1", "demo_row_2"};
    EXPECT_EQ(ChildNames(Form->ListView), order);
    EXPECT_EQ(LayoutNames(row1), order);

    // A template nested in layouts, cloned first and before its last sibling.
    const duPlugin chips = Form->GetDuPluginByName("demo_chips");
    const duPlugin chipA = Form->DuPluginClone(Form->ChipTemplate, chips, {}, "a");
    const duPlugin chipB = Form->DuPluginClone(Form->ChipTemplate, chips, Form->ChipTemplate, "b");
    EXPECT_EQ(ChildNames(chips), (std::vector<std::string>{"demo_chip_a", "demo_chip_", "demo_chip_b", "demo_edit"}));
    EXPECT_EQ(LayoutNames(chipA), ChildNames(chips));
    EXPECT_TRUE(Form->DuWindow().FindDuPlugin("demo_chip_button_b"));

    // A clone of a clone extends the names again.
    const duPlugin chipBC = Form->DuPluginClone(chipB, chips, chipB, "c");
    EXPECT_EQ(chipBC.GetName(), "demo_chip_bc");
    EXPECT_EQ(chipBC.GetFirstChild().GetName(), "demo_chip_button_bc");
}

TEST_F(DuPluginTest, AFailedCloneSaysSo)
{
    const duPlugin chips = Form->GetDuPluginByName("demo_chips");
    // No template; a previous sibling that is not under the parent.
    ExpectMessage([&] { Form->DuPluginClone({}, Form->ListView, {}, "1"); }, "克隆插件失败");
    ExpectMessage([&] { Form->DuPluginClone(Form->RowTemplate, Form->ListView, Form->ChipTemplate, "1"); }, "克隆插件失败");
    EXPECT_NO_THROW(Form->DuPluginClone(Form->ChipTemplate, chips, {}, "1"));
}

TEST_F(DuPluginTest, AHandlerDeletesTheRowItWasCalledFrom)
{
    Form->Show();
    const duPlugin row = Form->DuPluginClone(Form->RowTemplate, Form->ListView, Form->RowTemplate, "7");
    row.SetVisible(true);
    const duPlugin button = Form->GetDuPluginByName("demo_row_delete_7");

    button.Click();
    // Gone from the window at once, freed once the loop runs.
    EXPECT_EQ(Form->Done, (std::vector<std::string>{"delete demo_row_7", "button still there"}));
    EXPECT_FALSE(Form->DuWindow().FindDuPlugin("demo_row_7"));
    EXPECT_FALSE(Form->DuWindow().FindDuPlugin("demo_row_delete_7"));
    EXPECT_EQ(ChildNames(Form->ListView), std::vector<std::string>{"demo_row_"});
    EXPECT_TRUE(row);
    ProcessEvents();
    EXPECT_FALSE(row);
    EXPECT_FALSE(button);

    // A new row under the same name is found, not the deleted one.
    Form->DuPluginClone(Form->RowTemplate, Form->ListView, Form->RowTemplate, "7");
    EXPECT_TRUE(Form->DuWindow().FindDuPlugin("demo_row_7"));
    EXPECT_FALSE(Form->DuPluginDelete(row));
    EXPECT_FALSE(Form->DuPluginDelete(Form->DuWindow().DuWindow()));
}

TEST_F(DuPluginTest, TextsAttributesAndGeometry)
{
    const duPlugin title = Form->GetDuPluginByName("demo_title");
    title.SetText("中文标题");
    EXPECT_EQ(title.GetText(), "中文标题");
    const duPlugin combo = Form->GetDuPluginByName("demo_combo");
    EXPECT_EQ(combo.GetItemCount(), 3);
    EXPECT_EQ(combo.GetItemText(1), "草稿箱");
    combo.SetSelectedIndex(2);
    EXPECT_EQ(combo.GetText(), "已发送");

    title.SetAttribute("address", "a@b.c");
    EXPECT_EQ(title.GetAttribute("address"), "a@b.c");
    title.SetAttributeInt("tag", 42);
    EXPECT_EQ(title.GetAttributeInt("tag"), 42);
    EXPECT_EQ(title.GetAttributeInt("missing", -5), -5);
    title.SetParam(1234);
    EXPECT_EQ(title.GetParam(), 1234);

    // A width set inside a layout stays.
    Form->ButtonOk.SetWidth(123);
    Form->Show();
    ProcessEvents();
    EXPECT_EQ(Form->ButtonOk.GetWidth(), 123);
    const TDuRect rect = Form->ButtonOk.GetRect();
    EXPECT_EQ(rect.Width(), 123);
    EXPECT_GT(rect.Left, 0);

    title.SetStyle("demo_text");
    EXPECT_EQ(title.GetStyle(), "demo_text");
    title.SetImage("tip");
    EXPECT_EQ(title.GetImage(), "tip");

    // Handles to nothing do nothing.
    const duPlugin none;
    none.SetText("x");
    EXPECT_EQ(none.GetText(), "");
    EXPECT_FALSE(none.GetParent());
}

TEST(MatchStringTest, StarStandsForAnyRun)
{
    const struct {
        const char* Pattern;
        const char* Name;
        bool Match;
    } cases[] = {
        {"row_*", "row_12", true},          {"row_*", "row_", true},        {"row_*", "row", false},
        {"*_button", "ok_button", true},    {"*_button", "ok_buttons", false}, {"a*b*c", "aXXbYYc", true},
        {"a*b*c", "aXXcYYb", false},        {"*", "", true},                {"", "", true},
        {"", "x", false},                   {"Row_*", "row_1", false},      {"a**b", "ab", true},
        {"*a*", "bab", true},               {"chip_*_edit", "chip_3_edit", true}, {"chip_*_edit", "chip_3_edit2", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MatchString(c.Pattern, c.Name), c.Match) << c.Pattern << " ~ " << c.Name;
}

} // namespace
