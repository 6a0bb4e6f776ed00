#include "DuListViewGroupResourceAdapter.h"

#include "Business/Resource/ResourceManager.h"

void TListViewGroupResVisitor::AddCustomVisitor(TRcResIdList* aResIdList)
{
    if (aResIdList)
        FParts.push_back(MakeRc<TResIdListVisitor>(aResIdList));
}

void TListViewGroupResVisitor::AddCustomVisitor(IResVisitor* aVisitor)
{
    if (aVisitor)
        FParts.push_back(TRcRef<IResVisitor>::Retain(aVisitor));
}

int TListViewGroupResVisitor::Count() const
{
    int count = 0;
    for (const auto& part : FParts)
        count += part->Count();
    return count;
}

TRcResId* TListViewGroupResVisitor::Current() const
{
    return FCurrent ? FCurrent->Current() : nullptr;
}

bool TListViewGroupResVisitor::MoveTo(int aIndex)
{
    if (aIndex < 0)
        return false;
    for (const auto& part : FParts) {
        const int count = part->Count();
        if (aIndex < count) {
            if (!part->MoveTo(aIndex))
                return false;
            FCurrent = part.Get();
            return true;
        }
        aIndex -= count;
    }
    return false;
}

void TRcDuListViewGroupResourceAdapter::NotifyResChanged()
{
    BeforeloadData();
    FGroupVisitor = nullptr;
    FCurrentGroupResPath = FGroupResPath;
    FCurrentRowResType = FRowResType;
    FCurrentRowListOpertion = FRowListOpertion;
    if (!FGroupTemplateName.empty()) {
        FGroupVisitor = MakeRc<TListViewGroupResVisitor>();
        FGroupVisitor->AddCustomVisitor(FGroupTopResIdList.Get());
        if (TResourceManager* manager = TResourceManager::Instance()) {
            TRcRef<IResVisitor> groups = manager->List(FGroupResPath.Get(), FGroupResType, FGroupListOpertion.Get());
            FGroupVisitor->AddCustomVisitor(groups.Get());
        }
        FGroupVisitor->AddCustomVisitor(FGroupBottomResIdList.Get());
    }
    NotifyChanged();
    AfterloadData();
}

void TRcDuListViewGroupResourceAdapter::UpdateGroup(int aGroup, TRcDuListViewData* aData)
{
    auto* data = dynamic_cast<TRcDuListViewGroupResourceData*>(aData);
    if (!data)
        return;
    if (!FGroupVisitor || !FGroupVisitor->MoveTo(aGroup) || !FGroupVisitor->Current()) {
        data->SetResPath(nullptr);
        data->FRowResVisitor = nullptr;
        return;
    }
    TRcResId* id = FGroupVisitor->Current();
    data->SetResPath(FCurrentGroupResPath ? FCurrentGroupResPath->Append(id) : TRcResPath::CreateAndAutoRelease({id}));
    data->FRowResVisitor = RowResVisitor(aGroup, data);
}

int TRcDuListViewGroupResourceAdapter::RowCount(int, TRcDuListViewData* aGroupData)
{
    auto* data = dynamic_cast<TRcDuListViewGroupResourceData*>(aGroupData);
    return data ? data->GetRowCount() : 0;
}

void TRcDuListViewGroupResourceAdapter::UpdateRow(int aGroup, TRcDuListViewData* aGroupData, int aRow,
                                                  TRcDuListViewData* aRowData)
{
    auto* group = dynamic_cast<TRcDuListViewGroupResourceData*>(aGroupData);
    auto* row = dynamic_cast<TRcDuListViewResourceData*>(aRowData);
    if (!row)
        return;
    if (!group || !group->FRowResVisitor || !group->FRowResVisitor->MoveTo(aRow) || !group->FRowResVisitor->Current()) {
        row->SetResPath(nullptr);
        return;
    }
    row->SetResPath(RowResPath(aGroup, group, group->FRowResVisitor->Current()));
}

TRcRef<IResVisitor> TRcDuListViewGroupResourceAdapter::RowResVisitor(int, TRcDuListViewGroupResourceData* aGroupData)
{
    TResourceManager* manager = TResourceManager::Instance();
    if (!manager || !aGroupData->ResPath())
        return nullptr;
    return manager->List(aGroupData->ResPath(), FCurrentRowResType, FCurrentRowListOpertion.Get());
}

TRcResPath* TRcDuListViewGroupResourceAdapter::RowResPath(int, TRcDuListViewGroupResourceData* aGroupData,
                                                          TRcResId* aResId)
{
    return aGroupData->ResPath() ? aGroupData->ResPath()->Append(aResId) : TRcResPath::CreateAndAutoRelease({aResId});
}
