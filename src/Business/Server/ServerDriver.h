// TServerDriver: the business layer's way to the mail scheduler. It owns
// the scheduler and its thread, passes on what the screens ask (receive,
// send, cancel, observe), and keeps the jobs in step with the account
// list: a deleted account loses its jobs, and saved automatic
// send/receive settings take effect at once.
//
// It also makes the requests to the maker's platform. Each runs on a
// worker thread with short timeouts and hands its reply to the caller's
// delayed-runable queue (see Norvel/PlatformRequestRunner.h for the
// handle's rules); the reply's texts are the ones the user is shown.
#pragma once

#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "SchedulingRunable.h"
#include "Norvel/PlatformRequestRunner.h"
#include "Runtime/Singleton.h"
#include "Runtime/ThreadForRunable.h"

class TServerDriver : public TSingletonOf<TServerDriver> {
public:
    TServerDriver();
    ~TServerDriver() override;

    static TServerDriver* ServerDriver() { return Instance(); }

    // Starts the scheduler thread, begins to follow the account list, and
    // reports every receive mode an account record is given to the
    // platform.
    void Init();
    // Cancels the running transfer and every platform request, ends the
    // scheduler and waits for all their threads, so nothing runs while the
    // managers are released; no platform reply is delivered after this.
    void UnInit();

    void PriorityReceive(TRcResPath* aResPath) { FSchedulingRunable->AddPriorityReceive(aResPath); }
    void PrioritySend(TRcResPath* aResPath) { FSchedulingRunable->AddPrioritySend(aResPath); }
    // Remembers aBeginDate as the account's earliest receive date, then
    // receives by POP3 without translation within the window.
    void PriorityReceivePop3AndNoTranslate(TRcResPath* aResPath, TDateTime aBeginDate, TDateTime aEndDate);
    void UpdateAutoReceiveSendState(TRcResPath* aResPath);
    void DeleteAccountAllSendReceive(TRcResPath* aResPath) { FSchedulingRunable->DeleteAccountAllSendReceive(aResPath); }
    void Cancel() { FSchedulingRunable->Cancel(); }

    void RegisterObserver(IMailSendReciveObserver* aObserver)
    {
        FSchedulingRunable->Observable()->RegisterObserver(aObserver);
    }
    void UnRegisterObserver(IMailSendReciveObserver* aObserver)
    {
        FSchedulingRunable->Observable()->UnRegisterObserver(aObserver);
    }

    TSchedulingRunable* Scheduler() const { return FSchedulingRunable.Get(); }

    // The platform requests (PlatformRequests.h says what each sends and
    // how its reply reads). aDone runs when aQueue is drained, unless the
    // handle has been dropped by then. Read the platform's address and the
    // message texts from the configuration manager when called.
    TPlatformRequest SaveMailInfoToTavro(const TAccountSettings& aAccount, TDelayRunableQueue& aQueue,
                                         TPlatformDone aDone);
    TPlatformRequest SaveNameListMailFilterToTavro(const std::string& aEmail, const std::string& aBlackList,
                                                   const std::string& aWhiteList, const std::string& aKeywords,
                                                   TDelayRunableQueue& aQueue, TPlatformDone aDone);
    // aDone's reply carries the platform's lists in Data.
    TPlatformRequest GetNameListMailFilterToTavro(const std::string& aEmail, TDelayRunableQueue& aQueue,
                                                  TPlatformDone aDone);
    // aMode "0" (all mail) or "1" (foreign mail only).
    TPlatformRequest SaveReceiveMailTypeToTavro(const std::string& aEmail, const std::string& aMode,
                                                TDelayRunableQueue& aQueue, TPlatformDone aDone);
    // Fire-and-forget: aAddressList from AppMessageEmailList.
    void SaveAppMessageToTavro(const std::string& aAddressList);
    // aReason from ReTranslationReason.
    TPlatformRequest ReTranslation(const std::string& aEmail, const std::string& aMailUid, const std::string& aReason,
                                   TDelayRunableQueue& aQueue, TPlatformDone aDone);

    // The timeouts of the platform requests started from now on.
    void SetPlatformHttpOptions(const THttpOptions& aOptions);
    THttpOptions PlatformHttpOptions() const;
    // Platform requests whose threads have not ended.
    std::size_t RunningPlatformRequests() const { return FPlatformRequests.RunningCount(); }

private:
    class TAccountListObserver;
    void OnAccountChanged(TRcResId* aResId);
    void OnAccountListChanged();
    // The platform's address, the message texts and the timeouts, as they
    // are now.
    TPlatformContext PlatformContext() const;
    TPlatformRequest StartPlatformRequest(TPlatformWork aWork, TDelayRunableQueue* aQueue, TPlatformDone aDone);
    void ReportReceiveMode(const std::string& aEmail, const std::string& aMode);

    TRcRef<TSchedulingRunable> FSchedulingRunable;
    std::unique_ptr<TThreadForRunable> FSchedulingRunableThread;
    TRcRef<TAccountListObserver> FAccountObserver;
    bool FObserving = false;
    std::mutex FKnownMutex;
    std::set<std::string> FKnownAccounts;   // ids that have had jobs

    mutable std::mutex FPlatformMutex;
    THttpOptions FPlatformHttpOptions;
    bool FReportingReceiveMode = false;
    // Last: its threads end first when the driver goes.
    TPlatformRequestRunner FPlatformRequests;
};
