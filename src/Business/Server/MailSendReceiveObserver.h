// Who hears how sending and receiving go: a process is one run of the
// scheduler's work list, a task one job, an activity one transfer inside a
// job. Observers are called on the scheduler thread; one that touches the
// screen hands the event over to the GUI thread.
#pragma once

#include <cstdint>
#include <string>

#include "Business/Resource/ResId.h"

enum TMailSwitchKind { mskSending = 1, mskReceiving = 2 };

class IMailSendReciveObserver : public virtual IRcInterface {
public:
    virtual void ProcessBegin() = 0;
    virtual void ProcessEnd() = 0;
    virtual void TaskBegin(int aTaskId, const std::string& aCaption) = 0;
    virtual void TaskEnd(int aTaskId) = 0;
    virtual void ActivityBegin(int aTaskId, const std::string& aCaption, TRcResId* aAccountResId) = 0;
    virtual void ActivityEnd(int aTaskId) = 0;
    // aMailIndex counts from 1.
    virtual void MailSwitch(int aTaskId, int aMailCount, TMailSwitchKind aKind, int aMailIndex) = 0;
    virtual void MailUpdateDesc(int aTaskId, const std::string& aMailDesc) = 0;
    virtual void MailProgress(int aTaskId, const std::string& aMessage, int64_t aCurrByte, int64_t aMaxByte) = 0;
    virtual void TaskUpdateInfo(int aTaskId, const std::string& aMessage) = 0;
    virtual void TaskUpdateSubject(int aTaskId, const std::string& aSubject, const std::string& aType) = 0;
    virtual void TaskOccurError(int aTaskId, const std::string& aMessage) = 0;
    virtual void OccurError(const std::string& aMessage) = 0;
};
