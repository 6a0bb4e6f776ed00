#include "SendMessageToSmtpRunable.h"

#include <typeinfo>

#include "FormatTransportError.h"
#include "TransportErrors.h"
#include "Business/Account/AccountFolder.h"
#include "Business/Account/AccountManager.h"
#include "Business/AccountMail/AccountMailManager.h"
#include "Business/AccountMail/MailComplex.h"
#include "Business/Data/ConfigManager.h"
#include "Business/Mime/MessageIo.h"
#include "Business/Server/MailSendReceiveObservable.h"
#include "Runtime/AutoReleasePool.h"
#include "Runtime/Finally.h"
#include "Runtime/Log.h"
#include "Runtime/TypeName.h"

namespace {

constexpr const char* kClass = "TRcSendMessageToSmtpRunable";

std::mutex gBigAttachmentMutex;
TRcSendMessageToSmtpRunable::TBigAttachmentStep gBigAttachmentStep;

TRcResPath* StandardFolder(TRcResPath* aAccount, TAccountFolderType aType)
{
    TAccountFolderManager* folders = TAccountFolderManager::AccountFolderManager();
    TRcResPath* folder = folders ? folders->GetStandardFolderResPath(aAccount, aType) : nullptr;
    if (!folder)
        throw Exception("账户没有标准文件夹：" + aAccount->ToString());
    return folder;
}

} // namespace

void TRcSendMessageToSmtpRunable::SetBigAttachmentStep(TBigAttachmentStep aStep)
{
    std::lock_guard lock(gBigAttachmentMutex);
    gBigAttachmentStep = std::move(aStep);
}

TRcSendMessageToSmtpRunable::TRcSendMessageToSmtpRunable(int aId, TRcResPath* aResPath,
                                                         TRcMailSendReceiveObservable* aObservable,
                                                         TTransportTuning aTuning,
                                                         std::chrono::milliseconds aFinalReplyTimeout)
    : TRcTransportRunable(kClass, aId, aResPath, aObservable), FTuning(std::move(aTuning)),
      FFinalReplyTimeout(aFinalReplyTimeout)
{
}

void TRcSendMessageToSmtpRunable::Run()
{
    RunActivity("SMTP " + TransportMsg("SendMail"), [&] {
        try {
            SetAsideInFlightMails();
            TRcResPathList* mails = TransportMails().GetSendingFolderMails(FResPath.Get(), {msarsSendToSmtp});
            if (!mails || mails->Count() == 0) {
                Status(TransportMsg("NoMailToSend"));
                return;
            }
            TRcRef<TRcResPathList> held = TRcRef<TRcResPathList>::Retain(mails);
            TFinally disconnect([&] { Disconnect(); });
            TFinally commitSent([&] { CommitSent(); });
            Connect();
            SendList(mails);
        } catch (const std::exception& e) {
            const std::string prefix = TransportMsg("MsgTitleError") + "：";
            OccurError(prefix + FormatTransportError(prefix, e, LastReply()));
        }
    });
}

void TRcSendMessageToSmtpRunable::CancelTransfer()
{
    // Also while the answer to a final "." is awaited (it may take
    // minutes): that mail then counts as in flight, never as unsent.
    FStepCancels.Cancel();
    std::lock_guard lock(FSmtpMutex);
    if (FSmtp)
        FSmtp->Cancel();
}

const TServerReply* TRcSendMessageToSmtpRunable::LastReply() const
{
    return FSmtp ? FSmtp->LastReply() : nullptr;
}

// ---- connecting -------------------------------------------------------------

void TRcSendMessageToSmtpRunable::Connect()
{
    Status(TransportMsg("SendMailBegin"));
    TAccountManager* accounts = TAccountManager::AccountManager();
    TRcAccount* account = accounts ? accounts->GetAccount(FResPath.Get()) : nullptr;
    if (!account)
        throw Exception("账户不存在：" + FResPath->ToString());
    const TAccountSettings settings = account->Settings();
    FSettings = SmtpTransportSettings(settings);
    if (FTuning)
        FTuning(FSettings);
    FUser = settings.FSmtpUsePop3 ? settings.FPop3User : settings.FSmtpUser;
    FPassword = settings.FSmtpUsePop3 ? settings.FPop3Password : settings.FSmtpPassword;
    FAccountEmail = settings.FEmail;
    Login();
}

void TRcSendMessageToSmtpRunable::Login()
{
    auto client = std::make_unique<TSmtpClient>(FSettings, FFinalReplyTimeout);
    TSmtpClient* smtp = client.get();
    {
        std::lock_guard lock(FSmtpMutex);
        FSmtp = std::move(client);
        if (NeedCancel())
            FSmtp->Cancel();
    }
    smtp->Connect(FUser, FPassword);
}

void TRcSendMessageToSmtpRunable::Disconnect() noexcept
{
    if (FSmtp)
        FSmtp->Disconnect();
    try {
        Status(TransportMsg("SendMailend"));
    } catch (const std::exception& e) {
        TLog::O(lolError, "异常(%s)：%s", {DemangledName(typeid(e)), e.what()});
    }
}

// ---- sending ------------------------------------------------------------------

void TRcSendMessageToSmtpRunable::MoveToDrafts(TRcResPath* aMailResPath, TMailSendReceiveState aState)
{
    TransportMails().MoveMail(aMailResPath, StandardFolder(FResPath.Get(), aftDraft), aState);
}

void TRcSendMessageToSmtpRunable::CommitSent()
{
    if (!FSentPending)
        return;
    TRcRef<TRcResPath> sent = std::move(FSentPending);
    FSentPending = nullptr;
    TransportMails().SetMailSendReceiveState(sent.Get(), msarsSendOk);
}

void TRcSendMessageToSmtpRunable::SetAsideInFlightMails()
{
    TRcResPathList* inFlight = TransportMails().GetSendingFolderMails(FResPath.Get(), {msarsSendInFlight});
    if (!inFlight)
        return;
    for (TRcResPath* path : *inFlight) {
        TRcMail* mail = TransportMails().GetMail(path);
        MoveToDrafts(path, msarsSendInFlight);
        FObservable->NotifyTaskOccurError(FId, TransportMsg("SendSMTPMailInFlight", mail ? mail->FSubject : ""));
    }
}

void TRcSendMessageToSmtpRunable::SendList(TRcResPathList* aMails)
{
    const int count = aMails->Count();
    Status(TransportMsg("SendSMTPMailCount", count));
    for (int i = 0; i < count; ++i) {
        const int position = i + 1;
        TRcResPath* path = aMails->GetItem(i);
        Status(TransportMsg("SendSMTPMailIndex", position));
        FObservable->NotifyMailSwitch(FId, count, mskSending, position);
        TOutcome outcome = oFailed;
        try {
            outcome = SmtpSend(path);
        } catch (const std::exception& e) {
            const std::string prefix = "SMTP " + TransportMsg("SendSMTPMailIndex", position);
            OccurError(prefix + TransportMsg("OccurredError") + "：" + FormatTransportError(prefix, e, LastReply()));
        }
        if (NeedCancel()) {
            CommitSent();
            // What the server did not take goes back, this mail and the rest.
            for (int k = outcome == oSent ? i + 1 : i; k < count; ++k) {
                TRcMail* mail = TransportMails().GetMail(aMails->GetItem(k));
                if (mail && mail->FSendReceiveState == msarsSendToSmtp)
                    MoveToDrafts(aMails->GetItem(k), msarsSendCancel);
            }
            break;
        }
        if (outcome == oFailed && i + 1 < count) {
            // A new connection for the next mail; failing that ends the run.
            FSmtp->Disconnect();
            Login();
        }
    }
    Status(TransportMsg(NeedCancel() ? "SendSMTPMailCancle" : "SendSMTPMailSuccess"));
}

TRcSendMessageToSmtpRunable::TOutcome TRcSendMessageToSmtpRunable::SmtpSend(TRcResPath* aMailResPath)
{
    TAccountMailManager& mails = TransportMails();
    TRcMail* mail = mails.GetMail(aMailResPath);
    if (!mail || mail->FSendReceiveState != msarsSendToSmtp)
        return oSkipped;   // sent, moved or deleted meanwhile
    TRcMailComplex* complex = mails.LoadMailComplex(aMailResPath);
    if (!complex)
        throw Exception("邮件的文件不存在：" + aMailResPath->ToString());
    TRcRef<TRcMailComplex> held = TRcRef<TRcMailComplex>::Retain(complex);
    TFinally removeFiles([&] { complex->RemoveWorkingFiles(); });

    TBigAttachmentStep bigAttachments;
    {
        std::lock_guard lock(gBigAttachmentMutex);
        bigAttachments = gBigAttachmentStep;
    }
    if (bigAttachments) {
        TBigAttachmentRun run;
        run.Subject = [this](const std::string& aText) { FObservable->NotifyMailUpdateDesc(FId, aText); };
        run.Status = [this](const std::string& aText) { Status(aText); };
        run.Progress = [this](int64_t aDone, int64_t aTotal) { Progress(aDone, aTotal, ""); };
        run.Cancels = &FStepCancels;
        run.NeedCancel = [this] { return NeedCancel(); };
        if (bigAttachments(aMailResPath, complex, run)) {
            // The server may have given up on a connection that idled
            // through a long upload: the mail goes over a fresh one.
            FSmtp->Disconnect();
            Login();
        }
    }
    if (!complex->Raw()->FValid || complex->Raw()->FFileName.empty())
        complex->BuildRaw();

    const std::string subject = complex->Subject();
    Status("    " + TransportMsg("MailListMailStatus1") + "：" + subject);
    FObservable->NotifyMailUpdateDesc(FId, subject);

    GMimeObject* header = complex->MessageHeader() ? GMIME_OBJECT(complex->MessageHeader()) : nullptr;
    const std::vector<std::string> from = HeaderAddresses(header, "From");
    std::vector<std::string> recipients;
    for (const char* field : {"To", "Cc", "Bcc"})
        for (std::string& address : HeaderAddresses(header, field))
            recipients.push_back(std::move(address));

    FWriteMaxCount = std::max<int64_t>(complex->Raw()->Size(), 0);
    Progress(0, FWriteMaxCount, "");
    bool inFlight = false;
    TSmtpClient::TProgress progress;
    progress.Sent = [&](int64_t aSent) {
        FWriteMaxCount = std::max(FWriteMaxCount, aSent);
        Progress(aSent, FWriteMaxCount, "");
    };
    progress.BeforeFinalDot = [&] {
        {
            std::lock_guard lock(FSmtpMutex);
            if (NeedCancel())
                throw ETransportCancelled();   // the "." has not gone: nothing is delivered
        }
        // The last mail's sent state rides along: one commit per mail.
        std::vector<std::pair<TRcResPath*, TMailSendReceiveState>> states;
        if (FSentPending)
            states.emplace_back(FSentPending.Get(), msarsSendOk);
        states.emplace_back(aMailResPath, msarsSendInFlight);
        mails.SetMailSendReceiveStates(states);
        FSentPending = nullptr;
        inFlight = true;
    };
    std::vector<TSmtpRefusal> refused;
    try {
        TLog::Mdd(std::string(kClass) + ".SmtpSend Send", [&] {
            refused = FSmtp->Send(from.empty() ? FAccountEmail : from.front(), recipients,
                                  complex->Raw()->FFileName, progress);
        });
    } catch (const std::exception& e) {
        const std::string prefix = TransportMsg("MsgTitleError") + "：";
        OccurError(prefix + FormatTransportError(prefix, e, LastReply()));
        if (inFlight && !dynamic_cast<const ESmtpReplyError*>(&e)) {
            // The message went whole; whether the server took it is unknown.
            MoveToDrafts(aMailResPath, msarsSendInFlight);
            FObservable->NotifyTaskOccurError(FId, TransportMsg("SendSMTPMailInFlight", subject));
        } else {
            MoveToDrafts(aMailResPath, NeedCancel() ? msarsSendCancel : msarsNoneUser);
        }
        return oFailed;
    }
    // Taken by the server: sent, whatever cancel came meanwhile.
    FSentPending = TRcRef<TRcResPath>::Retain(aMailResPath);
    ++FSentCount;
    Progress(FWriteMaxCount, FWriteMaxCount, "");
    if (!refused.empty()) {
        std::string addresses;
        for (const TSmtpRefusal& refusal : refused)
            addresses += (addresses.empty() ? "" : ", ") + refusal.Address + " (" + refusal.Reply.Code() + " " +
                         refusal.Reply.Text() + ")";
        Status(TransportMsg("SendSMTPMailRefused", addresses));
    }
    return oSent;
}
