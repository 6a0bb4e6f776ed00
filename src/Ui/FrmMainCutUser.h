// The account chooser: a pop-up under the main window's switch button
// listing every account, the current one checked. Choosing a row hands its
// account's path to the caller and closes the pop-up; a click elsewhere
// closes it without a choice. It runs no loop of its own.
#pragma once

#include "Ui/Utils/DuForm.h"
#include "Ui/Utils/DuListView.h"
#include "Ui/Utils/DuListViewResourceAdapter.h"

#include "Business/Resource/ResPath.h"

#include <functional>

// The rows: every account the resource manager lists.
class TRcAccountListAdapter : public TRcDuListViewResourceAdapter {
public:
    TRcAccountListAdapter() : TRcDuListViewResourceAdapter("frmMainCutUser_item_") {}

    TRcRef<TRcResPath> FCurrent;
    std::function<void(TRcResPath*)> FOnChosen;

    void UpdateRow(int aGroup, TRcDuListViewData* aGroupData, int aRow, TRcDuListViewData* aRowData) override;
    void RowChanged(int aOldRow, TRcDuListViewData* aOld, int aNewRow, TRcDuListViewData* aNew) override;
};

class TFrmMainCutUser : public TDuForm {
public:
    static constexpr const char* kWindowName = "frmMainCutUser";

    TFrmMainCutUser();
    ~TFrmMainCutUser() override;

    // Shows the accounts at that screen position; aOnChosen hears the chosen
    // account's path (never for a click outside).
    void Popup(int aLeft, int aTop, TRcResPath* aCurrent, std::function<void(TRcResPath*)> aOnChosen);
    TRcDuListView* ListView() const { return FListView.Get(); }

protected:
    std::string GetDuWindowName() const override { return kWindowName; }
    void BindingDuPlugin() override;
    void RegisterDuPlugin() override {}

private:
    TRcRef<TRcDuListView> FListView;
    TRcRef<TRcAccountListAdapter> FAdapter;
    int FFullHeight = 0;
};
