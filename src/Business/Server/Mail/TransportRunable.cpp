#include "TransportRunable.h"

#include "Business/Data/ConfigManager.h"
#include "Business/Server/MailSendReceiveObservable.h"
#include "Runtime/AutoReleasePool.h"
#include "Runtime/Finally.h"
#include "Runtime/Log.h"

TRcTransportRunable::TRcTransportRunable(const char* aClassName, int aId, TRcResPath* aResPath,
                                         TRcMailSendReceiveObservable* aObservable)
    : FId(aId), FObservable(TRcRef<TRcMailSendReceiveObservable>::Retain(aObservable)),
      FResPath(TRcRef<TRcResPath>::Retain(aResPath)), FClassName(aClassName)
{
    if (!aResPath || !aObservable)
        throw EInvalidPointer();
}

void TRcTransportRunable::Cancel()
{
    if (FNeedCancel.exchange(true))
        return;
    CancelTransfer();
}

void TRcTransportRunable::RunActivity(const std::string& aCaption, const std::function<void()>& aBody)
{
    TRetainCountObjectAutoReleasePool pool;
    TRunableCancelList& cancels = FObservable->CancelList();
    cancels.Register(this);
    TFinally unregister([&] { cancels.UnRegister(this); });
    // A cancel that came before the registration found nothing to cancel.
    if (FObservable->FCancel)
        Cancel();
    FObservable->NotifyActivityBegin(FId, aCaption, FResPath->At(0));
    TFinally end([&] { FObservable->NotifyActivityEnd(FId); });
    aBody();
}

void TRcTransportRunable::Status(const std::string& aText)
{
    FObservable->NotifyTaskUpdateInfo(FId, aText);
}

void TRcTransportRunable::Progress(int64_t aCurr, int64_t aMax, const std::string& aMessage)
{
    FObservable->NotifyMailProgress(FId, aMax, aCurr, aMessage);
    if (FObservable->FCancel && !FNeedCancel)
        Cancel();
}

void TRcTransportRunable::OccurError(const std::string& aMessage)
{
    if (FNeedCancel) {
        TLog::O(lolWorn, std::string(FClassName) + ".OccurError 取消", "");
        TLog::O(lolWorn, "Id: %d: %s", {FId, aMessage});
        return;
    }
    FObservable->NotifyTaskOccurError(FId, aMessage);
}

std::string TransportMsg(const char* aKey)
{
    const TConfigManager* config = TConfigManager::ConfigManager();
    return config ? config->GetMsg(aKey) : std::string(aKey);
}

std::string TransportMsg(const char* aKey, TFormatArg aValue)
{
    const TConfigManager* config = TConfigManager::ConfigManager();
    return config ? config->FormatMsg(aKey, {aValue}) : std::string(aKey);
}

TAccountMailManager& TransportMails()
{
    TAccountMailManager* mails = TAccountMailManager::AccountMailManager();
    if (!mails)
        throw Exception("邮件管理器没有创建");
    return *mails;
}
