// The one entry point to the product groups: what the product screens
// call, and whom they hear from when the groups change. A group is named
// by a path whose first element is the group (type rtProductGroup).
#pragma once

#include <string>

#include "ProductGroup.h"
#include "Runtime/Observable.h"
#include "Runtime/Singleton.h"

class IProductGroupObserver : public virtual IRcInterface {
public:
    // One group changed (renamed); aResId is the group's.
    virtual void OnContentChanged(TRcResId* aResId) = 0;
    // Groups were added or removed.
    virtual void OnChanged() = 0;
};

class TRcProductGroupObservable : public TRcObservable<IProductGroupObserver> {
public:
    void NotifyContentChanged(TRcResId* aResId)
    {
        ForEachObserver([&](IProductGroupObserver& aObserver) { aObserver.OnContentChanged(aResId); });
    }
    void NotifyChanged()
    {
        ForEachObserver([](IProductGroupObserver& aObserver) { aObserver.OnChanged(); });
    }
};

class TProductGroupManager : public TSingletonOf<TProductGroupManager> {
public:
    static constexpr const char* kNilGroup = "aProductGroup 是 nil";
    static constexpr const char* kNotStored = "aProductGroup 不是产品分组存储的对象";
    static constexpr const char* kNotEmpty = "不能删除不为空的产品分组";
    static constexpr const char* kDeleteFailed = "删除产品分组不成功";

    TProductGroupManager();
    static TProductGroupManager* ProductGroupManager() { return Instance(); }

    void RegisterObserver(IProductGroupObserver* aObserver) { FObservable->RegisterObserver(aObserver); }
    void UnregisterObserver(IProductGroupObserver* aObserver) { FObservable->UnRegisterObserver(aObserver); }

    // Every group's id, oldest first, read through a connection of its
    // own; empty (and nothing made) while Product.db does not exist. A
    // read error ends the list there.
    TRcResIdList* GetProductGroups();   // autoreleased
    // A new group object with its own connection for the path's first
    // element; nullptr unless that is a group id.
    TSqliteDbProductGroup* GetProductGroup(const TRcResPath* aResPath);   // autoreleased
    TSqliteDbProductGroup* GetProductGroup(const TRcResId* aResId);       // autoreleased
    // New and unsaved, with a fresh id.
    TSqliteDbProductGroup* CreateProductGroup();   // autoreleased
    // Builds Product.db when it is new. A new group is announced as a
    // change of the set, an update as a change of that group.
    void SaveProductGroup(TRcProductGroup* aGroup);
    // Refused with "不能删除不为空的产品分组" while products are in it;
    // deleting what is not there is silent.
    void DeleteProductGroup(const TRcResPath* aResPath);
    // Whether a group of exactly that name exists; false without the file
    // or on a read error.
    bool CheckGroupByGroupName(const std::string& aName);

private:
    TRcRef<TRcProductGroupObservable> FObservable;
};
