// The grid: items in as many columns as the view holds, found by index, by
// plugin and by a child of theirs.
#include "DemoForm.h"

#include "Ui/Utils/DuScrollContainer.h"

#include <gtest/gtest.h>

namespace {

class TGridForm : public TDuForm {
protected:
    std::string GetDuWindowName() const override { return "grid_wnd"; }
    void BindingDuPlugin() override {}
    void RegisterDuPlugin() override {}
};

class TTiles : public TRcDuScrollContainerAdapter {
public:
    int Count = 7;
    std::string ItemTemplateName() const override { return "grid_tile_"; }
    int ItemCount() override { return Count; }
    void UpdateItem(int aIndex, TRcDuScrollContainerData* aData) override
    {
        aData->ChildPlugin("grid_tile_text_").SetText(std::to_string(aIndex + 1));
    }
};

TEST(DuScrollContainerTest, SevenItemsInThreeColumnsMakeThreeRows)
{
    UseTestSkin();
    auto form = TDuForm::New<TGridForm>();
    form->Show();
    auto grid = MakeRc<TRcDuScrollContainer>(&form->DuWindow(), "grid_area");
    auto tiles = MakeRc<TTiles>();
    grid->SetAdapter(tiles.Get());
    EXPECT_EQ(grid->Columns(), 3);   // 300 / (90 + 10)
    EXPECT_EQ(grid->Rows(), 3);
    TRcDuScrollContainerData* seventh = grid->DataByItem(6);
    ASSERT_NE(seventh, nullptr);
    EXPECT_EQ(seventh->ChildPlugin("grid_tile_text_").GetText(), "7");
    EXPECT_EQ(seventh->FPlugin.GetLeft(), 0);
    EXPECT_EQ(seventh->FPlugin.GetTop(), 2 * (60 + 8));
    EXPECT_EQ(grid->DataByItem(4)->FPlugin.GetLeft(), 100);
    EXPECT_EQ(grid->DataByItemPluginChild(seventh->ChildPlugin("grid_tile_text_")), seventh);
    EXPECT_EQ(grid->DataByPlugin(seventh->FPlugin), seventh);
    EXPECT_EQ(grid->SelectedData(), seventh);

    tiles->Count = 2;
    grid->ReLoad();
    EXPECT_EQ(grid->Rows(), 1);
    EXPECT_EQ(grid->DataByItem(2), nullptr);
    grid->Clear();
}

} // namespace
