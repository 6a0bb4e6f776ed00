// TServerDriver: the business layer's way to the mail scheduler. It owns
// the scheduler and its thread, passes on what the screens ask (receive,
// send, cancel, observe), and keeps the jobs in step with the account
// list: a deleted account loses its jobs, and saved automatic
// send/receive settings take effect at once.
#pragma once

#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "SchedulingRunable.h"
#include "Runtime/Singleton.h"
#include "Runtime/ThreadForRunable.h"

class TServerDriver : public TSingletonOf<TServerDriver> {
public:
    TServerDriver();
    ~TServerDriver() override;

    static TServerDriver* ServerDriver() { return Instance(); }

    // Starts the scheduler thread and begins to follow the account list.
    void Init();
    // Cancels the running transfer, ends the scheduler and waits for its
    // thread, so nothing runs while the managers are released.
    void UnInit();

    void PriorityReceive(TRcResPath* aResPath) { FSchedulingRunable->AddPriorityReceive(aResPath); }
    void PrioritySend(TRcResPath* aResPath) { FSchedulingRunable->AddPrioritySend(aResPath); }
    // Remembers aBeginDate as the account's earliest receive date, then
    // receives by POP3 without translation within the window.
    void PriorityReceivePop3AndNoTranslate(TRcResPath* aResPath, TDateTime aBeginDate, TDateTime aEndDate);
    void UpdateAutoReceiveSendState(TRcResPath* aResPath);
    void DeleteAccountAllSendReceive(TRcResPath* aResPath) { FSchedulingRunable->DeleteAccountAllSendReceive(aResPath); }
    void Cancel() { FSchedulingRunable->Cancel(); }

    void RegisterObserver(IMailSendReciveObserver* aObserver)
    {
        FSchedulingRunable->Observable()->RegisterObserver(aObserver);
    }
    void UnRegisterObserver(IMailSendReciveObserver* aObserver)
    {
        FSchedulingRunable->Observable()->UnRegisterObserver(aObserver);
    }

    TSchedulingRunable* Scheduler() const { return FSchedulingRunable.Get(); }

private:
    class TAccountListObserver;
    void OnAccountChanged(TRcResId* aResId);
    void OnAccountListChanged();

    TRcRef<TSchedulingRunable> FSchedulingRunable;
    std::unique_ptr<TThreadForRunable> FSchedulingRunableThread;
    TRcRef<TAccountListObserver> FAccountObserver;
    bool FObserving = false;
    std::mutex FKnownMutex;
    std::set<std::string> FKnownAccounts;   // ids that have had jobs
};
