#include "MailSendReceiveObservable.h"

#include <limits>

#include "Runtime/Log.h"

namespace {

constexpr TDateTime kThrottle = 100.0 / 86400000.0;   // 100 ms in days
constexpr const char* kClass = "TRcMailSendReceiveObservable.";

std::string Name(const char* aOperation)
{
    return std::string(kClass) + aOperation;
}

} // namespace

TRcMailSendReceiveObservable::TRcMailSendReceiveObservable(TSchedulerClockPtr aClock) : FClock(std::move(aClock))
{
    ResetThrottle();
}

void TRcMailSendReceiveObservable::ResetThrottle()
{
    std::lock_guard lock(CriticalSection());
    FLastDate = 0;
    FLastCurr = FLastMax = std::numeric_limits<int64_t>::min();
}

void TRcMailSendReceiveObservable::NotifyProcessBegin()
{
    TLog::MEnter(lolInfo, Name("NotifyProcessBegin"));
    ResetThrottle();
    ForEachObserver([](IMailSendReciveObserver& aObserver) { aObserver.ProcessBegin(); });
}

void TRcMailSendReceiveObservable::NotifyProcessEnd()
{
    ForEachObserver([](IMailSendReciveObserver& aObserver) { aObserver.ProcessEnd(); });
    ResetThrottle();
    TLog::MExit(lolInfo, Name("NotifyProcessEnd"));
}

void TRcMailSendReceiveObservable::NotifyTaskBegin(int aTaskId, const std::string& aCaption)
{
    TLog::AddSeparator(lolInfo);
    TLog::O(lolInfo, Name("NotifyTaskBegin") + " TaskId: %d; Caption: %s", {aTaskId, aCaption});
    ResetThrottle();
    ForEachObserver([&](IMailSendReciveObserver& aObserver) { aObserver.TaskBegin(aTaskId, aCaption); });
}

void TRcMailSendReceiveObservable::NotifyTaskEnd(int aTaskId)
{
    TLog::AddSeparator(lolInfo);
    TLog::O(lolInfo, Name("NotifyTaskEnd") + " TaskId: %d", {aTaskId});
    ForEachObserver([&](IMailSendReciveObserver& aObserver) { aObserver.TaskEnd(aTaskId); });
    ResetThrottle();
}

void TRcMailSendReceiveObservable::NotifyActivityBegin(int aTaskId, const std::string& aCaption,
                                                       TRcResId* aAccountResId)
{
    TLog::AddSeparator(lolInfo);
    TLog::O(lolInfo, Name("NotifyActivityBegin") + " TaskId: %d; Caption: %s", {aTaskId, aCaption});
    ResetThrottle();
    ForEachObserver(
        [&](IMailSendReciveObserver& aObserver) { aObserver.ActivityBegin(aTaskId, aCaption, aAccountResId); });
}

void TRcMailSendReceiveObservable::NotifyActivityEnd(int aTaskId)
{
    TLog::O(lolInfo, Name("NotifyActivityEnd") + " TaskId: %d", {aTaskId});
    ForEachObserver([&](IMailSendReciveObserver& aObserver) { aObserver.ActivityEnd(aTaskId); });
    ResetThrottle();
}

void TRcMailSendReceiveObservable::NotifyMailSwitch(int aTaskId, int aMailCount, TMailSwitchKind aKind,
                                                    int aMailIndex)
{
    TLog::O(lolInfo, Name("NotifyMailSwitch") + " aTaskId: %d; Mails: %d / %d", {aTaskId, aMailIndex, aMailCount});
    ResetThrottle();
    ForEachObserver(
        [&](IMailSendReciveObserver& aObserver) { aObserver.MailSwitch(aTaskId, aMailCount, aKind, aMailIndex); });
}

void TRcMailSendReceiveObservable::NotifyMailUpdateDesc(int aTaskId, const std::string& aMailDesc)
{
    TLog::O(lolInfo, Name("NotifyMailUpdateDesc") + " aTaskId: %d; MailDesc: %s", {aTaskId, aMailDesc});
    ForEachObserver([&](IMailSendReciveObserver& aObserver) { aObserver.MailUpdateDesc(aTaskId, aMailDesc); });
}

void TRcMailSendReceiveObservable::NotifyMailProgress(int aTaskId, int64_t aMaxByte, int64_t aCurrByte,
                                                      const std::string& aMessage)
{
    std::lock_guard lock(CriticalSection());
    const TDateTime now = FClock->Now();
    const bool timeUp = FLastDate + kThrottle <= now;
    const bool edge = (aCurrByte != FLastCurr || aMaxByte != FLastMax) && (aCurrByte == 0 || aCurrByte == aMaxByte);
    if (!timeUp && !edge)
        return;
    FLastDate = now;
    FLastCurr = aCurrByte;
    FLastMax = aMaxByte;
    ForEachObserver(
        [&](IMailSendReciveObserver& aObserver) { aObserver.MailProgress(aTaskId, aMessage, aCurrByte, aMaxByte); });
}

void TRcMailSendReceiveObservable::NotifyTaskUpdateInfo(int aTaskId, const std::string& aMessage)
{
    TLog::O(lolInfo, Name("NotifyTaskUpdateInfo") + " TaskId: %d; Message: %s", {aTaskId, aMessage});
    ForEachObserver([&](IMailSendReciveObserver& aObserver) { aObserver.TaskUpdateInfo(aTaskId, aMessage); });
}

void TRcMailSendReceiveObservable::NotifyTaskUpdateSubject(int aTaskId, const std::string& aMessage,
                                                           const std::string& aType)
{
    TLog::O(lolInfo, Name("NotifyTaskUpdateSubject") + " TaskId: %d; Message: %s", {aTaskId, aMessage});
    ForEachObserver(
        [&](IMailSendReciveObserver& aObserver) { aObserver.TaskUpdateSubject(aTaskId, aMessage, aType); });
}

void TRcMailSendReceiveObservable::NotifyTaskOccurError(int aTaskId, const std::string& aMessage)
{
    TLog::O(lolWorn, Name("NotifyTaskOccurError") + " TaskId: %d; Message: %s", {aTaskId, aMessage});
    FHasErrorOccur = true;
    ForEachObserver([&](IMailSendReciveObserver& aObserver) { aObserver.TaskOccurError(aTaskId, aMessage); });
}

void TRcMailSendReceiveObservable::NotifyOccurError(const std::string& aMessage)
{
    TLog::O(lolWorn, Name("NotifyOccurError"), aMessage);
    FHasErrorOccur = true;
    ForEachObserver([&](IMailSendReciveObserver& aObserver) { aObserver.OccurError(aMessage); });
}
