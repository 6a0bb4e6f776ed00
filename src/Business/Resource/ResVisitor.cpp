#include "ResVisitor.h"

TResIdListVisitor::TResIdListVisitor(TRcResIdList* aResIdList)
    : FResIdList(TRcRef<TRcResIdList>::Retain(aResIdList))
{
}

int TResIdListVisitor::Count() const
{
    return FResIdList ? FResIdList->Count() : 0;
}

TRcResId* TResIdListVisitor::Current() const
{
    return FResIdList && FIndex < FResIdList->Count() ? FResIdList->GetItem(FIndex) : nullptr;
}

bool TResIdListVisitor::MoveTo(int aIndex)
{
    if (aIndex < 0 || aIndex >= Count())
        return false;
    FIndex = aIndex;
    return true;
}

bool TResPathVisitor::MoveTo(int aIndex)
{
    if (aIndex < 0 || aIndex >= Count())
        return false;
    FIndex = aIndex;
    return true;
}

TResVisitorBase::TResVisitorBase(TRcResIdList* aResIdList) : TResIdListVisitor(aResIdList)
{
    if (!FResIdList)
        FResIdList = MakeRc<TRcResIdList>();
}

void TResVisitorBase::AddResidList(IResVisitor* aResVisitor)
{
    if (!aResVisitor)
        return;
    for (int i = 0; i < aResVisitor->Count(); ++i)
        if (aResVisitor->MoveTo(i))
            FResIdList->Add(aResVisitor->Current());
}
