// A list view adapter over resources in groups: the groups are what the
// resource manager lists for a path (with pseudo groups of fixed ids before
// and after them), the rows of each group what it lists under the group's
// path.
#pragma once

#include "DuListViewResourceAdapter.h"

#include "Business/Resource/ResId.h"

#include <vector>

// Visitors and identifier lists one after the other, as one visitor.
class TListViewGroupResVisitor : public TRcObject, public IResVisitor {
public:
    void AddCustomVisitor(TRcResIdList* aResIdList);
    void AddCustomVisitor(IResVisitor* aVisitor);

    int Count() const override;
    TRcResId* Current() const override;
    bool MoveTo(int aIndex) override;
    bool IsCountChangeAble() const override { return false; }
    void SetOnCountChangedListener(IResVisitor_OnCountChangedListener*) override {}

private:
    std::vector<TRcRef<IResVisitor>> FParts;
    IResVisitor* FCurrent = nullptr;
};

class TRcDuListViewGroupResourceData : public TRcDuListViewResourceData {
public:
    TRcRef<IResVisitor> FRowResVisitor;
    int GetRowCount() const { return FRowResVisitor ? FRowResVisitor->Count() : 0; }
};

class TRcDuListViewGroupResourceAdapter : public TRcDuListViewAdapter {
public:
    TRcDuListViewGroupResourceAdapter(std::string aGroupTemplateName, std::string aRowTemplateName)
        : FGroupTemplateName(std::move(aGroupTemplateName)), FRowTemplateName(std::move(aRowTemplateName))
    {
    }

    void SetGroupResPath(TRcResPath* aPath) { FGroupResPath = TRcRef<TRcResPath>::Retain(aPath); }
    void SetGroupResType(TResType aType) { FGroupResType = aType; }
    void SetGroupListOpertion(IListOpertion* aOpertion) { FGroupListOpertion = TRcRef<IListOpertion>::Retain(aOpertion); }
    void SetRowResType(TResType aType) { FRowResType = aType; }
    void SetRowListOpertion(IListOpertion* aOpertion) { FRowListOpertion = TRcRef<IListOpertion>::Retain(aOpertion); }
    // Pseudo groups shown before and after the real ones.
    void SetGroupTopResIdList(TRcResIdList* aList) { FGroupTopResIdList = TRcRef<TRcResIdList>::Retain(aList); }
    void SetGroupBottomResIdList(TRcResIdList* aList) { FGroupBottomResIdList = TRcRef<TRcResIdList>::Retain(aList); }

    // Lists the groups again and reloads the list views.
    void NotifyResChanged();

    std::string GroupTemplateName() const override { return FGroupTemplateName; }
    std::string RowTemplateName() const override { return FRowTemplateName; }
    TRcRef<TRcDuListViewData> CreateGroupData() override { return MakeRc<TRcDuListViewGroupResourceData>(); }
    TRcRef<TRcDuListViewData> CreateRowData() override { return MakeRc<TRcDuListViewResourceData>(); }
    int GroupCount() override { return FGroupVisitor ? FGroupVisitor->Count() : 0; }
    void UpdateGroup(int aGroup, TRcDuListViewData* aData) override;
    int RowCount(int aGroup, TRcDuListViewData* aGroupData) override;
    void UpdateRow(int aGroup, TRcDuListViewData* aGroupData, int aRow, TRcDuListViewData* aRowData) override;

protected:
    // The rows of a group: by default what the resource manager lists under
    // the group's path.
    virtual TRcRef<IResVisitor> RowResVisitor(int aGroup, TRcDuListViewGroupResourceData* aGroupData);
    virtual TRcResPath* RowResPath(int aGroup, TRcDuListViewGroupResourceData* aGroupData, TRcResId* aResId);

private:
    std::string FGroupTemplateName, FRowTemplateName;
    TRcRef<TRcResPath> FGroupResPath;
    TResType FGroupResType = rtAccountMailFolder;
    TRcRef<IListOpertion> FGroupListOpertion;
    TResType FRowResType = rtAccountMail;
    TRcRef<IListOpertion> FRowListOpertion;
    TRcRef<TRcResPath> FCurrentGroupResPath;
    TResType FCurrentRowResType = rtAccountMail;
    TRcRef<IListOpertion> FCurrentRowListOpertion;
    TRcRef<TListViewGroupResVisitor> FGroupVisitor;
    TRcRef<TRcResIdList> FGroupTopResIdList, FGroupBottomResIdList;
};
