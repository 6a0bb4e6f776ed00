// The one entry point to conversation items. An item is
// [account, conversation, item], or any path ending with the item.
#pragma once

#include "ConversationItem.h"
#include "Runtime/Observable.h"
#include "Runtime/Singleton.h"

class IConversationItemObserver : public virtual IRcInterface {
public:
    virtual void OnContentChanged(TRcResPath* aResPath) = 0;
    virtual void OnChanged(TRcResPath* aResPath) = 0;
};

class TRcConversationItemObservable : public TRcObservable<IConversationItemObserver> {
public:
    void NotifyContentChanged(TRcResPath* aResPath)
    {
        ForEachObserver([&](IConversationItemObserver& aObserver) { aObserver.OnContentChanged(aResPath); });
    }
    void NotifyChanged(TRcResPath* aResPath)
    {
        ForEachObserver([&](IConversationItemObserver& aObserver) { aObserver.OnChanged(aResPath); });
    }
};

class TConversationItemManager : public TSingletonOf<TConversationItemManager> {
public:
    TConversationItemManager();
    static TConversationItemManager* ConversationItemManager() { return Instance(); }

    void RegisterObserver(IConversationItemObserver* aObserver) { FObservable->RegisterObserver(aObserver); }
    void UnregisterObserver(IConversationItemObserver* aObserver) { FObservable->UnRegisterObserver(aObserver); }

    TRcRef<TRcConversationItem> CreateConversationItem();
    TRcConversationItem* GetConversationItem(TRcResPath* aResPath);
    // The items of the conversation the path ends with, newest mail first.
    TRcResIdList* GetConversationItemIds(TRcResPath* aPath);
    // Saves only for a bare account path; returns nullptr.
    TRcResPath* SaveConversationItem(TRcResPath* aResPath, TRcConversationItem* aConversationItem);
    void DeleteConversationItem(TRcResPath* aResPath);

private:
    TRcRef<TRcConversationItemObservable> FObservable;
};
