#include "TransportSteps.h"

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

void SetProgramTransportRunables(TTransportRunables&) {}

void LoadAccountMailRules(TRcResPath*) {}
