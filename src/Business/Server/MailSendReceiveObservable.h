// TRcMailSendReceiveObservable: everything the scheduler and its transfers
// report, logged and passed on to the observers. It also keeps the flags
// that steer the scheduler — cancel requested, an error in this batch, the
// translation service refused the account — and the cancel list through
// which a cancel reaches every running transfer. Byte progress is thinned
// to one event per 100 ms, starts and ends of a transfer excepted.
#pragma once

#include <atomic>

#include "MailSendReceiveObserver.h"
#include "SchedulerClock.h"
#include "Runtime/Observable.h"
#include "Runtime/RunableCancelList.h"

class TRcMailSendReceiveObservable : public TRcObservable<IMailSendReciveObserver> {
public:
    explicit TRcMailSendReceiveObservable(TSchedulerClockPtr aClock = std::make_shared<TSchedulerClock>());

    void NotifyProcessBegin();
    void NotifyProcessEnd();
    void NotifyTaskBegin(int aTaskId, const std::string& aCaption);
    void NotifyTaskEnd(int aTaskId);
    void NotifyActivityBegin(int aTaskId, const std::string& aCaption, TRcResId* aAccountResId);
    void NotifyActivityEnd(int aTaskId);
    void NotifyMailSwitch(int aTaskId, int aMailCount, TMailSwitchKind aKind, int aMailIndex);
    void NotifyMailUpdateDesc(int aTaskId, const std::string& aMailDesc);
    void NotifyMailProgress(int aTaskId, int64_t aMaxByte, int64_t aCurrByte, const std::string& aMessage = {});
    void NotifyTaskUpdateInfo(int aTaskId, const std::string& aMessage);
    void NotifyTaskUpdateSubject(int aTaskId, const std::string& aMessage, const std::string& aType);
    // Both mark the batch as failed.
    void NotifyTaskOccurError(int aTaskId, const std::string& aMessage);
    void NotifyOccurError(const std::string& aMessage);

    // Read by transfers on the scheduler thread while the GUI thread sets
    // the cancel: atomics, so a read is never torn and soon sees the write.
    std::atomic<bool> FCancel{false};
    std::atomic<bool> FHasErrorOccur{false};
    std::atomic<bool> FReceiveNorvelServerRejected{false};

    TRunableCancelList& CancelList() { return FCancelList; }

private:
    void ResetThrottle();

    TSchedulerClockPtr FClock;
    TRunableCancelList FCancelList;
    // The last progress passed on; guarded by the observable's lock.
    TDateTime FLastDate = 0;
    int64_t FLastCurr = 0;
    int64_t FLastMax = 0;
};
