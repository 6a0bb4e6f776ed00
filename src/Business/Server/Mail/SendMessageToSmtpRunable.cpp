#include "SendMessageToSmtpRunable.h"

#include <typeinfo>

#include "FormatTransportError.h"
#include "TransportErrors.h"
#include "Business/Account/AccountFolder.h"
#include "Business/Account/AccountManager.h"
#include "Business/AccountMail/AccountMailManager.h"
#include "Business/AccountMail/MailComplex.h"
#include "Business/Data/ConfigManager.h"
#include "Business/Mime/AddressList.h"
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

std::string Msg(const char* aKey)
{
    const TConfigManager* config = TConfigManager::ConfigManager();
    return config ? config->GetMsg(aKey) : std::string(aKey);
}

std::string FormatMsg(const char* aKey, TFormatArg aValue)
{
    const TConfigManager* config = TConfigManager::ConfigManager();
    return config ? config->FormatMsg(aKey, {aValue}) : std::string(aKey);
}

TAccountMailManager& Mails()
{
    TAccountMailManager* mails = TAccountMailManager::AccountMailManager();
    if (!mails)
        throw Exception("邮件管理器没有创建");
    return *mails;
}

TRcResPath* StandardFolder(TRcResPath* aAccount, TAccountFolderType aType)
{
    TAccountFolderManager* folders = TAccountFolderManager::AccountFolderManager();
    TRcResPath* folder = folders ? folders->GetStandardFolderResPath(aAccount, aType) : nullptr;
    if (!folder)
        throw Exception("账户没有标准文件夹：" + aAccount->ToString());
    return folder;
}

// The addresses of one header field of the message.
void AddAddresses(GMimeMessage* aMessage, const char* aField, std::vector<std::string>& aAddresses)
{
    if (!aMessage)
        return;
    for (const TAddressItem& item : ParseAddressList(HeaderText(GMIME_OBJECT(aMessage), aField)))
        if (!item.Address.empty())
            aAddresses.push_back(item.Address);
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
    : FId(aId), FObservable(TRcRef<TRcMailSendReceiveObservable>::Retain(aObservable)),
      FResPath(TRcRef<TRcResPath>::Retain(aResPath)), FTuning(std::move(aTuning)),
      FFinalReplyTimeout(aFinalReplyTimeout)
{
    if (!aResPath || !aObservable)
        throw EInvalidPointer();
}

void TRcSendMessageToSmtpRunable::Run()
{
    TRetainCountObjectAutoReleasePool pool;
    TRunableCancelList& cancels = FObservable->CancelList();
    cancels.Register(this);
    TFinally unregister([&] { cancels.UnRegister(this); });
    // A cancel that came before the registration found nothing to cancel.
    if (FObservable->FCancel)
        Cancel();

    FObservable->NotifyActivityBegin(FId, "SMTP " + Msg("SendMail"), FResPath->At(0));
    TFinally end([&] { FObservable->NotifyActivityEnd(FId); });
    try {
        SetAsideInFlightMails();
        TRcResPathList* mails = Mails().GetSendingFolderMails(FResPath.Get(), {msarsSendToSmtp});
        if (!mails || mails->Count() == 0) {
            Status(Msg("NoMailToSend"));
            return;
        }
        TRcRef<TRcResPathList> held = TRcRef<TRcResPathList>::Retain(mails);
        TFinally disconnect([&] { Disconnect(); });
        TFinally commitSent([&] { CommitSent(); });
        Connect();
        SendList(mails);
    } catch (const std::exception& e) {
        const std::string prefix = Msg("MsgTitleError") + "：";
        OccurError(prefix + FormatTransportError(prefix, e, LastReply()));
    }
}

void TRcSendMessageToSmtpRunable::Cancel()
{
    std::lock_guard lock(FSmtpMutex);
    if (FNeedCancel.exchange(true))
        return;
    // Also while the answer to a final "." is awaited (it may take
    // minutes): that mail then counts as in flight, never as unsent.
    if (FSmtp)
        FSmtp->Cancel();
}

const TServerReply* TRcSendMessageToSmtpRunable::LastReply() const
{
    return FSmtp ? FSmtp->LastReply() : nullptr;
}

void TRcSendMessageToSmtpRunable::Status(const std::string& aText)
{
    FObservable->NotifyTaskUpdateInfo(FId, aText);
}

void TRcSendMessageToSmtpRunable::Progress(int64_t aCurr, int64_t aMax)
{
    FObservable->NotifyMailProgress(FId, aMax, aCurr, "");
    if (FObservable->FCancel && !FNeedCancel)
        Cancel();
}

void TRcSendMessageToSmtpRunable::OccurError(const std::string& aMessage)
{
    if (FNeedCancel) {
        TLog::O(lolWorn, std::string(kClass) + ".OccurError 取消", "");
        TLog::O(lolWorn, "Id: %d: %s", {FId, aMessage});
        return;
    }
    FObservable->NotifyTaskOccurError(FId, aMessage);
}

// ---- connecting -------------------------------------------------------------

void TRcSendMessageToSmtpRunable::Connect()
{
    Status(Msg("SendMailBegin"));
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
        if (FNeedCancel)
            FSmtp->Cancel();
    }
    smtp->Connect(FUser, FPassword);
}

void TRcSendMessageToSmtpRunable::Disconnect() noexcept
{
    if (FSmtp)
        FSmtp->Disconnect();
    try {
        Status(Msg("SendMailend"));
    } catch (const std::exception& e) {
        TLog::O(lolError, "异常(%s)：%s", {DemangledName(typeid(e)), e.what()});
    }
}

// ---- sending ------------------------------------------------------------------

void TRcSendMessageToSmtpRunable::MoveToDrafts(TRcResPath* aMailResPath, TMailSendReceiveState aState)
{
    Mails().MoveMail(aMailResPath, StandardFolder(FResPath.Get(), aftDraft), aState);
}

void TRcSendMessageToSmtpRunable::CommitSent()
{
    if (!FSentPending)
        return;
    TRcRef<TRcResPath> sent = std::move(FSentPending);
    FSentPending = nullptr;
    Mails().SetMailSendReceiveState(sent.Get(), msarsSendOk);
}

void TRcSendMessageToSmtpRunable::SetAsideInFlightMails()
{
    TRcResPathList* inFlight = Mails().GetSendingFolderMails(FResPath.Get(), {msarsSendInFlight});
    if (!inFlight)
        return;
    for (TRcResPath* path : *inFlight) {
        TRcMail* mail = Mails().GetMail(path);
        MoveToDrafts(path, msarsSendInFlight);
        FObservable->NotifyTaskOccurError(FId, FormatMsg("SendSMTPMailInFlight", mail ? mail->FSubject : ""));
    }
}

void TRcSendMessageToSmtpRunable::SendList(TRcResPathList* aMails)
{
    const int count = aMails->Count();
    Status(FormatMsg("SendSMTPMailCount", count));
    for (int i = 0; i < count; ++i) {
        const int position = i + 1;
        TRcResPath* path = aMails->GetItem(i);
        Status(FormatMsg("SendSMTPMailIndex", position));
        FObservable->NotifyMailSwitch(FId, count, mskSending, position);
        TOutcome outcome = oFailed;
        try {
            outcome = SmtpSend(path);
        } catch (const std::exception& e) {
            const std::string prefix = "SMTP " + FormatMsg("SendSMTPMailIndex", position);
            OccurError(prefix + Msg("OccurredError") + "：" + FormatTransportError(prefix, e, LastReply()));
        }
        if (FNeedCancel) {
            CommitSent();
            // What the server did not take goes back, this mail and the rest.
            for (int k = outcome == oSent ? i + 1 : i; k < count; ++k) {
                TRcMail* mail = Mails().GetMail(aMails->GetItem(k));
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
    Status(Msg(FNeedCancel ? "SendSMTPMailCancle" : "SendSMTPMailSuccess"));
}

TRcSendMessageToSmtpRunable::TOutcome TRcSendMessageToSmtpRunable::SmtpSend(TRcResPath* aMailResPath)
{
    TAccountMailManager& mails = Mails();
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
    if (bigAttachments)
        bigAttachments(aMailResPath, complex);
    if (!complex->Raw()->FValid || complex->Raw()->FFileName.empty())
        complex->BuildRaw();

    const std::string subject = complex->Subject();
    Status("    " + Msg("MailListMailStatus1") + "：" + subject);
    FObservable->NotifyMailUpdateDesc(FId, subject);

    std::vector<std::string> from;
    AddAddresses(complex->MessageHeader(), "From", from);
    std::vector<std::string> recipients;
    for (const char* field : {"To", "Cc", "Bcc"})
        AddAddresses(complex->MessageHeader(), field, recipients);

    FWriteMaxCount = std::max<int64_t>(complex->Raw()->Size(), 0);
    Progress(0, FWriteMaxCount);
    bool inFlight = false;
    TSmtpClient::TProgress progress;
    progress.Sent = [&](int64_t aSent) {
        FWriteMaxCount = std::max(FWriteMaxCount, aSent);
        Progress(aSent, FWriteMaxCount);
    };
    progress.BeforeFinalDot = [&] {
        {
            std::lock_guard lock(FSmtpMutex);
            if (FNeedCancel)
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
        const std::string prefix = Msg("MsgTitleError") + "：";
        OccurError(prefix + FormatTransportError(prefix, e, LastReply()));
        if (inFlight && !dynamic_cast<const ESmtpReplyError*>(&e)) {
            // The message went whole; whether the server took it is unknown.
            MoveToDrafts(aMailResPath, msarsSendInFlight);
            FObservable->NotifyTaskOccurError(FId, FormatMsg("SendSMTPMailInFlight", subject));
        } else {
            MoveToDrafts(aMailResPath, FNeedCancel ? msarsSendCancel : msarsNoneUser);
        }
        return oFailed;
    }
    // Taken by the server: sent, whatever cancel came meanwhile.
    FSentPending = TRcRef<TRcResPath>::Retain(aMailResPath);
    ++FSentCount;
    Progress(FWriteMaxCount, FWriteMaxCount);
    if (!refused.empty()) {
        std::string addresses;
        for (const TSmtpRefusal& refusal : refused)
            addresses += (addresses.empty() ? "" : ", ") + refusal.Address + " (" + refusal.Reply.Code() + " " +
                         refusal.Reply.Text() + ")";
        Status(FormatMsg("SendSMTPMailRefused", addresses));
    }
    return oSent;
}
