// TRcSendMessageToSmtpRunable: one SMTP send of one account's queued mail
// (the sending folder, state msarsSendToSmtp), run by the scheduler.
//
// The mails go newest first over one connection; a failed mail goes to the
// drafts with the server's answer and the next one gets a new connection.
// A sent mail gets msarsSendOk (the job then moves it to the out box).
//
// Just before the final "." of each mail, the mail is marked in flight
// (msarsSendInFlight) in a commit of its own; the server's answer replaces
// the mark (a sent state is committed together with the next mail's mark,
// or when the run ends, so a mail costs one commit). A mail the server took stays sent, whatever cancel comes after
// it. A mail found in flight — the program died, or the line broke, after
// its "." — may have been delivered: it goes to the drafts still marked,
// with a report, and is never sent again by itself. Run never raises;
// every failure is reported to the observable.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "AccountTransport.h"
#include "SmtpClient.h"
#include "TransportRunable.h"
#include "Business/AccountMail/Mail.h"
#include "Business/Resource/ResPath.h"
#include "Runtime/RunableCancelList.h"

class TRcMailSendReceiveObservable;
class TRcMailComplex;
class TRcMail;

class TRcSendMessageToSmtpRunable : public TRcTransportRunable {
public:
    TRcSendMessageToSmtpRunable(int aId, TRcResPath* aResPath, TRcMailSendReceiveObservable* aObservable,
                                TTransportTuning aTuning = {},
                                std::chrono::milliseconds aFinalReplyTimeout = TSmtpClient::kFinalReplyTimeout);
    static TRcSendMessageToSmtpRunable* CreateAndAutoRelease(int aId, TRcResPath* aResPath,
                                                              TRcMailSendReceiveObservable* aObservable)
    {
        return RcCreateAndAutoRelease<TRcSendMessageToSmtpRunable>(aId, aResPath, aObservable);
    }

    // Cancel (any thread): the mail being sent, unless the server took
    // it, and every later one go back to the drafts as cancelled.
    void Run() override;

    // What the big-attachment step may use of the run.
    struct TBigAttachmentRun {
        std::function<void(const std::string&)> Subject;   // the mail's line in the progress window
        std::function<void(const std::string&)> Status;    // the status line
        std::function<void(int64_t aDone, int64_t aTotal)> Progress;
        // What the step registers here is cancelled with the run; it looks
        // at NeedCancel after registering, in case the cancel came first.
        TRunableCancelList* Cancels = nullptr;
        std::function<bool()> NeedCancel;
    };
    // Before each mail, with its path: replaces attachments too large to
    // send by download links; true when it changed the mail. An error
    // fails that mail (it stays queued, as it was).
    using TBigAttachmentStep =
        std::function<bool(TRcResPath* aMailResPath, TRcMailComplex* aComplex, const TBigAttachmentRun& aRun)>;
    static void SetBigAttachmentStep(TBigAttachmentStep aStep);

    // Mails sent in this run.
    int SentCount() const { return FSentCount; }

private:
    void Connect();
    void Disconnect() noexcept;
    void Login();
    // The mails a former run left in flight: into the drafts, reported.
    void SetAsideInFlightMails();
    void SendList(TRcResPathList* aMails);
    // A failure is reported and the mail is in the drafts; a mail no
    // longer queued is left alone.
    enum TOutcome { oSent, oSkipped, oFailed };
    TOutcome SmtpSend(TRcResPath* aMailResPath);
    void MoveToDrafts(TRcResPath* aMailResPath, TMailSendReceiveState aState);
    // Commits the sent state of the last mail the server took, when it is
    // still only noted (it goes with the next mail's in-flight mark).
    void CommitSent();

    void CancelTransfer() override;
    const TServerReply* LastReply() const;

    TRunableCancelList FStepCancels;   // the big-attachment step's transfer
    std::mutex FSmtpMutex;   // guards the pointer, for Cancel
    std::unique_ptr<TSmtpClient> FSmtp;
    int64_t FWriteMaxCount = 0;
    int FSentCount = 0;
    const TTransportTuning FTuning;
    const std::chrono::milliseconds FFinalReplyTimeout;
    TTransportSettings FSettings;
    std::string FUser;
    std::string FPassword;
    std::string FAccountEmail;
    // Taken by the server, its state not yet committed: it stays marked in
    // flight meanwhile, so a crash now costs at most a false "may have
    // been delivered", never a second delivery.
    TRcRef<TRcResPath> FSentPending;
};
