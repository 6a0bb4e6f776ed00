// A list view adapter over resources: the rows are what the resource
// manager lists for a path and type, and each row's data carries its path.
#pragma once

#include "DuListView.h"

#include "Business/Resource/ListOpertion.h"
#include "Business/Resource/ResPath.h"
#include "Business/Resource/ResType.h"
#include "Business/Resource/ResVisitor.h"

class TRcDuListViewResourceData : public TRcDuListViewData {
public:
    TRcResPath* ResPath() const { return FResPath.Get(); }
    void SetResPath(TRcResPath* aResPath) { FResPath = TRcRef<TRcResPath>::Retain(aResPath); }

private:
    TRcRef<TRcResPath> FResPath;
};

class TRcDuListViewResourceAdapter : public TRcDuListViewAdapter {
public:
    explicit TRcDuListViewResourceAdapter(std::string aTemplateName) : FTemplateName(std::move(aTemplateName)) {}

    TRcResPath* ResPath() const { return FResPath.Get(); }
    void SetResPath(TRcResPath* aResPath) { FResPath = TRcRef<TRcResPath>::Retain(aResPath); }
    TResType ResType() const { return FResType; }
    void SetResType(TResType aType) { FResType = aType; }
    IListOpertion* ListOpertion() const { return FListOpertion.Get(); }
    void SetListOpertion(IListOpertion* aOpertion) { FListOpertion = TRcRef<IListOpertion>::Retain(aOpertion); }
    IResVisitor* Visitor() const { return FVisitor.Get(); }

    // Lists again and reloads the list views.
    void NotifyResChanged();

    std::string RowTemplateName() const override { return FTemplateName; }
    TRcRef<TRcDuListViewData> CreateRowData() override { return MakeRc<TRcDuListViewResourceData>(); }
    int RowCount(int aGroup, TRcDuListViewData* aGroupData) override;
    // Sets the row's path; screens fill the row's children after calling it.
    void UpdateRow(int aGroup, TRcDuListViewData* aGroupData, int aRow, TRcDuListViewData* aRowData) override;

private:
    std::string FTemplateName;
    TRcRef<TRcResPath> FResPath;
    TResType FResType = rtAccount;
    TRcRef<IListOpertion> FListOpertion;
    TRcRef<TRcResPath> FCurrentResPath;
    TRcRef<IResVisitor> FVisitor;
};
