#include "SchedulingRunable.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <typeinfo>

#include "Business/Account/AccountFolder.h"
#include "Business/Account/AccountManager.h"
#include "Business/AccountMail/AccountMailManager.h"
#include "Business/Data/ConfigManager.h"
#include "Runtime/AutoReleasePool.h"
#include "Runtime/Finally.h"
#include "Runtime/Log.h"
#include "Runtime/TypeName.h"
#include "Runtime/TextFormat.h"

namespace {

constexpr double kMsPerDay = 86400000.0;

bool SameAccount(const TRcResPath* aLeft, const TRcResPath* aRight)
{
    return aLeft && aRight && aLeft->Count() > 0 && aRight->Count() > 0 && aLeft->At(0)->Equals(aRight->At(0));
}

bool IsAccountPath(const TRcResPath* aPath)
{
    return aPath && aPath->Count() > 0 && aPath->At(0)->IsType(rtAccount);
}

// The exception's own class, readable.
std::string ClassName(const std::exception& aError)
{
    return DemangledName(typeid(aError));
}

TRcAccount* AccountOf(TRcResPath* aPath)
{
    TAccountManager* accounts = TAccountManager::AccountManager();
    return accounts ? accounts->GetAccount(aPath) : nullptr;
}

} // namespace

TSchedulingRunable::TSchedulingRunable(TSchedulerClockPtr aClock)
    : FOuterWorkList(MakeRc<TRcWorkerList>()), FOuterDeleteAccountResPathList(MakeRc<TRcResPathList>()),
      FInnerRunWorkerList(MakeRc<TRcWorkerList>()), FClock(std::move(aClock)),
      FObservable(MakeRc<TRcMailSendReceiveObservable>(FClock))
{
    SetProgramTransportRunables(FTransports);
}

// ---- what callers ask -----------------------------------------------------

void TSchedulingRunable::AddPriority(TRcWorker::TAction aAction, TRcResPath* aResPath, IWorkerOpertion* aOpertion)
{
    if (!IsAccountPath(aResPath))
        return;
    auto worker = MakeRc<TRcWorker>(NextId(), aAction, aResPath, 0, 0, aOpertion);
    {
        std::lock_guard lock(FLock);
        FOuterWorkList->Insert(0, worker.Get());
    }
    FEvent.Set();
}

void TSchedulingRunable::AddPriorityReceive(TRcResPath* aResPath)
{
    AddPriority(TRcWorker::waReceive, aResPath, nullptr);
}

void TSchedulingRunable::AddPrioritySend(TRcResPath* aResPath)
{
    AddPriority(TRcWorker::waSend, aResPath, nullptr);
}

void TSchedulingRunable::AddPriorityPop3ReceiveNoTranslate(TRcResPath* aResPath, TDateTime aBeginDate,
                                                           TDateTime aEndDate)
{
    auto window = MakeRc<TRcPop3NoTranslateOpertionImpl>(aBeginDate, aEndDate);
    AddPriority(TRcWorker::waPop3NoTranslate, aResPath, window.Get());
}

void TSchedulingRunable::UpdateAutoReceiveSendState(TRcResPath* aResPath)
{
    if (!IsAccountPath(aResPath))
        return;
    TRcAccount* account = AccountOf(aResPath);
    const bool automatic = account && account->AutoReveiveSend();
    const int interval = PeriodicInterval(account ? account->AutoReveiveSendInterval() : 1);
    TRcResPath* accountPath = aResPath->LeftPath(1);
    {
        std::lock_guard lock(FLock);
        for (int i = FOuterWorkList->Count() - 1; i >= 0; --i) {
            TRcWorker* worker = FOuterWorkList->GetItem(i);
            if (worker->Periodic() && SameAccount(worker->ResPath(), aResPath))
                FOuterWorkList->Delete(i);
        }
        for (int i = FOuterDeleteAccountResPathList->Count() - 1; i >= 0; --i)
            if (SameAccount(FOuterDeleteAccountResPathList->GetItem(i), aResPath))
                FOuterDeleteAccountResPathList->Delete(i);
        if (!automatic) {
            FOuterDeleteAccountResPathList->Add(accountPath);
            return;
        }
        auto worker = MakeRc<TRcWorker>(NextId(), TRcWorker::waReceiveSend, accountPath, interval,
                                        FClock->Now() + interval / 1440.0, nullptr);
        FOuterWorkList->Add(worker.Get());
    }
    FEvent.Set();
}

void TSchedulingRunable::DeleteAccountAllSendReceive(TRcResPath* aResPath)
{
    if (!IsAccountPath(aResPath))
        return;
    std::lock_guard lock(FLock);
    for (int i = FOuterWorkList->Count() - 1; i >= 0; --i)
        if (SameAccount(FOuterWorkList->GetItem(i)->ResPath(), aResPath))
            FOuterWorkList->Delete(i);
    FOuterDeleteAccountResPathList->Add(aResPath->LeftPath(1));
}

void TSchedulingRunable::Cancel()
{
    std::lock_guard lock(FLock);
    FObservable->FCancel = true;
    FObservable->CancelList().Cancel();
}

void TSchedulingRunable::Terminate()
{
    {
        std::lock_guard lock(FLock);
        FTerminated = true;
        // Shutting down waits for the thread: whatever runs ends as soon as
        // it can, and nothing clears this again.
        FObservable->FCancel = true;
        FObservable->CancelList().Cancel();
    }
    FEvent.Set();
}

std::vector<TSchedulingRunable::TJobView> TSchedulingRunable::PendingJobs() const
{
    std::vector<TJobView> jobs;
    std::lock_guard lock(FLock);
    for (TRcWorker* worker : *FOuterWorkList)
        jobs.push_back({worker->Id(), worker->Action(), worker->Interval(), worker->AtTime(), worker->RunState(),
                        worker->ResPath()->At(0)->Id()});
    return jobs;
}

void TSchedulingRunable::SetTranslationServiceOn(std::function<bool()> aProc)
{
    std::lock_guard lock(FLock);
    FTranslationServiceOn = std::move(aProc);
}

bool TSchedulingRunable::TranslationServiceOn() const
{
    std::function<bool()> serviceOn;
    {
        std::lock_guard lock(FLock);
        serviceOn = FTranslationServiceOn;
    }
    if (serviceOn)
        return serviceOn();
    const TConfigManager* config = TConfigManager::ConfigManager();
    return config && !config->NorvelServerUrl().empty();
}

// ---- the loop -------------------------------------------------------------

void TSchedulingRunable::Run()
{
    TLog::UpdateCurrentThreadName("收发邮件调度执行器");
    auto trace = TLog::MEnterExit(lolInfo, lolDebug, "TSchedulingRunable.Run");
    uint32_t wait = TAutoResetEvent::kInfinite;
    while (!FTerminated) {
        TRetainCountObjectAutoReleasePool pool;
        TLog::AddSeparator(lolDebug);
        TLog::O(lolDebug, "TSchedulingRunable.Run 循环 start");
        TLog::O(lolDebug, "TSchedulingRunable.Run 休眠 %us 等待被唤醒", {wait / 1000});
        const bool signalled = FClock->Wait(FEvent, wait);
        TLog::O(lolDebug, "TSchedulingRunable.Run 因为 \"%s\" 被唤醒", {signalled ? "wrSignaled" : "wrTimeout"});
        if (FTerminated) {
            TLog::O(lolInfo, "TSchedulingRunable.Run 执行器被终止，跳出循环");
            break;
        }
        bool pending = false;
        {
            std::lock_guard lock(FLock);
            pending = FOuterWorkList->Count() > 0;
        }
        if (!pending)
            continue;
        TLog::O(lolDebug, "TSchedulingRunable.Run 顺次执行调度器需要被执行的工作");
        double next = 0;
        try {
            next = RunWorkList();
        } catch (const std::exception& e) {
            // An observer failed outside any job: the thread and the batch
            // must both survive it.
            TLog::O(lolError, "异常(%s)：%s", {ClassName(e), e.what()});
            bool stranded = false;
            {
                std::lock_guard lock(FLock);
                stranded = FInnerRunWorkerList->Count() > 0;
            }
            if (stranded)
                next = MoveInnerRunWorkerListToOuterWorkList();
        }
        wait = static_cast<uint32_t>(std::clamp(next, double(kMinWaitMs), double(kMaxWaitMs)));
    }
}

double TSchedulingRunable::RunWorkList()
{
    {
        // A cancel is for the work from here on: one that comes while the
        // batch starts must reach its first transfer. After Terminate it
        // stays.
        std::lock_guard lock(FLock);
        FObservable->FCancel = FTerminated.load();
    }
    FObservable->NotifyProcessBegin();
    TFinally end([this] { FObservable->NotifyProcessEnd(); });
    {
        std::lock_guard lock(FLock);
        FInnerRunWorkerList->Clear();
        FInnerRunWorkerList->AddList(FOuterWorkList.Get());
        FOuterWorkList->Clear();
    }
    LogOutputWorkList("内部工作列表", FInnerRunWorkerList.Get());
    // A job due within the next second runs now: the sleep was rounded to
    // whole milliseconds and may end a little early.
    const TDateTime due = FClock->Now() + kDueSlackSeconds / 86400.0;
    for (TRcWorker* worker : *FInnerRunWorkerList)
        worker->SetRunState(worker->AtTime() > due ? TRcWorker::wrsNoToTime : TRcWorker::wrsWaitRun);
    FObservable->FHasErrorOccur = false;
    for (TRcWorker* worker : *FInnerRunWorkerList) {
        if (FTerminated)
            break;
        if (worker->RunState() != TRcWorker::wrsWaitRun)
            continue;
        RunWorker(worker);
        // A failed job ends only itself: another account's due job must
        // still run. A cancel ends the batch.
        if (worker->RunState() == TRcWorker::wrsCancel)
            break;
    }
    LogOutputWorkList("内部工作列表", FInnerRunWorkerList.Get());
    return MoveInnerRunWorkerListToOuterWorkList();
}

void TSchedulingRunable::RunWorker(TRcWorker* aWorker)
{
    TRetainCountObjectAutoReleasePool pool;
    FObservable->FHasErrorOccur = false;
    bool failed = false;
    try {
        RunJob(aWorker);
    } catch (const std::exception& e) {
        // Nothing may end the scheduler thread or lose the batch.
        TLog::O(lolError, "异常(%s)：%s", {ClassName(e), e.what()});
        failed = true;
    }
    if (Cancelled())
        aWorker->SetRunState(TRcWorker::wrsCancel);
    else if (failed || FObservable->FHasErrorOccur)
        aWorker->SetRunState(TRcWorker::wrsFail);
    else
        aWorker->SetRunState(TRcWorker::wrsRunOk);
}

void TSchedulingRunable::RunJob(TRcWorker* aWorker)
{
    std::string caption;
    const TConfigManager* config = TConfigManager::ConfigManager();
    auto msg = [&](const char* aKey) { return config ? config->GetMsg(aKey) : std::string(aKey); };
    switch (aWorker->Action()) {
    case TRcWorker::waPop3NoTranslate: caption = "收 POP3 邮件且不翻译"; break;
    case TRcWorker::waReceive: caption = msg("ReceiveMail"); break;
    case TRcWorker::waSend: caption = msg("SendMail"); break;
    case TRcWorker::waReceiveSend: caption = msg("AutoReceiveAndSendMail"); break;
    case TRcWorker::waSendOne: return;
    }
    FObservable->NotifyTaskBegin(aWorker->Id(), caption);
    TFinally end([&] { FObservable->NotifyTaskEnd(aWorker->Id()); });
    TLog::O(lolInfo, aWorker->ToString());
    try {
        // Inside the task, so a failure to load the rules reaches the user
        // as the reason the job failed.
        LoadAccountMailRules(aWorker->ResPath());
        switch (aWorker->Action()) {
        case TRcWorker::waPop3NoTranslate: Pop3ReceiveNoTranslate(aWorker); break;
        case TRcWorker::waReceive: Receive(aWorker); break;
        case TRcWorker::waSend: Send(aWorker); break;
        case TRcWorker::waReceiveSend: ReceiveSend(aWorker); break;
        case TRcWorker::waSendOne: break;
        }
    } catch (const std::exception& e) {
        // The user sees why the job failed, as with a transport error.
        const std::string text = FormatText("异常(%s)：%s", {ClassName(e), e.what()});
        TLog::O(lolError, text);
        FObservable->NotifyTaskOccurError(aWorker->Id(), text);
    }
}

double TSchedulingRunable::MoveInnerRunWorkerListToOuterWorkList()
{
    std::lock_guard lock(FLock);
    auto deleted = [&](TRcWorker* aWorker) {
        for (TRcResPath* path : *FOuterDeleteAccountResPathList)
            if (SameAccount(path, aWorker->ResPath()))
                return true;
        return false;
    };
    // Settings saved while the batch ran made a new periodic job already.
    auto replaced = [&](TRcWorker* aWorker) {
        for (TRcWorker* pending : *FOuterWorkList)
            if (pending->Periodic() && SameAccount(pending->ResPath(), aWorker->ResPath()))
                return true;
        return false;
    };
    for (TRcWorker* worker : *FInnerRunWorkerList) {
        const auto state = worker->RunState();
        if (worker->Periodic() && (deleted(worker) || replaced(worker)))
            continue;
        if (!worker->Periodic() && (state == TRcWorker::wrsRunOk || state == TRcWorker::wrsCancel))
            continue;
        FOuterWorkList->Add(worker);
    }
    FInnerRunWorkerList->Clear();

    const TDateTime now = FClock->Now();
    TDateTime earliest = MaxDateTime();
    for (TRcWorker* worker : *FOuterWorkList) {
        const auto state = worker->RunState();
        if (worker->Periodic()) {
            if (state == TRcWorker::wrsWaitRun || state == TRcWorker::wrsRunOk || state == TRcWorker::wrsCancel ||
                state == TRcWorker::wrsFail)
                worker->SetAtTime(now + worker->Interval() / 1440.0);
        } else if (state == TRcWorker::wrsWaitRun || state == TRcWorker::wrsFail) {
            worker->SetAtTime(now + kRetrySeconds / 86400.0);
        }
        earliest = std::min(earliest, worker->AtTime());
    }
    TLog::OutDateTime(lolDebug, "时间基础", now);
    LogOutputWorkList("对外工作列表", FOuterWorkList.Get());
    return earliest > now ? std::round((earliest - now) * kMsPerDay) : 0;
}

void TSchedulingRunable::LogOutputWorkList(const char* aTag, const TRcWorkerList* aList) const
{
    if (!TLog::Wanted(lolDebug))
        return;
    auto trace = TLog::MEnterExit(lolInfo, lolDebug, aTag);
    int index = 0;
    for (TRcWorker* worker : *aList)
        TLog::O(lolDebug, "Wrok[%d] %s", {index++, worker->ToString()});
}

// ---- the jobs -------------------------------------------------------------

TTransportJob TSchedulingRunable::JobOf(TRcWorker* aWorker) const
{
    TTransportJob job;
    job.TaskId = aWorker->Id();
    job.AccountResPath = aWorker->ResPath();
    job.Observable = FObservable.Get();
    return job;
}

TTransportJob TSchedulingRunable::Pop3Job(TRcWorker* aWorker, TPop3Mode aMode, TDateTime aBeginDate,
                                          TDateTime aEndDate) const
{
    TTransportJob job = JobOf(aWorker);
    job.Pop3Mode = aMode;
    job.BeginDate = aBeginDate;
    job.EndDate = aEndDate;
    return job;
}

void TSchedulingRunable::RunStep(TTransportStep aStep, TTransportJob aJob)
{
    TRcRef<IRunable> runable = FTransports.Create(aStep, aJob);
    if (!runable) {
        TLog::O(lolDebug, "%s 尚未提供，跳过", {TTransportRunables::StepName(aStep)});
        return;
    }
    runable->Run();
}

void TSchedulingRunable::Pop3ReceiveNoTranslate(TRcWorker* aWorker)
{
    TFinally move([&] { MoveReceivedMailsToInBox(aWorker); });
    TDateTime begin = WholeDay(MinDateTime());
    TDateTime end = WholeDay(MaxDateTime());
    if (auto* window = dynamic_cast<IPop3NoTranslateWorkerOpertion*>(aWorker->Opertion())) {
        begin = WholeDay(window->BeginDate());
        end = WholeDay(window->EndDate());
    }
    if (begin <= end)
        RunStep(tsPop3Receive, Pop3Job(aWorker, prmPop3NoTranslate, begin, end));
}

void TSchedulingRunable::ReceiveWithoutService(TRcWorker* aWorker)
{
    TRcAccount* account = AccountOf(aWorker->ResPath());
    const TDateTime earliest = account ? account->AutoReveiveEarliestDate() : MinDateTime();
    RunStep(tsPop3Receive, Pop3Job(aWorker, prmPop3NoTranslate, WholeDay(earliest), WholeDay(MaxDateTime())));
}

void TSchedulingRunable::Receive(TRcWorker* aWorker)
{
    TFinally move([&] { MoveReceivedMailsToInBox(aWorker); });
    if (!TranslationServiceOn()) {
        ReceiveWithoutService(aWorker);
        return;
    }
    FObservable->FReceiveNorvelServerRejected = false;
    RunStep(tsNorvelCollect, JobOf(aWorker));
    if (Cancelled())
        return;
    if (FObservable->FReceiveNorvelServerRejected) {
        TRcAccount* account = AccountOf(aWorker->ResPath());
        const TDateTime earliest = account ? account->AutoReveiveEarliestDate() : MinDateTime();
        RunStep(tsPop3Receive, Pop3Job(aWorker, prmPop3Translate, earliest, WholeDay(MaxDateTime())));
    }
}

void TSchedulingRunable::Send(TRcWorker* aWorker)
{
    TFinally move([&] { MoveSentMailsToOutBox(aWorker); });
    RunStep(tsSmtpSend, JobOf(aWorker));
    if (!Cancelled())
        RunStep(tsNorvelSubmit, JobOf(aWorker));
}

void TSchedulingRunable::ReceiveSend(TRcWorker* aWorker)
{
    {
        TFinally move([&] { MoveSentMailsToOutBox(aWorker); });
        RunStep(tsSmtpSend, JobOf(aWorker));
        if (Cancelled())
            return;
        RunStep(tsNorvelSubmit, JobOf(aWorker));
        if (Cancelled())
            return;
    }
    TFinally move([&] { MoveReceivedMailsToInBox(aWorker); });
    if (TranslationServiceOn())
        RunStep(tsNorvelCollect, JobOf(aWorker));
    else
        ReceiveWithoutService(aWorker);
}

namespace {

// The account's finished mails of the receiving (or sending) folder in
// aStates, moved into aTarget; the new paths, autoreleased, or nullptr
// when nothing moved.
TRcResPathList* MoveFinishedMails(TRcResPath* aAccount, bool aReceiving, const TMailSendReceiveStates& aStates,
                                  TAccountFolderType aTarget)
{
    TAccountMailManager* mails = TAccountMailManager::AccountMailManager();
    TAccountFolderManager* folders = TAccountFolderManager::AccountFolderManager();
    if (!mails || !folders)
        return nullptr;
    TRcResPath* target = folders->GetStandardFolderResPath(aAccount, aTarget);
    TRcResPathList* finished = aReceiving ? mails->GetReceivingFolderMails(aAccount, aStates)
                                          : mails->GetSendingFolderMails(aAccount, aStates);
    if (!target || !finished || finished->Count() == 0)
        return nullptr;
    auto* moved = TRcResPathList::CreateAndAutoRelease();
    mails->MoveMails(finished, target, moved);
    return moved;
}

} // namespace

void TSchedulingRunable::MoveReceivedMailsToInBox(TRcWorker* aWorker)
{
    TRcResPathList* moved = MoveFinishedMails(
        aWorker->ResPath(), true, {msarsPop3NotTranslate, msarsPop3FromNorvel, msarsPop3NorvelReject}, aftInBox);
    if (moved && moved->Count() > 0)
        TAccountMailManager::AccountMailManager()->AddNotReadedFlagNewMail(moved);
}

void TSchedulingRunable::MoveSentMailsToOutBox(TRcWorker* aWorker)
{
    MoveFinishedMails(aWorker->ResPath(), false, {msarsSendOk}, aftOutBox);
}
