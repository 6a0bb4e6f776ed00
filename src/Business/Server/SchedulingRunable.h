// TSchedulingRunable: the mail scheduler. One thread runs it; every
// receive and send job of every account runs there, one after another.
//
// Callers on any thread add jobs to the outer list and signal the event.
// The scheduler sleeps on that event, at most until the next job is due,
// takes the whole outer list as its batch, runs the due jobs in order and
// hands the batch back: periodic jobs come round again after their
// interval, failed one-shot jobs are retried after three minutes, finished
// or cancelled one-shot jobs leave. A job that fails ends only itself; a
// cancel ends the batch. The lock guards the lists and the cancel flag and
// is never held while a job runs.
#pragma once

#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>
#include <vector>

#include "MailSendReceiveObservable.h"
#include "SchedulerClock.h"
#include "TransportSteps.h"
#include "Worker.h"
#include "Runtime/AutoResetEvent.h"
#include "Runtime/Runable.h"

class TSchedulingRunable : public TRcObject, public IRunable {
public:
    static constexpr uint32_t kMinWaitMs = 60000;       // one minute
    static constexpr uint32_t kMaxWaitMs = 7200000;     // two hours
    static constexpr int kRetrySeconds = 180;
    static constexpr int kDueSlackSeconds = 1;

    // The interval a periodic job gets for an account's setting: below one
    // minute it would be taken for a one-shot job.
    static int PeriodicInterval(int aMinutes) { return std::max(aMinutes, 1); }

    explicit TSchedulingRunable(TSchedulerClockPtr aClock = std::make_shared<TSchedulerClock>());

    // One-shot jobs, due at once, put first.
    void AddPriorityReceive(TRcResPath* aResPath);
    void AddPrioritySend(TRcResPath* aResPath);
    void AddPriorityPop3ReceiveNoTranslate(TRcResPath* aResPath, TDateTime aBeginDate, TDateTime aEndDate);
    // Replaces the account's periodic job by one that follows its current
    // settings (none when automatic receive-and-send is off).
    void UpdateAutoReceiveSendState(TRcResPath* aResPath);
    // Drops every job of the account, and keeps a running periodic job of
    // it from coming round again.
    void DeleteAccountAllSendReceive(TRcResPath* aResPath);
    // Stops the running batch and the transfer in progress.
    void Cancel();
    void Terminate();

    void Run() override;

    TRcMailSendReceiveObservable* Observable() const { return FObservable.Get(); }
    TTransportRunables& Transports() { return FTransports; }
    // Whether the translation service is on; by default, whether its
    // address is configured.
    void SetTranslationServiceOn(std::function<bool()> aProc);

    // A snapshot of the pending jobs, in list order (the batch being run
    // is not among them).
    struct TJobView {
        int Id;
        TRcWorker::TAction Action;
        int Interval;
        TDateTime AtTime;
        TRcWorker::TRunState RunState;
        std::string AccountId;
    };
    std::vector<TJobView> PendingJobs() const;

private:
    int NextId() { return ++FWorkerId; }
    void AddPriority(TRcWorker::TAction aAction, TRcResPath* aResPath, IWorkerOpertion* aOpertion);
    // Runs the batch; the milliseconds until the next job is due.
    double RunWorkList();
    void RunWorker(TRcWorker* aWorker);
    void RunJob(TRcWorker* aWorker);
    double MoveInnerRunWorkerListToOuterWorkList();
    void LogOutputWorkList(const char* aTag, const TRcWorkerList* aList) const;

    // The job bodies and their steps.
    void RunStep(TTransportStep aStep, TTransportJob aJob);
    TTransportJob Pop3Job(TRcWorker* aWorker, TPop3Mode aMode, TDateTime aBeginDate, TDateTime aEndDate) const;
    TTransportJob JobOf(TRcWorker* aWorker) const;
    void Pop3ReceiveNoTranslate(TRcWorker* aWorker);
    void Receive(TRcWorker* aWorker);
    void Send(TRcWorker* aWorker);
    void ReceiveSend(TRcWorker* aWorker);
    // Receives by POP3 without translation from the account's earliest
    // date on: what receiving is while the translation service is off.
    void ReceiveWithoutService(TRcWorker* aWorker);
    void MoveReceivedMailsToInBox(TRcWorker* aWorker);
    void MoveSentMailsToOutBox(TRcWorker* aWorker);
    bool Cancelled() const { return FObservable->FCancel; }
    bool TranslationServiceOn() const;

    std::atomic<bool> FTerminated{false};
    TRcRef<TRcWorkerList> FOuterWorkList;
    TRcRef<TRcResPathList> FOuterDeleteAccountResPathList;
    TRcRef<TRcWorkerList> FInnerRunWorkerList;
    TAutoResetEvent FEvent;
    mutable std::recursive_mutex FLock;
    std::atomic<int> FWorkerId{0};
    TSchedulerClockPtr FClock;
    TRcRef<TRcMailSendReceiveObservable> FObservable;
    TTransportRunables FTransports;
    std::function<bool()> FTranslationServiceOn;
};
