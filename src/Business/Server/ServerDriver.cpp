#include "ServerDriver.h"

#include <algorithm>

#include "Business/Account/AccountManager.h"
#include "Business/Data/ConfigManager.h"
#include "Runtime/Log.h"

namespace {

// The screens wait for these: short, unlike a mail transfer.
THttpOptions DefaultPlatformHttpOptions()
{
    THttpOptions options;
    options.ConnectTimeoutMs = 10000;
    options.IdleTimeoutMs = 30000;
    options.TotalTimeoutMs = 30000;
    return options;
}

} // namespace

class TServerDriver::TAccountListObserver : public TRcObject, public IAccountObserver {
public:
    explicit TAccountListObserver(TServerDriver& aDriver) : FDriver(aDriver) {}
    void OnContentChanged(TRcResId* aResId) override { FDriver.OnAccountChanged(aResId); }
    void OnChanged() override { FDriver.OnAccountListChanged(); }

private:
    TServerDriver& FDriver;
};

TServerDriver::TServerDriver()
    : FSchedulingRunable(MakeRc<TSchedulingRunable>()),
      FSchedulingRunableThread(std::make_unique<TThreadForRunable>(FSchedulingRunable.Get(), true)),
      FAccountObserver(MakeRc<TAccountListObserver>(*this)),
      FPlatformHttpOptions(DefaultPlatformHttpOptions())
{
}

TServerDriver::~TServerDriver()
{
    TLog::O(lolInfo, "Business.ServerDriver 析构");
    // The reporter calls into this object.
    if (FReportingReceiveMode)
        TRcAccount::SetReceiveModeReporter(nullptr);
    FPlatformRequests.Stop();
    // Without UnInit (a failed start) the thread must still be ended.
    if (FSchedulingRunableThread && FSchedulingRunableThread->Started()) {
        FSchedulingRunable->Cancel();
        FSchedulingRunable->Terminate();
    }
    TLog::O(lolDebug, "释放 邮件发送接收调度线程");
    FSchedulingRunableThread.reset();
    TLog::O(lolDebug, "释放 邮件发送接收调度执行器");
    FSchedulingRunable = nullptr;
}

void TServerDriver::Init()
{
    auto trace = TLog::MEnterExit(lolInfo, lolDebug, "Business.ServerDriver 初始化");
    if (TAccountManager* accounts = TAccountManager::AccountManager()) {
        accounts->RegisterObserver(FAccountObserver.Get());
        FObserving = true;
    }
    FPlatformRequests.Restart();
    TRcAccount::SetReceiveModeReporter(
        [this](const std::string& aEmail, const std::string& aMode) { ReportReceiveMode(aEmail, aMode); });
    FReportingReceiveMode = true;
    FSchedulingRunableThread->Start();
}

void TServerDriver::UnInit()
{
    auto trace = TLog::MEnterExit(lolInfo, lolDebug, "Business.ServerDriver 反初始化");
    if (FObserving) {
        if (TAccountManager* accounts = TAccountManager::AccountManager())
            accounts->UnregisterObserver(FAccountObserver.Get());
        FObserving = false;
    }
    if (FReportingReceiveMode) {
        TRcAccount::SetReceiveModeReporter(nullptr);
        FReportingReceiveMode = false;
    }
    TLog::O(lolDebug, "取消 平台请求");
    FPlatformRequests.Stop();
    TLog::O(lolInfo, "取消 可能存在的收发信动作");
    FSchedulingRunable->Cancel();
    TLog::O(lolInfo, "通知 邮件发送接收调度执行器 终止");
    FSchedulingRunable->Terminate();
    TLog::O(lolInfo, "通知 邮件发送接收调度线程 终止");
    // Waited for here, not when the driver is released: the managers the
    // jobs use go before that.
    if (FSchedulingRunableThread->Started())
        FSchedulingRunableThread->WaitFor();
}

void TServerDriver::PriorityReceivePop3AndNoTranslate(TRcResPath* aResPath, TDateTime aBeginDate,
                                                      TDateTime aEndDate)
{
    if (TAccountManager* accounts = TAccountManager::AccountManager())
        if (TRcAccount* account = accounts->GetAccount(aResPath)) {
            account->SetAutoReveiveEarliestDate(aBeginDate);
            accounts->SaveAccount(account);
        }
    FSchedulingRunable->AddPriorityPop3ReceiveNoTranslate(aResPath, aBeginDate, aEndDate);
}

void TServerDriver::UpdateAutoReceiveSendState(TRcResPath* aResPath)
{
    if (aResPath && aResPath->Count() > 0) {
        std::lock_guard lock(FKnownMutex);
        FKnownAccounts.insert(aResPath->At(0)->Id());
    }
    FSchedulingRunable->UpdateAutoReceiveSendState(aResPath);
}

void TServerDriver::OnAccountChanged(TRcResId* aResId)
{
    TAccountManager* accounts = TAccountManager::AccountManager();
    TRcAccount* account = accounts ? accounts->GetAccount(aResId) : nullptr;
    if (!account)
        return;
    // Only a change of the automatic settings replaces the periodic job
    // (and starts its interval afresh).
    const auto jobs = FSchedulingRunable->PendingJobs();
    const auto periodic = std::find_if(jobs.begin(), jobs.end(), [&](const TSchedulingRunable::TJobView& aJob) {
        return aJob.Interval != 0 && aJob.AccountId == aResId->Id();
    });
    const bool scheduled = periodic != jobs.end();
    if (!account->AutoReveiveSend() && !scheduled)
        return;
    if (account->AutoReveiveSend() && scheduled &&
        periodic->Interval == TSchedulingRunable::PeriodicInterval(account->AutoReveiveSendInterval()))
        return;
    UpdateAutoReceiveSendState(TRcResPath::CreateAndAutoRelease({aResId}));
}

void TServerDriver::OnAccountListChanged()
{
    TAccountManager* accounts = TAccountManager::AccountManager();
    if (!accounts)
        return;
    std::set<std::string> listed;
    for (TRcResId* id : *accounts->GetAccounts())
        listed.insert(id->Id());
    std::set<std::string> known;
    {
        std::lock_guard lock(FKnownMutex);
        known = FKnownAccounts;
    }
    for (const auto& job : FSchedulingRunable->PendingJobs())
        known.insert(job.AccountId);
    for (const auto& id : known)
        if (!listed.count(id)) {
            TLog::O(lolInfo, "账户 %s 已删除，取消它的收发信工作", {id});
            FSchedulingRunable->DeleteAccountAllSendReceive(
                TRcResPath::CreateAndAutoRelease({TRcResId::CreateAndAutoRelease(rtAccount, id)}));
            std::lock_guard lock(FKnownMutex);
            FKnownAccounts.erase(id);
        }
    // A new account starts its automatic receive-and-send now.
    for (const auto& id : listed)
        if (!known.count(id))
            OnAccountChanged(TRcResId::CreateAndAutoRelease(rtAccount, id));
}

TPlatformContext TServerDriver::PlatformContext() const
{
    TPlatformContext context;
    context.Options = PlatformHttpOptions();
    // The configuration outlives every request: UnInit ends them all
    // before any manager is released.
    if (const TConfigManager* config = TConfigManager::ConfigManager()) {
        context.BaseUrl = config->NorvelServerUrl();
        context.MessageText = [config](const std::string& aKey) { return config->GetMsg(aKey); };
    }
    return context;
}

TPlatformRequest TServerDriver::StartPlatformRequest(TPlatformWork aWork, TDelayRunableQueue* aQueue,
                                                     TPlatformDone aDone)
{
    return FPlatformRequests.Start(PlatformContext(), std::move(aWork), aQueue, std::move(aDone));
}

void TServerDriver::SetPlatformHttpOptions(const THttpOptions& aOptions)
{
    std::lock_guard lock(FPlatformMutex);
    FPlatformHttpOptions = aOptions;
}

THttpOptions TServerDriver::PlatformHttpOptions() const
{
    std::lock_guard lock(FPlatformMutex);
    return FPlatformHttpOptions;
}

TPlatformRequest TServerDriver::SaveMailInfoToTavro(const TAccountSettings& aAccount, TDelayRunableQueue& aQueue,
                                                    TPlatformDone aDone)
{
    return StartPlatformRequest(
        [aAccount](TPlatformContext& aContext) { return ::SaveMailInfoToTavro(aContext, aAccount); }, &aQueue,
        std::move(aDone));
}

TPlatformRequest TServerDriver::SaveNameListMailFilterToTavro(const std::string& aEmail, const std::string& aBlackList,
                                                              const std::string& aWhiteList,
                                                              const std::string& aKeywords, TDelayRunableQueue& aQueue,
                                                              TPlatformDone aDone)
{
    return StartPlatformRequest(
        [aEmail, aBlackList, aWhiteList, aKeywords](TPlatformContext& aContext) {
            return ::SaveNameListMailFilterToTavro(aContext, aEmail, aBlackList, aWhiteList, aKeywords);
        },
        &aQueue, std::move(aDone));
}

TPlatformRequest TServerDriver::GetNameListMailFilterToTavro(const std::string& aEmail, TDelayRunableQueue& aQueue,
                                                             TPlatformDone aDone)
{
    return StartPlatformRequest(
        [aEmail](TPlatformContext& aContext) { return ::GetNameListMailFilterToTavro(aContext, aEmail); }, &aQueue,
        std::move(aDone));
}

TPlatformRequest TServerDriver::SaveReceiveMailTypeToTavro(const std::string& aEmail, const std::string& aMode,
                                                           TDelayRunableQueue& aQueue, TPlatformDone aDone)
{
    return StartPlatformRequest(
        [aEmail, aMode](TPlatformContext& aContext) { return ::SaveReceiveMailTypeToTavro(aContext, aEmail, aMode); },
        &aQueue, std::move(aDone));
}

void TServerDriver::SaveAppMessageToTavro(const std::string& aAddressList)
{
    const TConfigManager* config = TConfigManager::ConfigManager();
    const std::string appId = config ? config->QuillmarAppId() : std::string();
    // Nobody waits for this one, and nothing is done with its reply.
    StartPlatformRequest(
        [appId, aAddressList](TPlatformContext& aContext) {
            return ::SaveAppMessageToTavro(aContext, appId, aAddressList);
        },
        nullptr, nullptr)
        .Detach();
}

TPlatformRequest TServerDriver::ReTranslation(const std::string& aEmail, const std::string& aMailUid,
                                              const std::string& aReason, TDelayRunableQueue& aQueue,
                                              TPlatformDone aDone)
{
    return StartPlatformRequest(
        [aEmail, aMailUid, aReason](TPlatformContext& aContext) {
            return ::ReTranslation(aContext, aEmail, aMailUid, aReason);
        },
        &aQueue, std::move(aDone));
}

void TServerDriver::ReportReceiveMode(const std::string& aEmail, const std::string& aMode)
{
    // Called from the record's setter, on whatever thread sets it: nothing
    // may escape, and nobody waits for the answer.
    try {
        StartPlatformRequest(
            [aEmail, aMode](TPlatformContext& aContext) {
                return ::SaveReceiveMailTypeToTavro(aContext, aEmail, aMode);
            },
            nullptr,
            [](const TPlatformReply& aReply) {
                if (!aReply.Result)
                    TLog::O(lolWorn, "接收模式没有报给平台：%s", {aReply.ErrorText});
            })
            .Detach();
    } catch (const std::exception& e) {
        TLog::O(lolWorn, "接收模式没有报给平台：%s", {e.what()});
    }
}
