// Who hears about mails, and how a burst of changes (a batch of received
// mails) reaches them as one notification per path.
#pragma once

#include "Business/Resource/ResPath.h"
#include "Runtime/Observable.h"

class IAccountMailObserver : public virtual IRcInterface {
public:
    virtual void OnContentChanged(TRcResPath* aMailResPath) = 0;
    virtual void OnReadedFlagChanged(TRcResPath* aMailResPath) = 0;
    virtual void OnChanged(TRcResPath* aFolderResPath) = 0;
    virtual void OnNotReadedNewReceiveMailListChanged() = 0;
    virtual void OnReTranslationChanged(TRcResPath* aMailResPath) = 0;
};

// Between BeginUpdate and the outermost EndUpdate nothing is sent; each
// path is kept once per kind. A read-flag change is dropped when the same
// mail's content changed too (whoever reloads the content sees the flag).
// EndUpdate then sends content changes, read-flag changes, folder changes,
// re-translation changes and the new-unread change, in that order.
class TAccountMailObservable : public TRcObservable<IAccountMailObserver> {
public:
    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const;

    void NotifyContentChanged(TRcResPath* aMailResPath);
    void NotifyReadedFlagChanged(TRcResPath* aMailResPath);
    void NotifyChanged(TRcResPath* aFolderResPath);
    void NotifyReTranslationChanged(TRcResPath* aMailResPath);
    void NotifyNotReadedNewReceiveMailListChanged();

private:
    // Adds aPath to aList unless it is there; false when the update count
    // is 0 and the caller must send at once.
    bool Queue(TRcRef<TRcResPathList>& aList, TRcResPath* aPath);

    int FUpdateCount = 0;
    TRcRef<TRcResPathList> FNotifyContentChangedList;
    TRcRef<TRcResPathList> FNotifyReadedFlagChangedList;
    TRcRef<TRcResPathList> FNotifyChangedList;
    TRcRef<TRcResPathList> FNotifyReTranslation;
    bool FNotReadedNewReceiveMailListChanged = false;
};
