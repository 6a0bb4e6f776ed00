#include "Worker.h"

#include <cmath>

#include "Runtime/TextFormat.h"

TDateTime WholeDay(TDateTime aValue)
{
    return std::trunc(aValue);
}

TDateTime MinDateTime()
{
    return EncodeDateTime({100, 1, 1, 0, 0, 0, 0});
}

TDateTime MaxDateTime()
{
    return EncodeDateTime({9999, 12, 31, 23, 59, 59, 999});
}

TRcPop3NoTranslateOpertionImpl::TRcPop3NoTranslateOpertionImpl(TDateTime aBeginDate, TDateTime aEndDate)
    : FBeginDate(WholeDay(aBeginDate)), FEndDate(WholeDay(aEndDate))
{
}

TRcWorker::TRcWorker(int aId, TAction aAction, TRcResPath* aResPath, int aInterval, TDateTime aAtTime,
                     IWorkerOpertion* aOpertion)
    : FInterval(aInterval), FAtTime(aAtTime), FResPath(TRcRef<TRcResPath>::Retain(aResPath)), FAction(aAction),
      FId(aId), FOpertion(TRcRef<IWorkerOpertion>::Retain(aOpertion))
{
}

const char* TRcWorker::ActionName(TAction aAction)
{
    static const char* const names[] = {"waPop3NoTranslate", "waReceive", "waSend", "waSendOne", "waReceiveSend"};
    return names[aAction];
}

const char* TRcWorker::RunStateName(TRunState aState)
{
    static const char* const names[] = {"wrsNew", "wrsWaitRun", "wrsNoToTime", "wrsRunOk", "wrsCancel", "wrsFail"};
    return names[aState];
}

std::string TRcWorker::ToString() const
{
    return FormatText("Work{ ID: %d; 动作: %s, 间隔: %d, 执行时间: %s, 执行状态: %s, 资源路径: %s, 选项: %s }",
                      {FId, ActionName(FAction), FInterval, FormatDateTimeIso(FAtTime).substr(0, 19),
                       RunStateName(FRunState), FResPath ? FResPath->ToString() : std::string(),
                       FOpertion ? "有" : ""});
}
