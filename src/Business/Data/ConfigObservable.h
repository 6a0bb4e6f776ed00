// Who hears about configuration changes.
#pragma once

#include "Business/Resource/ResId.h"
#include "Runtime/Observable.h"

class IConfigObserver : public virtual IRcInterface {
public:
    virtual void OnContentChanged(TRcResId* aResId) = 0;
    virtual void OnChanged() = 0;
};

class TConfigObservable : public TRcObservable<IConfigObserver> {
public:
    void NotifyContentChanged(TRcResId* aResId)
    {
        ForEachObserver([&](IConfigObserver& aObserver) { aObserver.OnContentChanged(aResId); });
    }
    void NotifyChanged()
    {
        ForEachObserver([](IConfigObserver& aObserver) { aObserver.OnChanged(); });
    }
};
