// List views on the demonstration window's list: only the visible rows and
// a margin are cloned however long the list is, scrolling fills the same
// clones again, the selection stays with its row, and keys move it.
#include "DemoForm.h"

#include "Ui/Utils/DuInternal.h"
#include "Ui/Utils/DuListView.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <map>

namespace {

// Rows "Row i", optionally in groups of aPerGroup.
class TCountingAdapter : public TRcDuListViewAdapter {
public:
    int Rows = 0;
    int Groups = 0;
    int Updates = 0;
    std::vector<std::string> Changes;
    std::vector<int> DoubleClicked;

    std::string GroupTemplateName() const override { return "demo_chip_"; }
    std::string RowTemplateName() const override { return "demo_row_"; }
    int GroupCount() override { return Groups; }
    int RowCount(int, TRcDuListViewData*) override { return Rows; }
    void UpdateGroup(int aGroup, TRcDuListViewData* aData) override
    {
        aData->ChildPlugin("demo_chip_").SetText("Group " + std::to_string(aGroup));
        if (aData->FPlugin)
            aData->FPlugin.SetText("Group " + std::to_string(aGroup));
    }
    void UpdateRow(int aGroup, TRcDuListViewData*, int aRow, TRcDuListViewData* aData) override
    {
        ++Updates;
        aData->ChildPlugin("demo_row_subject_").SetText(Name(aGroup, aRow));
    }
    void RowChanged(int aOldRow, TRcDuListViewData*, int aNewRow, TRcDuListViewData* aNew) override
    {
        Changes.push_back(std::to_string(aOldRow) + "->" + std::to_string(aNewRow) + " " +
                          aNew->ChildPlugin("demo_row_subject_").GetText());
    }
    void RowDoubleClicked(int aRow, TRcDuListViewData*) override { DoubleClicked.push_back(aRow); }

    static std::string Name(int aGroup, int aRow)
    {
        return (aGroup >= 0 ? "G" + std::to_string(aGroup) + " " : std::string()) + "Row " + std::to_string(aRow);
    }
};

class DuListViewTest : public testing::Test {
protected:
    void SetUp() override
    {
        UseTestSkin();
        FForm = TDuForm::New<TDemoForm>();
        FForm->SetBounds(0, 0, 460, 420);
        FForm->Show();
        ProcessEvents();
        FAdapter = MakeRc<TCountingAdapter>();
        FListView = MakeRc<TRcDuListView>(&FForm->DuWindow(), "demo_list");
    }
    void TearDown() override
    {
        FListView->Clear();
        FListView = nullptr;
        FForm.reset();
        ProcessEvents();
    }
    QScrollArea* Area() const { return static_cast<QScrollArea*>(TDuPluginAccess::Widget(FForm->List)); }
    // The subjects the clones show, top to bottom.
    std::vector<std::string> Shown() const
    {
        std::vector<std::string> shown;
        FListView->ForEachRow([&](int, int, TRcDuListViewData* aData) {
            shown.push_back(aData->FRow < 0 ? aData->FPlugin.GetText()
                                            : aData->ChildPlugin("demo_row_subject_").GetText());
        });
        return shown;
    }
    int Visible() const
    {
        return Area()->viewport()->height() / TDuPluginAccess::Widget(FForm->RowTemplate)->sizeHint().height() + 1;
    }

    std::unique_ptr<TDemoForm> FForm;
    TRcRef<TCountingAdapter> FAdapter;
    TRcRef<TRcDuListView> FListView;
};

TEST_F(DuListViewTest, AHundredThousandRowsMakeOnlyTheVisibleClones)
{
    FAdapter->Rows = 100000;
    FListView->SetAdapter(FAdapter.Get());
    ProcessEvents();
    const int limit = Visible() + 2 * TRcDuListView::kMargin + 1;
    EXPECT_EQ(FListView->ItemCount(), 100000);
    EXPECT_GT(FListView->CloneCount(), 0);
    EXPECT_LE(FListView->CloneCount(), limit);
    EXPECT_EQ(Shown().front(), "Row 0");

    // To the end and into the middle: the same clones, filled again.
    FListView->ScrollToItem(99999);
    ProcessEvents();
    EXPECT_EQ(Shown().back(), "Row 99999");
    Area()->verticalScrollBar()->setValue(Area()->verticalScrollBar()->maximum() / 2);
    ProcessEvents();
    const auto middle = Shown();
    ASSERT_FALSE(middle.empty());
    EXPECT_NE(middle.front().find("Row 49"), std::string::npos) << middle.front();
    EXPECT_LE(FListView->CloneCount(), limit);
    EXPECT_LT(FAdapter->Updates, 200) << "only the rows that came into view are filled";
}

TEST_F(DuListViewTest, ZebraSuffixesAndReload)
{
    FAdapter->Rows = 3;
    FListView->SetZebra(true);
    FListView->SetAdapter(FAdapter.Get());
    std::vector<std::string> names, styles;
    FListView->ForEachRow([&](int, int, TRcDuListViewData* aData) {
        names.push_back(aData->FPlugin.GetName());
        styles.push_back(aData->FPlugin.GetStyle());
    });
    EXPECT_EQ(names, (std::vector<std::string>{"demo_row_1", "demo_row_2", "demo_row_3"}));
    EXPECT_EQ(styles, (std::vector<std::string>{"odd_number_zebra_crossing", "even_numbers_zebra_crossing",
                                                "odd_number_zebra_crossing"}));
    FAdapter->Rows = 2;
    FAdapter->NotifyChanged();
    EXPECT_EQ(Shown(), (std::vector<std::string>{"Row 0", "Row 1"}));
    // A reload of the same adapter fills the clones it has (each costs a
    // skin instantiation); the one left over waits, hidden.
    EXPECT_EQ(FListView->CloneCount(), 3);
    names.clear();
    FListView->ForEachRow([&](int, int, TRcDuListViewData* aData) { names.push_back(aData->FPlugin.GetName()); });
    EXPECT_EQ(names, (std::vector<std::string>{"demo_row_1", "demo_row_2"}));
    EXPECT_FALSE(FForm->GetDuPluginByName("demo_row_3").IsVisible());
}

TEST_F(DuListViewTest, SelectionStaysWithItsRowAndKeysMoveIt)
{
    FAdapter->Rows = 1000;
    FListView->SetRowSelectedStyle("demo_row_selected");
    FListView->SetAdapter(FAdapter.Get());
    ProcessEvents();
    // A click on the third row, as the skin layer reports it.
    TRcDuListViewData* third = FListView->DataByGroupAndRow(-1, 2);
    ASSERT_NE(third, nullptr);
    QTest::mouseClick(TDuPluginAccess::Widget(third->ChildPlugin("demo_row_subject_")), Qt::LeftButton);
    ProcessEvents();
    EXPECT_EQ(FAdapter->Changes, std::vector<std::string>{"-1->2 Row 2"});
    EXPECT_EQ(third->FPlugin.GetStyle(), "demo_row_selected");

    // Far away: no clone shows it, yet the selection is still row 2, and
    // no clone that now shows another row looks selected.
    FListView->ScrollToItem(900);
    ProcessEvents();
    EXPECT_EQ(FListView->DataByGroupAndRow(-1, 2), nullptr);
    ASSERT_NE(FListView->DataOfSelected(), nullptr);
    EXPECT_EQ(FListView->DataOfSelected()->FRow, 2);
    FListView->ForEachRow([](int, int, TRcDuListViewData* aData) {
        EXPECT_NE(aData->FPlugin.GetStyle(), "demo_row_selected") << aData->FRow;
    });
    FListView->ScrollToItem(0);
    ProcessEvents();
    ASSERT_NE(FListView->DataByGroupAndRow(-1, 2), nullptr);
    EXPECT_EQ(FListView->DataByGroupAndRow(-1, 2)->FPlugin.GetStyle(), "demo_row_selected");

    // Keys: the form hears the selection change, the adapter too.
    FForm->Seen.clear();
    Area()->setFocus();
    QTest::keyClick(Area(), Qt::Key_Down);
    QTest::keyClick(Area(), Qt::Key_End);
    QTest::keyClick(Area(), Qt::Key_Return);
    ProcessEvents();
    EXPECT_EQ(FListView->SelectedRow(), 999);
    EXPECT_EQ(FAdapter->Changes.back(), "3->999 Row 999");
    EXPECT_EQ(FAdapter->Changes[FAdapter->Changes.size() - 2], "2->3 Row 3");
    EXPECT_EQ(FAdapter->DoubleClicked, std::vector<int>{999});
    int selChanges = 0;
    for (const auto& seen : FForm->Seen)
        selChanges += seen.Name == "demo_list" && seen.Code == DUNM_LIST_SELCHANGE;
    EXPECT_EQ(selChanges, 2);
}

TEST_F(DuListViewTest, GroupsComeBeforeTheirRows)
{
    FAdapter->Groups = 2;
    FAdapter->Rows = 2;
    FListView->SetAdapter(FAdapter.Get());
    EXPECT_EQ(Shown(), (std::vector<std::string>{"Group 0", "G0 Row 0", "G0 Row 1", "Group 1", "G1 Row 0", "G1 Row 1"}));
    TRcDuListViewData* row = FListView->DataByGroupAndRow(1, 1);
    ASSERT_NE(row, nullptr);
    ASSERT_NE(FListView->GroupDataByRowData(row), nullptr);
    EXPECT_EQ(FListView->GroupDataByRowData(row)->FGroup, 1);
    EXPECT_EQ(FListView->DataByRowPluginChild(row->ChildPlugin("demo_row_subject_")), row);
    EXPECT_THROW(FListView->DataByRowPluginChild(FForm->ButtonOk), std::exception);
}

} // namespace
