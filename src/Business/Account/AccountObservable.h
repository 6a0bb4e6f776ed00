// Who hears about accounts: one account's settings changed, or accounts
// were added or removed (deleting one included, which is how the
// scheduler learns to drop that account's jobs).
#pragma once

#include "Business/Resource/ResId.h"
#include "Runtime/Observable.h"

class IAccountObserver : public virtual IRcInterface {
public:
    virtual void OnContentChanged(TRcResId* aResId) = 0;
    virtual void OnChanged() = 0;
};

class TAccountObservable : public TRcObservable<IAccountObserver> {
public:
    void NotifyContentChanged(TRcResId* aResId)
    {
        ForEachObserver([&](IAccountObserver& aObserver) { aObserver.OnContentChanged(aResId); });
    }
    void NotifyChanged()
    {
        ForEachObserver([](IAccountObserver& aObserver) { aObserver.OnChanged(); });
    }
};
