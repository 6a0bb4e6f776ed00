// The transfers a scheduler job runs — POP3 receiving, SMTP sending,
// submission to the translation service and collection from it — each
// made by a factory of its own, so each can be built and plugged in on its
// own. A step without a factory is skipped (and logged).
#pragma once

#include <array>
#include <chrono>
#include <functional>
#include <mutex>

#include "Business/Http/HttpRequest.h"
#include "Business/Resource/ResPath.h"
#include "Business/Server/Mail/AccountTransport.h"
#include "Runtime/DateTime.h"
#include "Runtime/RcRef.h"
#include "Runtime/Runable.h"

class TRcMailSendReceiveObservable;

enum TTransportStep { tsPop3Receive, tsSmtpSend, tsNorvelSubmit, tsNorvelCollect };
inline constexpr std::size_t kTransportStepCount = 4;

enum TPop3Mode { prmPop3Translate, prmPop3NoTranslate };

// What a step's runnable is made with.
struct TTransportJob {
    int TaskId = 0;
    TRcResPath* AccountResPath = nullptr;
    TRcMailSendReceiveObservable* Observable = nullptr;
    // POP3 receiving only.
    TPop3Mode Pop3Mode = prmPop3Translate;
    TDateTime BeginDate = 0;
    TDateTime EndDate = 0;
};

using TTransportRunableFactory = std::function<TRcRef<IRunable>(const TTransportJob&)>;

class TTransportRunables {
public:
    void Set(TTransportStep aStep, TTransportRunableFactory aFactory);
    // The step's runnable; nullptr when no factory is set.
    TRcRef<IRunable> Create(TTransportStep aStep, const TTransportJob& aJob) const;

    static const char* StepName(TTransportStep aStep);

private:
    mutable std::mutex FMutex;
    std::array<TTransportRunableFactory, kTransportStepCount> FFactories;
};

// The program's transfers, as far as they are built.
void SetProgramTransportRunables(TTransportRunables& aRunables);

// POP3 receiving, its connections changed by aTuning (tests: short
// timeouts, their own certificate authority).
TTransportRunableFactory Pop3ReceiveRunableFactory(TTransportTuning aTuning = {});
// SMTP sending, the same way; aFinalReplyTimeout bounds the wait for the
// answer to a message.
TTransportRunableFactory SmtpSendRunableFactory(TTransportTuning aTuning = {},
                                                std::chrono::milliseconds aFinalReplyTimeout = std::chrono::minutes(10));

// Collecting from the translation service, every request made with
// aOptions (tests: short timeouts).
TTransportRunableFactory NorvelCollectRunableFactory(THttpOptions aOptions = {});

// Before each job: the account's white and black name lists and subject
// filters are loaded for POP3 receiving to consult. A failure raises, so
// the job fails with the reason instead of receiving without its rules.
// Does nothing for managers that are not built.
void LoadAccountMailRules(TRcResPath* aAccountResPath);
