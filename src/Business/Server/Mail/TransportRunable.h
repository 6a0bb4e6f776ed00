// TRcTransportRunable: what the scheduler's transfers (POP3 receiving, SMTP
// sending) share — the job's task id, account and observable; registering
// for cancel for the length of the run (and looking at the cancel flag, in
// case the cancel came first); the activity's begin and end; status lines,
// progress that notices a cancel, and errors that are only logged once
// the run is cancelled.
#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "Business/AccountMail/AccountMailManager.h"
#include "Business/Resource/ResPath.h"
#include "Runtime/Runable.h"
#include "Runtime/TextFormat.h"

class TRcMailSendReceiveObservable;

class TRcTransportRunable : public TRcObject, public IRunable, public IRunableCancel {
public:
    // Any thread: marks the run cancelled and breaks its transfer.
    void Cancel() override;

protected:
    TRcTransportRunable(const char* aClassName, int aId, TRcResPath* aResPath,
                        TRcMailSendReceiveObservable* aObservable);

    // Registered for cancel and between ActivityBegin (aCaption) and
    // ActivityEnd, runs aBody. aBody's error is the caller's to report.
    void RunActivity(const std::string& aCaption, const std::function<void()>& aBody);
    // Breaks the transfer in progress (the client's Cancel); called once.
    virtual void CancelTransfer() = 0;

    void Status(const std::string& aText);
    void Progress(int64_t aCurr, int64_t aMax, const std::string& aMessage);
    void OccurError(const std::string& aMessage);
    bool NeedCancel() const { return FNeedCancel; }

    const int FId;
    const TRcRef<TRcMailSendReceiveObservable> FObservable;
    const TRcRef<TRcResPath> FResPath;

private:
    const char* FClassName;
    std::atomic<bool> FNeedCancel{false};
};

// The message texts of the transfers; the key itself when there is no
// configuration.
std::string TransportMsg(const char* aKey);
std::string TransportMsg(const char* aKey, TFormatArg aValue);
// The account mail manager; raises when it is not built.
TAccountMailManager& TransportMails();
