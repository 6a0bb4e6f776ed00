// The one entry point to the secretary register: what the screens and the
// mail editor call, and whom they hear from when it changes. Secretaries
// are addressed by one-element paths ([secretary id]); the register itself
// is the empty path.
#pragma once

#include <string>

#include "Business/Resource/ResVisitorFactory.h"
#include "Runtime/Observable.h"
#include "Runtime/Singleton.h"
#include "Secretary.h"

class ISecretaryObserver : public virtual IRcInterface {
public:
    // One secretary changed; aResPath is its path.
    virtual void OnContentChanged(TRcResPath* aResPath) = 0;
    // Secretaries were added or removed under aResPath (the empty path).
    virtual void OnChanged(TRcResPath* aResPath) = 0;
};

class TRcSecretaryObservable : public TRcObservable<ISecretaryObserver> {
public:
    void NotifyContentChanged(TRcResPath* aResPath)
    {
        ForEachObserver([&](ISecretaryObserver& aObserver) { aObserver.OnContentChanged(aResPath); });
    }
    void NotifyChanged(TRcResPath* aResPath)
    {
        ForEachObserver([&](ISecretaryObserver& aObserver) { aObserver.OnChanged(aResPath); });
    }
};

class TSecretaryManager : public TSingletonOf<TSecretaryManager> {
public:
    TSecretaryManager();
    static TSecretaryManager* SecretaryManager() { return Instance(); }

    // Makes the table when Accounts.db lacks it.
    void Init();

    void RegisterObserver(ISecretaryObserver* aObserver) { FObservable->RegisterObserver(aObserver); }
    void UnRegisterObserver(ISecretaryObserver* aObserver) { FObservable->UnRegisterObserver(aObserver); }

    // The secretary a one-element path names; nullptr otherwise.
    TRcSecretary* GetSecretary(TRcResPath* aResPath);
    TRcSecretaryList* GetSecretarys();   // oldest first
    TRcResIdList* GetIDs();              // oldest first
    // New and unsaved, with a fresh id.
    TRcSecretary* CreateSecretary();
    // The secretary's path, autoreleased; nullptr when nothing was saved
    // (no Accounts.db). A new one is announced as a change of the
    // register, an update as a change of that secretary.
    TRcResPath* SaveSecretary(TRcSecretary* aSecretary);
    // Deleting what is not there is silent.
    void DeleteSecretary(TRcResPath* aResPath);
    void DeleteAllSecretary();
    bool CheckSecretaryByEmail(const std::string& aAddress);

private:
    TRcRef<TRcSecretaryObservable> FObservable;
};

// rtSecretary: every secretary, under a nil or empty path only.
class TSecretaryResVisitorFactory : public TResVisitorFactoryBase {
public:
    TRcRef<IResVisitor> CreateVisitor(TRcResPath* aPath, IListOpertion* aOpertion) const override;
    TRcRef<IResVisitor> CreateVisitor(TRcResIdList* aResIdList) const override;
};
