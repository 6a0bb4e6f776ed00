#include "TransportSteps.h"

#include "Business/Rules/MailFilter.h"
#include "Business/Rules/NameList.h"
#include "Mail/ReceiveMessageFromPop3Runable.h"
#include "Mail/SendMessageToSmtpRunable.h"
#include "Norvel/BigAttachmentSendStep.h"
#include "Norvel/ReceiveMessageFromNorvelRunable.h"
#include "Norvel/SendMessageToNorvelRunable.h"

void TTransportRunables::Set(TTransportStep aStep, TTransportRunableFactory aFactory)
{
    std::lock_guard lock(FMutex);
    FFactories[aStep] = std::move(aFactory);
}

TRcRef<IRunable> TTransportRunables::Create(TTransportStep aStep, const TTransportJob& aJob) const
{
    TTransportRunableFactory factory;
    {
        std::lock_guard lock(FMutex);
        factory = FFactories[aStep];
    }
    return factory ? factory(aJob) : nullptr;
}

const char* TTransportRunables::StepName(TTransportStep aStep)
{
    static const char* const names[] = {"POP3 收信", "SMTP 发信", "提交翻译", "收取翻译"};
    return names[aStep];
}

TTransportRunableFactory Pop3ReceiveRunableFactory(TTransportTuning aTuning)
{
    return [aTuning = std::move(aTuning)](const TTransportJob& aJob) -> TRcRef<IRunable> {
        return MakeRc<TRcReceiveMessageFromPop3Runable>(aJob.TaskId, aJob.AccountResPath, aJob.Pop3Mode,
                                                         aJob.BeginDate, aJob.EndDate, aJob.Observable, aTuning);
    };
}

TTransportRunableFactory SmtpSendRunableFactory(TTransportTuning aTuning, std::chrono::milliseconds aFinalReplyTimeout)
{
    return [aTuning = std::move(aTuning), aFinalReplyTimeout](const TTransportJob& aJob) -> TRcRef<IRunable> {
        return MakeRc<TRcSendMessageToSmtpRunable>(aJob.TaskId, aJob.AccountResPath, aJob.Observable, aTuning,
                                                    aFinalReplyTimeout);
    };
}

TTransportRunableFactory NorvelCollectRunableFactory(THttpOptions aOptions)
{
    return [aOptions = std::move(aOptions)](const TTransportJob& aJob) -> TRcRef<IRunable> {
        return MakeRc<TRcReceiveMessageFromNorvelRunable>(aJob.TaskId, aJob.AccountResPath, aJob.Observable, aOptions);
    };
}

void SetProgramTransportRunables(TTransportRunables& aRunables)
{
    aRunables.Set(tsPop3Receive, Pop3ReceiveRunableFactory());
    aRunables.Set(tsSmtpSend, SmtpSendRunableFactory());
    aRunables.Set(tsNorvelCollect, NorvelCollectRunableFactory());
    TRcSendMessageToSmtpRunable::SetBigAttachmentStep(BigAttachmentSendStep());
    aRunables.Set(tsNorvelSubmit, NorvelSubmitRunableFactory());
}

void LoadAccountMailRules(TRcResPath* aAccountResPath)
{
    if (TNameListManager* lists = TNameListManager::NameListManager())
        lists->Init(aAccountResPath);
    if (TMailFilterManager* filters = TMailFilterManager::MailFilterManager())
        filters->Init(aAccountResPath);
}
