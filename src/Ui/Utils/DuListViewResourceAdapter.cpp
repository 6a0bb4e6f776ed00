#include "DuListViewResourceAdapter.h"

#include "Business/Resource/ResourceManager.h"

void TRcDuListViewResourceAdapter::NotifyResChanged()
{
    BeforeloadData();
    FVisitor = nullptr;
    FCurrentResPath = FResPath;
    if (TResourceManager* manager = TResourceManager::Instance())
        FVisitor = manager->List(FResPath.Get(), FResType, FListOpertion.Get());
    NotifyChanged();
    AfterloadData();
}

int TRcDuListViewResourceAdapter::RowCount(int, TRcDuListViewData*)
{
    return FVisitor ? FVisitor->Count() : 0;
}

void TRcDuListViewResourceAdapter::UpdateRow(int, TRcDuListViewData*, int aRow, TRcDuListViewData* aRowData)
{
    auto* data = dynamic_cast<TRcDuListViewResourceData*>(aRowData);
    if (!data)
        return;
    if (!FVisitor || !FVisitor->MoveTo(aRow) || !FVisitor->Current()) {
        data->SetResPath(nullptr);
        return;
    }
    TRcResId* id = FVisitor->Current();
    data->SetResPath(FCurrentResPath ? FCurrentResPath->Append(id) : TRcResPath::CreateAndAutoRelease({id}));
}
