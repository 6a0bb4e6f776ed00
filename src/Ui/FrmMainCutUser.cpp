#include "FrmMainCutUser.h"

#include "Business/Account/AccountManager.h"

void TRcAccountListAdapter::UpdateRow(int aGroup, TRcDuListViewData* aGroupData, int aRow, TRcDuListViewData* aRowData)
{
    TRcDuListViewResourceAdapter::UpdateRow(aGroup, aGroupData, aRow, aRowData);
    auto* data = static_cast<TRcDuListViewResourceData*>(aRowData);
    std::string email;
    if (TAccountManager* accounts = TAccountManager::AccountManager(); accounts && data->ResPath())
        if (TRcAccount* account = accounts->GetAccount(data->ResPath()))
            email = account->Email();
    data->ChildPlugin("frmMainCutUser_name_").SetText(email);
    data->ChildPlugin("frmMainCutUser_Checked_")
        .SetChecked(FCurrent && data->ResPath() && FCurrent->Equals(data->ResPath()));
}

void TRcAccountListAdapter::RowChanged(int, TRcDuListViewData*, int, TRcDuListViewData* aNew)
{
    auto* data = dynamic_cast<TRcDuListViewResourceData*>(aNew);
    if (data && data->ResPath() && FOnChosen) {
        // The choice outlives the pop-up's rows.
        TRcRef<TRcResPath> chosen = TRcRef<TRcResPath>::Retain(data->ResPath());
        FOnChosen(chosen.Get());
    }
}

TFrmMainCutUser::TFrmMainCutUser() = default;

TFrmMainCutUser::~TFrmMainCutUser()
{
    if (FListView)
        FListView->Clear();
}

void TFrmMainCutUser::BindingDuPlugin()
{
    FListView = MakeRc<TRcDuListView>(&DuWindow(), "frmMainCutUser_listbox");
    FListView->SetRowSelectedStyle("chooser_row_selected");
    FAdapter = MakeRc<TRcAccountListAdapter>();
    FFullHeight = DuWindow().DefinedBounds().Height();
}

void TFrmMainCutUser::Popup(int aLeft, int aTop, TRcResPath* aCurrent, std::function<void(TRcResPath*)> aOnChosen)
{
    FAdapter->FCurrent = TRcRef<TRcResPath>::Retain(aCurrent);
    FAdapter->FOnChosen = [this, aOnChosen](TRcResPath* aChosen) {
        Hide();
        if (aOnChosen)
            aOnChosen(aChosen);
    };
    FAdapter->SetResType(rtAccount);
    FListView->SetAdapter(FAdapter.Get());
    FAdapter->NotifyResChanged();
    // A short list makes a short pop-up.
    const int count = FListView->ItemCount();
    const int height = count <= 3 ? FFullHeight - (120 - 29 * count) : FFullHeight;
    SetBounds(aLeft, aTop, DuWindow().DefinedBounds().Width(), height);
    ShowAsPopup(aLeft, aTop);
}
