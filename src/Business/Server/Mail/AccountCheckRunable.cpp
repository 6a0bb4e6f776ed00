#include "AccountCheckRunable.h"

#include "FormatTransportError.h"
#include "TransportRunable.h"
#include "Runtime/Errors.h"

TRcAccountCheckRunable::TRcAccountCheckRunable(TRcAccount* aAccount, TEmailTestObservable* aObservable,
                                               TTransportTuning aTuning)
    : FAccount(TRcRef<TRcAccount>::Retain(aAccount)),
      FSettings(aAccount ? aAccount->Settings() : TAccountSettings{}),
      FObservable(aObservable),
      FTuning(std::move(aTuning))
{
    if (!aAccount || !aObservable)
        throw EInvalidPointer();
}

void TRcAccountCheckRunable::Cancel()
{
    if (FNeedCancel.exchange(true))
        return;
    CancelTransfer();
}

TTransportSettings TRcAccountCheckRunable::Tuned(TTransportSettings aSettings) const
{
    aSettings.ConnectTimeout = kConnectTimeout;
    aSettings.IdleTimeout = kIdleTimeout;
    if (FTuning)
        FTuning(aSettings);
    return aSettings;
}

TTransportSettings TRcAccountCheckRunable::Pop3Settings() const
{
    return Tuned(Pop3TransportSettings(FSettings));
}

TTransportSettings TRcAccountCheckRunable::SmtpSettings() const
{
    return Tuned(SmtpTransportSettings(FSettings));
}

void TRcAccountCheckRunable::Status(TEmailTask aTask, TEmailTestState aState)
{
    FOutcome.Task = aTask;
    FOutcome.State = aState;
    FObservable->UpdateStatus(aTask, aState);
}

void TRcAccountCheckRunable::Fail(const TEmailTestFailure& aFailure, const std::exception& aError,
                                  const TServerReply* aLastReply)
{
    FOutcome.Reason = FormatTransportError("账户测试", aError, aLastReply);
    FOutcome.Text = TransportMsg(aFailure.MessageKey);
    Status(aFailure.Task, aFailure.State);
    std::string message = FOutcome.Text;
    if (!FOutcome.Reason.empty())
        message.append(1, '\n').append(FOutcome.Reason);
    FObservable->OccurError(message);
}

void TRcAccountCheckRunable::Cancelled(TEmailTask aTask)
{
    FOutcome.Task = aTask;
    FOutcome.State = es_InputCancel;
    FOutcome.Text = kCancelledText;
    FOutcome.Reason.clear();
    FObservable->UpdateInfo(kCancelledText);
}
