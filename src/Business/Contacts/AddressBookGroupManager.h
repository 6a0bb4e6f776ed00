// The one entry point to an account's address-book groups. Group paths
// are account / address-book folder / group; the folder path names the
// set of groups.
#pragma once

#include <string>

#include "AddressBookGroup.h"
#include "Runtime/Observable.h"
#include "Runtime/Singleton.h"

class IAccountAddressBookGroupObserver : public virtual IRcInterface {
public:
    // A group changed in place (renamed); aResPath is its path.
    virtual void OnContentChanged(TRcResPath* aResPath) = 0;
    // Groups were added or removed under the folder path aResPath.
    virtual void OnChanged(TRcResPath* aResPath) = 0;
};

class TRcAddressBookGroupObservable : public TRcObservable<IAccountAddressBookGroupObserver> {
public:
    void NotifyContentChanged(TRcResPath* aResPath)
    {
        ForEachObserver([&](IAccountAddressBookGroupObserver& aObserver) { aObserver.OnContentChanged(aResPath); });
    }
    void NotifyChanged(TRcResPath* aResPath)
    {
        ForEachObserver([&](IAccountAddressBookGroupObserver& aObserver) { aObserver.OnChanged(aResPath); });
    }
};

class TAccountAddressBookGroupManager : public TSingletonOf<TAccountAddressBookGroupManager> {
public:
    static constexpr const char* kGroupNotEmpty = "不能删除不为空的地址簿分组";
    static constexpr const char* kDeleteFailed = "删除地址簿分组不成功";
    static constexpr const char* kPseudoGroup = "不允许删除系统组";

    TAccountAddressBookGroupManager();
    static TAccountAddressBookGroupManager* AccountAddressBookGroupManager() { return Instance(); }

    void RegisterObserver(IAccountAddressBookGroupObserver* aObserver) { FObservable->RegisterObserver(aObserver); }
    void UnregisterObserver(IAccountAddressBookGroupObserver* aObserver)
    {
        FObservable->UnRegisterObserver(aObserver);
    }

    // The account / address-book folder path of any path that starts with
    // an account; nullptr otherwise. Autoreleased.
    TRcResPath* GetAddressBookFolderResPath(TRcResPath* aResPath);
    bool IsAddressBookFolderResPath(const TRcResPath* aResPath);

    // Creation-time order; nullptr for a path that is not a folder path.
    TRcResIdList* GetAddressBookGroups(TRcResPath* aFolderPath);
    TRcAddressBookGroup* GetAddressBookGroup(TRcResPath* aGroupPath);
    TRcAddressBookGroup* GetAddressBookGroup(TRcResPath* aFolderPath, const std::string& aId);
    // New and unsaved.
    TRcAddressBookGroup* CreateAddressBookGroup();
    // The group's path, autoreleased; nullptr for a path that is not a
    // folder path. A name that is a pseudo-group's or another group's is
    // refused with "分组已存在!" and nothing is written. A rename is
    // announced as a change of the group, a new group as a change of the
    // folder.
    TRcResPath* SaveAddressBookGroup(TRcResPath* aFolderPath, TRcAddressBookGroup* aGroup);
    // Refuses the two pseudo-groups ("不允许删除系统组") and a group that
    // still holds contacts ("不能删除不为空的地址簿分组"); deleting what is
    // gone does nothing and tells nobody.
    void DeleteAddressBookGroup(TRcResPath* aGroupPath);
    bool CheckGroupByGroupName(TRcResPath* aResPath, const std::string& aName);

private:
    TRcRef<TRcAddressBookGroupObservable> FObservable;
};
