#include "ServerDriver.h"

#include <algorithm>

#include "Business/Account/AccountManager.h"
#include "Runtime/Log.h"

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
      FAccountObserver(MakeRc<TAccountListObserver>(*this))
{
}

TServerDriver::~TServerDriver()
{
    TLog::O(lolInfo, "Business.ServerDriver 析构");
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
