// Visitors: cursors over the identifiers of the children a listing found.
// A visitor is a snapshot taken when it is made; a screen that hears of a
// change asks for a new one. Use: for i in [0, Count): MoveTo(i), Current().
#pragma once

#include "ResPath.h"
#include "Runtime/RcRef.h"

class IResVisitor;

// No visitor reports count changes; the listener is accepted and ignored.
class IResVisitor_OnCountChangedListener : public virtual IRcInterface {
public:
    virtual void OnCountChanged(IResVisitor* aVisitor) = 0;
};

class IResVisitor : public virtual IRcInterface {
public:
    virtual int Count() const = 0;
    // The identifier at the position, not retained; nullptr when empty.
    virtual TRcResId* Current() const = 0;
    // False, with the position unchanged, outside [0, Count).
    virtual bool MoveTo(int aIndex) = 0;
    virtual bool IsCountChangeAble() const = 0;
    virtual void SetOnCountChangedListener(IResVisitor_OnCountChangedListener* aListener) = 0;
};

// A visitor over a list of identifiers (retained; may be nil).
class TResIdListVisitor : public TRcObject, public IResVisitor {
public:
    explicit TResIdListVisitor(TRcResIdList* aResIdList);

    int Count() const override;
    TRcResId* Current() const override;
    bool MoveTo(int aIndex) override;
    bool IsCountChangeAble() const override { return false; }
    void SetOnCountChangedListener(IResVisitor_OnCountChangedListener*) override {}

protected:
    TRcRef<TRcResIdList> FResIdList;
    int FIndex = 0;
};

// A visitor over a single path: one identifier, the path's last.
class TResPathVisitor : public TRcObject, public IResVisitor {
public:
    explicit TResPathVisitor(TRcResPath* aResPath) : FResPath(TRcRef<TRcResPath>::Retain(aResPath)) {}

    int Count() const override { return FResPath ? 1 : 0; }
    TRcResId* Current() const override { return FResPath && FIndex == 0 ? FResPath->Last() : nullptr; }
    bool MoveTo(int aIndex) override;
    bool IsCountChangeAble() const override { return false; }
    void SetOnCountChangedListener(IResVisitor_OnCountChangedListener*) override {}

private:
    TRcRef<TRcResPath> FResPath;
    int FIndex = 0;
};

// A visitor that screens fill themselves.
class TResVisitorBase : public TResIdListVisitor {
public:
    // Holds aResIdList, or a new empty list when it is nil.
    explicit TResVisitorBase(TRcResIdList* aResIdList = nullptr);

    int Add(TRcResId* aResId) { return FResIdList->Add(aResId); }
    int Remove(TRcResId* aResId) { return FResIdList->Remove(aResId); }
    void AddResidList(const TRcResIdList* aResIdList) { FResIdList->AddList(aResIdList); }
    // Every identifier aResVisitor yields, in its order.
    void AddResidList(IResVisitor* aResVisitor);
};
