// What the two parts of the account connection test share (the POP3 part,
// TRcReceiveCheckMailRunable, and the SMTP part, TRcSendCheckMailRunable):
// the account's settings read once at the start, the observable, cancel
// from any thread, and how a step's end is reported.
#pragma once

#include <atomic>
#include <chrono>
#include <exception>
#include <string>

#include "AccountTransport.h"
#include "EmailTestFailure.h"
#include "EmailTestObservable.h"
#include "ServerReply.h"
#include "Business/Account/Account.h"
#include "Runtime/RcRef.h"
#include "Runtime/Runable.h"

class TRcAccountCheckRunable : public TRcObject, public IRunable, public IRunableCancel {
public:
    // The test waits this long for a connection and for each reply: a user
    // at the dialog should hear about a dead server soon.
    static constexpr std::chrono::seconds kConnectTimeout{20};
    static constexpr std::chrono::seconds kIdleTimeout{60};
    static constexpr const char* kCancelledText = "已取消";

    // Any thread: ends the step that runs, and the test with it.
    void Cancel() override;
    bool NeedCancel() const { return FNeedCancel; }

    const TEmailTestOutcome& Outcome() const { return FOutcome; }

protected:
    TRcAccountCheckRunable(TRcAccount* aAccount, TEmailTestObservable* aObservable, TTransportTuning aTuning);

    // Breaks the transfer in progress; called once, from any thread.
    virtual void CancelTransfer() = 0;

    // The account's servers with the test's timeouts and the caller's tuning.
    TTransportSettings Pop3Settings() const;
    TTransportSettings SmtpSettings() const;

    void Status(TEmailTask aTask, TEmailTestState aState);
    // A failed step: the state, the text for the user and the reason (what
    // the server or the connection said) reported, and kept as the outcome.
    void Fail(const TEmailTestFailure& aFailure, const std::exception& aError, const TServerReply* aLastReply);
    void Cancelled(TEmailTask aTask);

    const TRcRef<TRcAccount> FAccount;
    const TAccountSettings FSettings;
    TEmailTestObservable* const FObservable;
    const TTransportTuning FTuning;
    TEmailTestOutcome FOutcome;

private:
    TTransportSettings Tuned(TTransportSettings aSettings) const;

    std::atomic<bool> FNeedCancel{false};
};
