// TRcReceiveCheckMailRunable: the account connection test a new-account
// dialog or the settings screen runs on a thread of its own. Logs in to the
// account's POP3 server and asks for the mailbox's status (STAT), then runs
// the SMTP part (TRcSendCheckMailRunable) for the same account.
//
// Every step is reported to the observable as it starts and ends; a failed
// step reports why (the server's answer, a refused connection, a timeout,
// a certificate that does not verify) and ends the test. Cancel, from any
// thread, ends whichever part runs. Run never raises, and calls the
// observable's FTestEnded once, last, with the outcome.
#pragma once

#include <memory>
#include <mutex>

#include "AccountCheckRunable.h"
#include "Pop3Client.h"
#include "SendCheckMailRunable.h"

class TRcReceiveCheckMailRunable : public TRcAccountCheckRunable {
public:
    TRcReceiveCheckMailRunable(TRcAccount* aAccount, TEmailTestObservable* aObservable,
                               TTransportTuning aTuning = {});
    ~TRcReceiveCheckMailRunable() override;

    void Run() override;

private:
    void CancelTransfer() override;
    // False when the POP3 part failed or was cancelled.
    bool RunPop3();
    TPop3Client& NewClient();

    std::mutex FMutex;
    std::unique_ptr<TPop3Client> FPop3;
    TRcRef<TRcSendCheckMailRunable> FSmtpServer;   // while the SMTP part runs
};
