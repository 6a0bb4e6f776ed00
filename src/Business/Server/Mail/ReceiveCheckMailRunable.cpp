#include "ReceiveCheckMailRunable.h"

#include "TransportErrors.h"
#include "Runtime/AutoReleasePool.h"
#include "Runtime/Log.h"

TRcReceiveCheckMailRunable::TRcReceiveCheckMailRunable(TRcAccount* aAccount, TEmailTestObservable* aObservable,
                                                       TTransportTuning aTuning)
    : TRcAccountCheckRunable(aAccount, aObservable, std::move(aTuning))
{
}

TRcReceiveCheckMailRunable::~TRcReceiveCheckMailRunable() = default;

TPop3Client& TRcReceiveCheckMailRunable::NewClient()
{
    std::lock_guard lock(FMutex);
    FPop3 = std::make_unique<TPop3Client>(Pop3Settings());
    if (NeedCancel())
        FPop3->Cancel();
    return *FPop3;
}

void TRcReceiveCheckMailRunable::CancelTransfer()
{
    std::lock_guard lock(FMutex);
    if (FPop3)
        FPop3->Cancel();
    if (FSmtpServer)
        FSmtpServer->Cancel();
}

bool TRcReceiveCheckMailRunable::RunPop3()
{
    if (NeedCancel()) {
        Cancelled(etConnectPop3);
        return false;
    }
    TPop3Client* pop3 = nullptr;
    TEmailTask task = etConnectPop3;
    bool passed = false;
    try {
        Status(etConnectPop3, es_ConnectPop3);
        pop3 = &NewClient();
        pop3->Connect(FSettings.FPop3User, FSettings.FPop3Password);
        Status(etConnectPop3, eS_ConnectedPop3);
        task = etReceive;
        Status(etReceive, es_receiveEmail);
        const TPop3Stat stat = pop3->Stat();
        TLog::O(lolInfo, "账户测试：收件箱 %d 封，%d 字节", {stat.Count, stat.Size});
        Status(etReceive, es_ReceiveSuccess);
        passed = true;
    } catch (const std::exception& e) {
        if (NeedCancel() || dynamic_cast<const ETransportCancelled*>(&e))
            Cancelled(task);
        else
            Fail(ClassifyPop3TestError(e, pop3 ? pop3->LastCommand() : std::string()), e,
                 pop3 ? pop3->LastReply() : nullptr);
    }
    if (pop3)
        pop3->Disconnect();
    return passed && !NeedCancel();
}

void TRcReceiveCheckMailRunable::Run()
{
    TRetainCountObjectAutoReleasePool pool;
    if (RunPop3()) {
        auto smtp = MakeRc<TRcSendCheckMailRunable>(FAccount.Get(), FObservable, FTuning);
        {
            std::lock_guard lock(FMutex);
            FSmtpServer = smtp;
        }
        // A cancel between the POP3 part and here found no SMTP part.
        if (NeedCancel())
            smtp->Cancel();
        smtp->Run();
        FOutcome = smtp->Outcome();
        std::lock_guard lock(FMutex);
        FSmtpServer = nullptr;
    } else if (NeedCancel() && FOutcome.State != es_InputCancel) {
        Cancelled(FOutcome.Task);
    }
    FObservable->TestEnded(FOutcome);
}
