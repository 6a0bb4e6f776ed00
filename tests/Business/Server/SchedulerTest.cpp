#include "Business/Account/AccountForSqlite.h"
#include "Business/Server/SchedulingRunable.h"
#include "Business/Server/ServerDriver.h"
#include "Runtime/AutoReleasePool.h"
#include "Support/AccountManagers.h"
#include "Support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <stdexcept>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr uint32_t kInfinite = TAutoResetEvent::kInfinite;

// Time that passes only when the test says so. Every sleep of the
// scheduler is recorded; it ends when the event is set or the test has
// advanced the time past its timeout.
class TFakeClock : public TSchedulerClock {
public:
    TDateTime Now() override
    {
        std::lock_guard lock(FMutex);
        return FNow;
    }
    bool Wait(TAutoResetEvent& aEvent, uint32_t aTimeoutMs) override
    {
        TDateTime deadline;
        {
            std::lock_guard lock(FMutex);
            FWaits.push_back(aTimeoutMs);
            deadline = aTimeoutMs == kInfinite ? 1e9 : FNow + aTimeoutMs / 86400000.0;
        }
        FChanged.notify_all();
        while (true) {
            if (aEvent.WaitFor(2))
                return true;
            std::lock_guard lock(FMutex);
            if (FNow >= deadline - 1e-9)   // within 0.1 ms: rounding
                return false;
        }
    }
    void Advance(std::chrono::milliseconds aTime)
    {
        std::lock_guard lock(FMutex);
        FNow += aTime.count() / 86400000.0;
    }
    // The timeout of the scheduler's aNumber-th sleep (from 1), once it
    // has begun; fails the test after 10 s of real time.
    uint32_t Sleep(std::size_t aNumber)
    {
        std::unique_lock lock(FMutex);
        if (!FChanged.wait_for(lock, 10s, [&] { return FWaits.size() >= aNumber; })) {
            ADD_FAILURE() << "the scheduler did not sleep a " << aNumber << ". time";
            return 0;
        }
        return FWaits[aNumber - 1];
    }
    std::size_t Sleeps()
    {
        std::lock_guard lock(FMutex);
        return FWaits.size();
    }

private:
    std::mutex FMutex;
    std::condition_variable FChanged;
    TDateTime FNow = 46000.5;
    std::vector<uint32_t> FWaits;
};

struct TCall {
    TTransportStep Step;
    std::string Account;
    int TaskId;
    TPop3Mode Mode;
    TDateTime Begin;
    TDateTime End;
};

// A transfer of the test's own: it does what the test tells it and can be
// cancelled like a real one.
class TTestRunable : public TRcObject, public IRunable, public IRunableCancel {
public:
    TTestRunable(TTransportJob aJob, std::function<void(TTestRunable&)> aBody)
        : FJob(aJob), FBody(std::move(aBody)) {}
    void Run() override
    {
        if (FBody)
            FBody(*this);
    }
    void Cancel() override
    {
        std::lock_guard lock(FMutex);
        FCancelled = true;
        FChanged.notify_all();
    }
    // Blocks, registered for cancel, until cancelled; aBlocked is set once
    // a cancel can reach it. Like a real transfer it also looks at the
    // cancel flag, in case the cancel came before it registered.
    void BlockUntilCancelled(std::atomic<bool>& aBlocked)
    {
        FJob.Observable->CancelList().Register(this);
        aBlocked = true;
        {
            std::unique_lock lock(FMutex);
            FChanged.wait(lock, [&] { return FCancelled || FJob.Observable->FCancel; });
        }
        FJob.Observable->CancelList().UnRegister(this);
    }
    void Fail(const std::string& aMessage) { FJob.Observable->NotifyTaskOccurError(FJob.TaskId, aMessage); }
    const TTransportJob& Job() const { return FJob; }

private:
    TTransportJob FJob;
    std::function<void(TTestRunable&)> FBody;
    std::mutex FMutex;
    std::condition_variable FChanged;
    bool FCancelled = false;
};

class TProgressRecorder : public TRcObject, public IMailSendReciveObserver {
public:
    void ProcessBegin() override { Add("process begin"); }
    void ProcessEnd() override { Add("process end"); }
    void TaskBegin(int aTaskId, const std::string&) override { Add("task begin " + std::to_string(aTaskId)); }
    void TaskEnd(int aTaskId) override { Add("task end " + std::to_string(aTaskId)); }
    void ActivityBegin(int, const std::string&, TRcResId*) override {}
    void ActivityEnd(int) override {}
    void MailSwitch(int, int, TMailSwitchKind, int) override {}
    void MailUpdateDesc(int, const std::string&) override {}
    void MailProgress(int, const std::string&, int64_t aCurr, int64_t aMax) override
    {
        Add("progress " + std::to_string(aCurr) + "/" + std::to_string(aMax));
    }
    void TaskUpdateInfo(int, const std::string&) override {}
    void TaskUpdateSubject(int, const std::string&, const std::string&) override {}
    void TaskOccurError(int aTaskId, const std::string& aMessage) override
    {
        Add("error " + std::to_string(aTaskId) + " " + aMessage);
    }
    void OccurError(const std::string& aMessage) override { Add("error " + aMessage); }

    std::vector<std::string> Events()
    {
        std::lock_guard lock(FMutex);
        return FEvents;
    }
    int Count(const std::string& aPrefix)
    {
        std::lock_guard lock(FMutex);
        return static_cast<int>(std::count_if(FEvents.begin(), FEvents.end(),
                                              [&](const std::string& e) { return e.rfind(aPrefix, 0) == 0; }));
    }

private:
    void Add(std::string aEvent)
    {
        std::lock_guard lock(FMutex);
        FEvents.push_back(std::move(aEvent));
    }
    std::mutex FMutex;
    std::vector<std::string> FEvents;
};

class SchedulerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FScratch = std::make_unique<TScratchFolder>("qm-scheduler");
        FData = FScratch->Path();
        FManagers = std::make_unique<TAccountManagers>(FData);
        FScheduler = MakeRc<TSchedulingRunable>(FClock);
        FScheduler->SetTranslationServiceOn([this] { return FServiceOn.load(); });
        FScheduler->Observable()->RegisterObserver(FProgress.Get());
        for (TTransportStep step : {tsPop3Receive, tsSmtpSend, tsNorvelSubmit, tsNorvelCollect})
            FScheduler->Transports().Set(step, [this, step](const TTransportJob& aJob) {
                TRetainCountObjectAutoReleasePool pool;
                {
                    std::lock_guard lock(FMutex);
                    FCalls.push_back({step, aJob.AccountResPath->At(0)->Id(), aJob.TaskId, aJob.Pop3Mode,
                                      aJob.BeginDate, aJob.EndDate});
                }
                std::function<void(TTestRunable&)> body;
                if (FBody)
                    body = [this, step](TTestRunable& aRunable) { FBody(step, aRunable); };
                return TRcRef<IRunable>::Adopt(new TTestRunable(aJob, body));
            });
    }
    // Starts the scheduler thread; jobs added before are all in its first
    // batch.
    void Start()
    {
        FThread = std::make_unique<TThreadForRunable>(FScheduler.Get(), false);
        EXPECT_EQ(FClock->Sleep(1), kInfinite);   // first sleep: no timeout
    }
    void TearDown() override
    {
        FScheduler->Cancel();
        FScheduler->Terminate();
        FThread.reset();   // waits for the thread
        FScheduler->Observable()->UnRegisterObserver(FProgress.Get());
        FScheduler = nullptr;
        FAccounts.clear();
        FManagers.reset();
        FScratch.reset();
    }

    TRcResPath* Account(bool aAutomatic, int aInterval = 10)
    {
        auto account = TAccountManager::AccountManager()->CreateNewAccount();
        account->SetEmail("user" + std::to_string(FAccounts.size()) + "@example.com");
        account->SetAutoReveiveSend(aAutomatic);
        account->SetAutoReveiveSendInterval(aInterval);
        account->SetAutoReveiveEarliestDate(45000.25);
        TAccountManager::AccountManager()->SaveAccount(account.Get());
        FAccounts.push_back(account);
        return TRcResPath::CreateAndAutoRelease({account->ResId()});
    }
    std::vector<TCall> Calls()
    {
        std::lock_guard lock(FMutex);
        return FCalls;
    }
    std::vector<TTransportStep> Steps()
    {
        std::vector<TTransportStep> steps;
        for (const auto& call : Calls())
            steps.push_back(call.Step);
        return steps;
    }
    std::vector<TSchedulingRunable::TJobView> Pending() { return FScheduler->PendingJobs(); }

    TRetainCountObjectAutoReleasePool FPool;
    fs::path FData;
    std::unique_ptr<TScratchFolder> FScratch;
    std::unique_ptr<TAccountManagers> FManagers;
    std::vector<TRcRef<TRcAccount>> FAccounts;
    std::shared_ptr<TFakeClock> FClock = std::make_shared<TFakeClock>();
    TRcRef<TSchedulingRunable> FScheduler;
    std::unique_ptr<TThreadForRunable> FThread;
    TRcRef<TProgressRecorder> FProgress = MakeRc<TProgressRecorder>();
    std::atomic<bool> FServiceOn{true};
    // What every transfer does; set before the first job.
    std::function<void(TTransportStep, TTestRunable&)> FBody;
    std::mutex FMutex;
    std::vector<TCall> FCalls;
};

TEST_F(SchedulerTest, PeriodicJobsWaitTheirIntervalWithinTheClamp)
{
    Start();
    EXPECT_EQ(FClock->Sleeps(), 1u);   // no job: it sleeps until one comes
    TRcResPath* account = Account(true, 1);
    FScheduler->UpdateAutoReceiveSendState(account);
    EXPECT_EQ(FClock->Sleep(2), TSchedulingRunable::kMinWaitMs);   // not due yet: one interval
    EXPECT_TRUE(Calls().empty());
    ASSERT_EQ(Pending().size(), 1u);
    EXPECT_EQ(Pending()[0].RunState, TRcWorker::wrsNoToTime);
    EXPECT_EQ(Pending()[0].Action, TRcWorker::waReceiveSend);

    FClock->Advance(60s);
    EXPECT_EQ(FClock->Sleep(3), TSchedulingRunable::kMinWaitMs);
    // Sending, submission, then collection (the service is on).
    EXPECT_EQ(Steps(), (std::vector<TTransportStep>{tsSmtpSend, tsNorvelSubmit, tsNorvelCollect}));
    EXPECT_EQ(Pending()[0].RunState, TRcWorker::wrsRunOk);

    // A five-hour interval sleeps two hours at most; re-registering
    // replaces the job instead of adding a second one.
    FAccounts[0]->SetAutoReveiveSendInterval(300);
    TAccountManager::AccountManager()->SaveAccount(FAccounts[0].Get());
    FScheduler->UpdateAutoReceiveSendState(account);
    EXPECT_EQ(FClock->Sleep(4), TSchedulingRunable::kMaxWaitMs);
    ASSERT_EQ(Pending().size(), 1u);
    EXPECT_EQ(Pending()[0].Interval, 300);

    // Switched off: gone at once.
    FAccounts[0]->SetAutoReveiveSend(false);
    TAccountManager::AccountManager()->SaveAccount(FAccounts[0].Get());
    FScheduler->UpdateAutoReceiveSendState(account);
    EXPECT_TRUE(Pending().empty());
}

TEST_F(SchedulerTest, APriorityJobAddedDuringABatchRunsRightAfterIt)
{
    TRcResPath* account = Account(false);
    std::atomic<int> runs{0};
    FBody = [&](TTransportStep aStep, TTestRunable& aRunable) {
        if (aStep != tsSmtpSend || runs++ != 0)
            return;
        FScheduler->AddPriorityReceive(account);   // as the user clicks during a send
        // The test's sender accepted one mail and left one queued.
        TRetainCountObjectAutoReleasePool pool;
        for (TMailSendReceiveState state : {msarsSendOk, msarsSendToSmtp}) {
            auto mail = TAccountMailManager::AccountMailManager()->CreateMail();
            mail->FSendReceiveState = state;
            TAccountMailManager::AccountMailManager()->SaveMail(
                TAccountFolderManager::AccountFolderManager()->GetStandardFolderResPath(
                    aRunable.Job().AccountResPath, aftSending),
                mail.Get());
        }
    };
    FScheduler->AddPrioritySend(account);
    Start();
    FClock->Sleep(3);   // two batches, no time passed in between
    EXPECT_EQ(Steps(), (std::vector<TTransportStep>{tsSmtpSend, tsNorvelSubmit, tsNorvelCollect}));
    EXPECT_EQ(Calls()[0].TaskId, 1);
    EXPECT_EQ(Calls()[2].TaskId, 2);
    EXPECT_EQ(FProgress->Count("process begin"), 2);
    EXPECT_TRUE(Pending().empty());   // both one-shot jobs succeeded and left
    TAccountFolderManager* folders = TAccountFolderManager::AccountFolderManager();
    TAccountMailManager* mails = TAccountMailManager::AccountMailManager();
    EXPECT_EQ(mails->GetMails(folders->GetStandardFolderResPath(account, aftOutBox))->Count(), 1);
    EXPECT_EQ(mails->GetMails(folders->GetStandardFolderResPath(account, aftSending))->Count(), 1);
}

TEST_F(SchedulerTest, AFailedOneShotJobIsRetriedEveryThreeMinutesUntilItSucceeds)
{
    TRcResPath* account = Account(false);
    std::atomic<int> attempts{0};
    FBody = [&](TTransportStep aStep, TTestRunable& aRunable) {
        if (aStep == tsSmtpSend && ++attempts < 3)
            aRunable.Fail("refused");
    };
    FScheduler->AddPrioritySend(account);
    Start();
    EXPECT_EQ(FClock->Sleep(2), 180000u);
    ASSERT_EQ(Pending().size(), 1u);
    EXPECT_EQ(Pending()[0].RunState, TRcWorker::wrsFail);
    FClock->Advance(179s);
    EXPECT_EQ(FClock->Sleeps(), 2u);   // not before its time
    FClock->Advance(1s);
    EXPECT_EQ(FClock->Sleep(3), 180000u);
    FClock->Advance(180s);
    FClock->Sleep(4);
    EXPECT_EQ(attempts.load(), 3);
    EXPECT_TRUE(Pending().empty());
    EXPECT_EQ(FProgress->Count("error 1 refused"), 2);
    // A failed send still moves what was sent; submission is skipped only
    // on a cancel.
    EXPECT_EQ(Steps(), (std::vector<TTransportStep>{tsSmtpSend, tsNorvelSubmit, tsSmtpSend, tsNorvelSubmit,
                                                    tsSmtpSend, tsNorvelSubmit}));
}

TEST_F(SchedulerTest, AFailingAccountDoesNotStopTheOthersButCancelStopsTheBatch)
{
    TRcResPath* first = Account(true, 5);
    TRcResPath* second = Account(true, 5);
    TRcResPath* third = Account(true, 5);
    FBody = [&](TTransportStep aStep, TTestRunable& aRunable) {
        if (aStep != tsSmtpSend)
            return;
        if (aRunable.Job().AccountResPath->At(0)->Equals(first->At(0)))
            aRunable.Fail("wrong password");
        if (aRunable.Job().AccountResPath->At(0)->Equals(second->At(0)))
            throw std::runtime_error("disk full");
    };
    for (TRcResPath* account : {first, second, third})
        FScheduler->UpdateAutoReceiveSendState(account);
    Start();
    FClock->Sleep(2);
    FClock->Advance(5min);
    EXPECT_EQ(FClock->Sleep(3), 300000u);
    std::vector<std::string> accounts;
    for (const auto& call : Calls())
        if (call.Step == tsSmtpSend)
            accounts.push_back(call.Account);
    EXPECT_EQ(accounts, (std::vector<std::string>{first->At(0)->Id(), second->At(0)->Id(), third->At(0)->Id()}));
    const auto jobs = Pending();
    ASSERT_EQ(jobs.size(), 3u);
    EXPECT_EQ(jobs[0].RunState, TRcWorker::wrsFail);
    EXPECT_EQ(jobs[1].RunState, TRcWorker::wrsFail);
    EXPECT_EQ(jobs[2].RunState, TRcWorker::wrsRunOk);
    EXPECT_EQ(FProgress->Count("error " + std::to_string(jobs[1].Id) + " 异常(std::runtime_error)：disk full"), 1);
    // Every task that began ended, the failed ones too.
    EXPECT_EQ(FProgress->Count("task begin"), FProgress->Count("task end"));

    // A cancel during the first job ends the batch: the others wait a full
    // interval.
    std::atomic<bool> blocked{false};
    FBody = [&](TTransportStep aStep, TTestRunable& aRunable) {
        if (aStep == tsSmtpSend && aRunable.Job().AccountResPath->At(0)->Equals(first->At(0))) {
            aRunable.BlockUntilCancelled(blocked);
        }
    };
    const std::size_t before = Calls().size();
    FClock->Advance(5min);
    while (!blocked)
        std::this_thread::sleep_for(1ms);
    FScheduler->Cancel();
    FClock->Sleep(4);
    EXPECT_EQ(Calls().size(), before + 1);   // the first job's send, nothing more
    EXPECT_EQ(Pending()[0].RunState, TRcWorker::wrsCancel);
    EXPECT_EQ(Pending()[1].RunState, TRcWorker::wrsWaitRun);
}

// An observer that fails outside any job neither ends the thread nor
// loses the batch.
TEST_F(SchedulerTest, AFailingObserverLosesNoJob)
{
    class TThrowing : public TProgressRecorder {
    public:
        void ProcessBegin() override
        {
            if (FThrow.exchange(false))
                throw std::runtime_error("window gone");
        }
        std::atomic<bool> FThrow{true};
    };
    auto throwing = MakeRc<TThrowing>();
    FScheduler->Observable()->RegisterObserver(throwing.Get());
    FScheduler->AddPrioritySend(Account(false));
    Start();
    EXPECT_EQ(FClock->Sleep(2), TSchedulingRunable::kMinWaitMs);
    EXPECT_TRUE(Calls().empty());
    ASSERT_EQ(Pending().size(), 1u);
    FClock->Advance(60s);
    FClock->Sleep(3);
    EXPECT_EQ(Steps(), (std::vector<TTransportStep>{tsSmtpSend, tsNorvelSubmit}));
    EXPECT_TRUE(Pending().empty());
    FScheduler->Observable()->UnRegisterObserver(throwing.Get());
}

// A cancel that comes while a batch starts (its observers run) reaches the
// batch's first transfer.
TEST_F(SchedulerTest, ACancelAsTheBatchStartsReachesItsFirstTransfer)
{
    class TCancelling : public TProgressRecorder {
    public:
        explicit TCancelling(TSchedulingRunable* aScheduler) : FScheduler(aScheduler) {}
        void ProcessBegin() override { FScheduler->Cancel(); }

    private:
        TSchedulingRunable* FScheduler;
    };
    auto cancelling = MakeRc<TCancelling>(FScheduler.Get());
    FScheduler->Observable()->RegisterObserver(cancelling.Get());
    std::atomic<int> sawCancel{0};
    FBody = [&](TTransportStep, TTestRunable& aRunable) {
        if (aRunable.Job().Observable->FCancel)
            ++sawCancel;
    };
    FScheduler->AddPrioritySend(Account(false));
    Start();
    FClock->Sleep(2);
    EXPECT_EQ(Steps(), std::vector<TTransportStep>{tsSmtpSend});   // and no submission
    EXPECT_EQ(sawCancel.load(), 1);
    EXPECT_TRUE(Pending().empty());
    FScheduler->Observable()->UnRegisterObserver(cancelling.Get());
}

// A terminate wins over every job still waiting in the batch: shutting
// down never waits for one more transfer.
TEST_F(SchedulerTest, TerminateEndsTheBatch)
{
    std::vector<std::string> ids;
    for (int i = 0; i < 3; ++i) {
        FScheduler->AddPrioritySend(Account(false));
        ids.push_back(FAccounts.back()->Id());
    }
    std::atomic<bool> sawCancel{false};
    FBody = [&](TTransportStep aStep, TTestRunable& aRunable) {
        if (aStep == tsSmtpSend && aRunable.Job().AccountResPath->At(0)->Id() == ids[1]) {
            FScheduler->Terminate();
            sawCancel = aRunable.Job().Observable->FCancel.load();
        }
    };
    Start();
    FThread.reset();   // the thread ends by itself
    std::vector<std::string> sent;
    for (const auto& call : Calls())
        sent.push_back(std::string(call.Step == tsSmtpSend ? "send " : "submit ") +
                       std::to_string(std::find(ids.begin(), ids.end(), call.Account) - ids.begin()));
    // Priority jobs go to the head of the list: the last added runs first.
    EXPECT_EQ(sent, (std::vector<std::string>{"send 2", "submit 2", "send 1"}));
    EXPECT_TRUE(sawCancel);
}

TEST_F(SchedulerTest, CancelDropsAOneShotJobAndSwitchingOffDropsARunningPeriodicJob)
{
    TRcResPath* account = Account(true, 1);
    std::atomic<bool> blocked{false};
    FBody = [&](TTransportStep aStep, TTestRunable& aRunable) {
        if (aStep == tsSmtpSend) {
            aRunable.BlockUntilCancelled(blocked);
        }
    };
    FScheduler->AddPrioritySend(account);
    Start();
    while (!blocked)
        std::this_thread::sleep_for(1ms);
    FScheduler->Cancel();
    FClock->Sleep(2);
    EXPECT_TRUE(Pending().empty());
    EXPECT_EQ(Steps(), std::vector<TTransportStep>{tsSmtpSend});   // no submission after a cancel

    // The periodic job is running when its account is switched off: it
    // does not come round again.
    FScheduler->UpdateAutoReceiveSendState(account);
    FClock->Sleep(3);
    blocked = false;
    FClock->Advance(60s);
    while (!blocked)
        std::this_thread::sleep_for(1ms);
    FAccounts[0]->SetAutoReveiveSend(false);
    TAccountManager::AccountManager()->SaveAccount(FAccounts[0].Get());
    FScheduler->UpdateAutoReceiveSendState(account);
    FScheduler->Cancel();
    FClock->Sleep(4);
    EXPECT_TRUE(Pending().empty());
}

TEST_F(SchedulerTest, ReceivingWithoutTheServiceAndTheDateWindow)
{
    TRcResPath* account = Account(false);
    // The test's POP3 receiver stores one mail in the receiving folder.
    FBody = [&](TTransportStep aStep, TTestRunable& aRunable) {
        if (aStep == tsNorvelCollect)
            aRunable.Job().Observable->FReceiveNorvelServerRejected = true;
        if (aStep != tsPop3Receive)
            return;
        TRetainCountObjectAutoReleasePool pool;
        TAccountMailManager* mails = TAccountMailManager::AccountMailManager();
        auto mail = mails->CreateMail();
        mail->FSendReceiveState = aRunable.Job().Pop3Mode == prmPop3NoTranslate ? msarsPop3NotTranslate
                                                                                 : msarsPop3Translate;
        mails->SaveMail(TAccountFolderManager::AccountFolderManager()->GetStandardFolderResPath(
                            aRunable.Job().AccountResPath, aftReceiving),
                        mail.Get());
    };
    TRcResPath* inbox = TAccountFolderManager::AccountFolderManager()->GetStandardFolderResPath(account, aftInBox);
    TAccountMailManager* mails = TAccountMailManager::AccountMailManager();

    FServiceOn = false;
    FScheduler->AddPriorityReceive(account);
    Start();
    FClock->Sleep(2);
    ASSERT_EQ(Calls().size(), 1u);
    EXPECT_EQ(Calls()[0].Step, tsPop3Receive);
    EXPECT_EQ(Calls()[0].Mode, prmPop3NoTranslate);
    EXPECT_EQ(Calls()[0].Begin, 45000);   // the account's earliest date, as a whole day
    EXPECT_EQ(Calls()[0].End, WholeDay(MaxDateTime()));
    EXPECT_EQ(mails->GetMails(inbox)->Count(), 1);   // in the inbox when the job ends
    EXPECT_EQ(mails->NotReadedFlagNewMailCount(), 1);

    // With the service on, a rejected account falls back to POP3 for
    // translation: those mails stay in the receiving folder.
    FServiceOn = true;
    FScheduler->AddPriorityReceive(account);
    FClock->Sleep(3);
    EXPECT_EQ(Steps(), (std::vector<TTransportStep>{tsPop3Receive, tsNorvelCollect, tsPop3Receive}));
    EXPECT_EQ(Calls()[2].Mode, prmPop3Translate);
    EXPECT_EQ(mails->GetMails(inbox)->Count(), 1);

    // A window that ends before it begins receives nothing and succeeds.
    FScheduler->AddPriorityPop3ReceiveNoTranslate(account, 46001.7, 46000.2);
    FClock->Sleep(4);
    EXPECT_EQ(Calls().size(), 3u);
    EXPECT_TRUE(Pending().empty());
    FScheduler->AddPriorityPop3ReceiveNoTranslate(account, 46000.7, 46001.2);
    FClock->Sleep(5);
    ASSERT_EQ(Calls().size(), 4u);
    EXPECT_EQ(Calls()[3].Begin, 46000);
    EXPECT_EQ(Calls()[3].End, 46001);
    EXPECT_EQ(mails->GetMails(inbox)->Count(), 2);
}

TEST(MailSendReceiveObservableTest, ProgressIsThinnedToTenAMomentWithEveryStartAndEnd)
{
    TRetainCountObjectAutoReleasePool pool;
    auto clock = std::make_shared<TFakeClock>();
    auto observable = MakeRc<TRcMailSendReceiveObservable>(clock);
    auto recorder = MakeRc<TProgressRecorder>();
    observable->RegisterObserver(recorder.Get());

    constexpr int64_t kTotal = 10'000'000;
    for (int step = 0; step <= 1000; ++step) {   // one second, a step a millisecond
        observable->NotifyMailProgress(1, kTotal, kTotal * step / 1000);
        clock->Advance(1ms);
    }
    const int forwarded = recorder->Count("progress");
    EXPECT_GE(forwarded, 11);
    EXPECT_LE(forwarded, 13);
    EXPECT_EQ(recorder->Events().front(), "progress 0/10000000");
    EXPECT_EQ(recorder->Events().back(), "progress 10000000/10000000");

    // The same pair again within 100 ms is dropped, even at the end; a new
    // mail's first step always passes; past 4 GiB the values stay exact.
    observable->NotifyMailProgress(1, kTotal, kTotal);
    EXPECT_EQ(recorder->Count("progress"), forwarded);
    observable->NotifyMailProgress(1, kTotal, 5);
    EXPECT_EQ(recorder->Count("progress"), forwarded);
    observable->NotifyMailSwitch(1, 2, mskReceiving, 2);
    observable->NotifyMailProgress(1, int64_t(6) << 30, int64_t(5) << 30);
    EXPECT_EQ(recorder->Events().back(), "progress 5368709120/6442450944");

    EXPECT_FALSE(observable->FHasErrorOccur);
    observable->NotifyTaskUpdateInfo(1, "info");
    observable->NotifyMailUpdateDesc(1, "subject");
    EXPECT_FALSE(observable->FHasErrorOccur);
    observable->NotifyTaskOccurError(1, "boom");
    EXPECT_TRUE(observable->FHasErrorOccur);
    observable->UnRegisterObserver(recorder.Get());
}

TEST(WorkerTest, TextForm)
{
    TRetainCountObjectAutoReleasePool pool;
    TRcResPath* path = TRcResPath::CreateAndAutoRelease({TRcResId::CreateAndAutoRelease(rtAccount, "A1")});
    auto plain = MakeRc<TRcWorker>(7, TRcWorker::waReceiveSend, path, 10,
                                   EncodeDateTime({2026, 12, 10, 9, 5, 3, 999}), nullptr);
    EXPECT_EQ(plain->ToString(), "Work{ ID: 7; 动作: waReceiveSend, 间隔: 10, 执行时间: 2026-12-10 09:05:03, "
                                 "执行状态: wrsNew, 资源路径: \\Account:A1, 选项:  }");
    auto window = MakeRc<TRcPop3NoTranslateOpertionImpl>(46000.9, 46001.1);
    EXPECT_EQ(window->BeginDate(), 46000);
    EXPECT_EQ(window->EndDate(), 46001);
    auto withOptions = MakeRc<TRcWorker>(8, TRcWorker::waPop3NoTranslate, path, 0, 0, window.Get());
    withOptions->SetRunState(TRcWorker::wrsFail);
    EXPECT_EQ(withOptions->ToString(), "Work{ ID: 8; 动作: waPop3NoTranslate, 间隔: 0, 执行时间: 1899-12-30 00:00:00, "
                                       "执行状态: wrsFail, 资源路径: \\Account:A1, 选项: 有 }");
}

// The program's driver with the real clock: it follows the account list,
// and shutting down reaches a transfer that hangs.
TEST(ServerDriverTest, FollowsTheAccountListAndShutsDownAHangingTransfer)
{
    TRetainCountObjectAutoReleasePool pool;
    const TScratchFolder scratch("qm-driver");
    const fs::path& data = scratch.Path();
    {
        TAccountManagers managers(data);
        TServerDriver::BuildInstance();
        TServerDriver* driver = TServerDriver::ServerDriver();
        std::atomic<bool> blocked{false};
        driver->Scheduler()->Transports().Set(tsSmtpSend, [&](const TTransportJob& aJob) {
            return TRcRef<IRunable>::Adopt(new TTestRunable(aJob, [&](TTestRunable& aRunable) {
                aRunable.BlockUntilCancelled(blocked);
            }));
        });
        driver->Init();
        TAccountManager* accounts = TAccountManager::AccountManager();

        // A new account with automatic mode gets its periodic job at once.
        auto account = accounts->CreateNewAccount();
        account->SetEmail("a@example.com");
        accounts->SaveAccount(account.Get());
        auto jobs = driver->Scheduler()->PendingJobs();
        ASSERT_EQ(jobs.size(), 1u);
        EXPECT_EQ(jobs[0].Interval, 10);
        // Saving other settings keeps it; a new interval replaces it.
        account->SetName("A");
        accounts->SaveAccount(account.Get());
        EXPECT_EQ(driver->Scheduler()->PendingJobs()[0].Id, jobs[0].Id);
        account->SetAutoReveiveSendInterval(20);
        accounts->SaveAccount(account.Get());
        ASSERT_EQ(driver->Scheduler()->PendingJobs().size(), 1u);
        EXPECT_EQ(driver->Scheduler()->PendingJobs()[0].Interval, 20);

        // Deleting the account drops its jobs, the user's one-shot jobs too.
        auto other = accounts->CreateNewAccount();
        other->SetEmail("b@example.com");
        other->SetAutoReveiveSend(false);
        accounts->SaveAccount(other.Get());
        driver->Scheduler()->SetTranslationServiceOn([] { return false; });
        accounts->DeleteAccount(account->ResId());
        EXPECT_TRUE(driver->Scheduler()->PendingJobs().empty());

        // A send that hangs is cancelled by the shut-down.
        driver->PrioritySend(TRcResPath::CreateAndAutoRelease({other->ResId()}));
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (!blocked && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(1ms);
        ASSERT_TRUE(blocked);
        const auto start = std::chrono::steady_clock::now();
        driver->UnInit();
        EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
        TServerDriver::ReleaseInstance();
    }
}

} // namespace
