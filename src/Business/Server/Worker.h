// TRcWorker: one job of the mail scheduler — what to do, for which
// account, when, and how its last run ended. A job with an interval is an
// account's periodic receive-and-send; one without is a one-shot job the
// user asked for.
#pragma once

#include <atomic>
#include <string>

#include "Business/Resource/ResPath.h"
#include "Runtime/DateTime.h"
#include "Runtime/RcRef.h"

// Options a job may carry.
class IWorkerOpertion : public virtual IRcInterface {};

// The date window of a POP3 receive without translation.
class IPop3NoTranslateWorkerOpertion : public virtual IWorkerOpertion {
public:
    virtual TDateTime BeginDate() const = 0;
    virtual TDateTime EndDate() const = 0;
};

class TRcPop3NoTranslateOpertionImpl : public TRcObject, public IPop3NoTranslateWorkerOpertion {
public:
    // Both dates are kept as whole days.
    TRcPop3NoTranslateOpertionImpl(TDateTime aBeginDate, TDateTime aEndDate);
    TDateTime BeginDate() const override { return FBeginDate; }
    TDateTime EndDate() const override { return FEndDate; }

private:
    TDateTime FBeginDate;
    TDateTime FEndDate;
};

// The whole day a date-time falls on.
TDateTime WholeDay(TDateTime aValue);
// The smallest and largest date-times (0100-01-01, 9999-12-31 23:59:59.999).
TDateTime MinDateTime();
TDateTime MaxDateTime();

class TRcWorker : public TRcObject {
public:
    enum TAction { waPop3NoTranslate, waReceive, waSend, waSendOne, waReceiveSend };
    enum TRunState { wrsNew, wrsWaitRun, wrsNoToTime, wrsRunOk, wrsCancel, wrsFail };

    TRcWorker(int aId, TAction aAction, TRcResPath* aResPath, int aInterval, TDateTime aAtTime,
              IWorkerOpertion* aOpertion);
    static TRcWorker* CreateAndAutoRelease(int aId, TAction aAction, TRcResPath* aResPath, int aInterval,
                                           TDateTime aAtTime, IWorkerOpertion* aOpertion)
    {
        return RcCreateAndAutoRelease<TRcWorker>(aId, aAction, aResPath, aInterval, aAtTime, aOpertion);
    }

    int Id() const { return FId; }
    TRcResPath* ResPath() const { return FResPath.Get(); }
    TAction Action() const { return FAction; }
    int Interval() const { return FInterval; }
    bool Periodic() const { return FInterval != 0; }
    IWorkerOpertion* Opertion() const { return FOpertion.Get(); }
    // Written by the scheduler thread under its lock, read by anyone.
    TDateTime AtTime() const { return FAtTime; }
    TRunState RunState() const { return FRunState; }
    void SetAtTime(TDateTime aValue) { FAtTime = aValue; }
    void SetRunState(TRunState aValue) { FRunState = aValue; }

    // "Work{ ID: 1; 动作: waReceive, 间隔: 0, 执行时间: …, 执行状态: wrsNew, 资源路径: …, 选项:  }"
    std::string ToString() const override;

    static const char* ActionName(TAction aAction);
    static const char* RunStateName(TRunState aState);

private:
    const int FInterval;
    std::atomic<TDateTime> FAtTime;
    const TRcRef<TRcResPath> FResPath;
    const TAction FAction;
    const int FId;
    std::atomic<TRunState> FRunState{wrsNew};
    const TRcRef<IWorkerOpertion> FOpertion;
};

using TRcWorkerList = TRcList<TRcWorker>;
