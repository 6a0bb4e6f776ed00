#include "SendMessageToNorvelRunable.h"

#include "HttpFailure.h"
#include "BigAttachmentSendStep.h"
#include "FileServerUploader.h"
#include "Business/Account/AccountFolder.h"
#include "Business/Account/AccountManager.h"
#include "Business/AccountMail/AccountMailManager.h"
#include "Business/AccountMail/MailComplex.h"
#include "Business/Data/ConfigManager.h"
#include "Business/Data/TempFileManager.h"
#include "Business/Http/HttpJsonReply.h"
#include "Business/Mime/MessageIo.h"
#include "Business/Server/Mail/FormatTransportError.h"
#include "Business/Server/Mail/TransportErrors.h"
#include "Business/Server/MailSendReceiveObservable.h"
#include "Runtime/AsciiText.h"
#include "Runtime/Finally.h"
#include "Runtime/Log.h"

#include <system_error>

namespace {

constexpr const char* kClass = "TRcSendMessageToNorvelRunable";

std::string Joined(const std::vector<std::string>& aAddresses)
{
    std::string text;
    for (const std::string& address : aAddresses)
        text.append(text.empty() ? "" : "; ").append(address);
    return text;
}

} // namespace

TNorvelSubmitSettings TNorvelSubmitSettings::Configured()
{
    TNorvelSubmitSettings settings;
    if (const TConfigManager* config = TConfigManager::ConfigManager()) {
        settings.ServiceUrl = config->NorvelServerUrl();
        settings.FileServer = config->NorvelFileManagerServerUrl();
    }
    return settings;
}

TRcSendMessageToNorvelRunable::TRcSendMessageToNorvelRunable(int aId, TRcResPath* aResPath,
                                                             TRcMailSendReceiveObservable* aObservable,
                                                             TNorvelSubmitSettings aSettings)
    : TRcTransportRunable(kClass, aId, aResPath, aObservable), FSettings(std::move(aSettings))
{
}

void TRcSendMessageToNorvelRunable::Run()
{
    TRcResPathList* found = nullptr;
    try {
        found = TransportMails().GetSendingFolderMails(FResPath.Get(), {msarsSendToNorvel});
    } catch (const std::exception& e) {
        TLog::O(lolWorn, "%s：待翻译邮件列表：%s", {kClass, e.what()});
    }
    // Nothing queued (or no account database): no activity to show.
    if (!found || found->Count() == 0)
        return;
    TRcRef<TRcResPathList> mails = TRcRef<TRcResPathList>::Retain(found);
    RunActivity(TransportMsg("SendMail"), [&] {
        if (FSettings.ServiceUrl.empty() || FSettings.FileServer.empty()) {
            const char* key = FSettings.ServiceUrl.empty() ? "SendNorvelServiceOff" : "SendNorvelNoFileServer";
            Status(TransportMsg(key, mails->Count()));
            return;
        }
        Status(TransportMsg("SendMail"));
        try {
            TAccountManager* accounts = TAccountManager::AccountManager();
            TRcAccount* account = accounts ? accounts->GetAccount(FResPath.Get()) : nullptr;
            if (!account)
                throw Exception("账户不存在：" + FResPath->ToString());
            FAccountEmail = account->Email();
            SendList(mails.Get());
        } catch (const std::exception& e) {
            const std::string prefix = TransportMsg("MsgTitleError") + "：";
            OccurError(prefix + FormatTransportError(prefix, e, nullptr));
        }
    });
}

void TRcSendMessageToNorvelRunable::SendList(TRcResPathList* aMails)
{
    const int count = aMails->Count();
    Status(TransportMsg("SendSMTPMailCount", count));
    for (int i = 0; i < count && !NeedCancel(); ++i) {
        const int position = i + 1;
        Status(TransportMsg("SendSMTPMailIndex", position));
        FObservable->NotifyMailSwitch(FId, count, mskSending, position);
        try {
            Send(aMails->GetItem(i));
        } catch (const std::exception& e) {
            const std::string prefix = TransportMsg("SendSMTPMailIndex", position);
            OccurError(prefix + TransportMsg("OccurredError") + "：" + FormatTransportError(prefix, e, nullptr));
        }
    }
    Status(TransportMsg(NeedCancel() ? "SendSMTPMailCancle" : "SendSMTPMailSuccess"));
}

void TRcSendMessageToNorvelRunable::MoveToDrafts(TRcResPath* aMailResPath)
{
    TAccountFolderManager* folders = TAccountFolderManager::AccountFolderManager();
    TRcResPath* drafts = folders ? folders->GetStandardFolderResPath(FResPath.Get(), aftDraft) : nullptr;
    if (!drafts)
        throw Exception("账户没有草稿箱：" + FResPath->ToString());
    TransportMails().MoveMail(aMailResPath, drafts, msarsNoneUser);
}

std::string TRcSendMessageToNorvelRunable::UploadRaw(TRcMailComplex* aComplex)
{
    // A copy under a plain name: the stored raw file's name says nothing
    // the service needs, and the upload must not hold the store's file.
    TTempFileManager* temp = TTempFileManager::TempFileManager();
    if (!temp)
        throw Exception("临时文件管理器没有创建");
    const std::filesystem::path copy = temp->MakeTempFileName("eml.eml", true);
    TFinally removeCopy([&] {
        std::error_code ec;
        std::filesystem::remove(copy, ec);
    });
    std::filesystem::copy_file(aComplex->Raw()->FFileName, copy, std::filesystem::copy_options::overwrite_existing);

    auto uploader = MakeRc<TRcFileServerUploader>(FSettings.Http);
    const TRunableCancelRegistration registration(&FCancels, uploader.Get(), NeedCancel());
    const std::string reply =
        Trimmed(uploader->UploadFile(FSettings.FileServer, IFileServerUploader::kRemoteFolder, copy,
                                     [this](int64_t aSent, int64_t aTotal) { Progress(aSent, aTotal, ""); }));
    if (reply.empty())
        throw Exception(FormatText("上传到文件服务器发生，错误代码：%d，错误原因：%s",
                                   {uploader->GetLastError(), uploader->GetLastErrorMessage()}));
    return reply;
}

void TRcSendMessageToNorvelRunable::Send(TRcResPath* aMailResPath)
{
    TAccountMailManager& mails = TransportMails();
    TRcMail* mail = mails.GetMail(aMailResPath);
    if (!mail || mail->FSendReceiveState != msarsSendToNorvel)
        return;   // sent, moved or deleted meanwhile
    TRcRef<TRcMail> heldMail = TRcRef<TRcMail>::Retain(mail);
    TRcMailComplex* complex = mails.LoadMailComplex(aMailResPath);
    if (!complex)
        throw Exception("邮件的文件不存在：" + aMailResPath->ToString());
    TRcRef<TRcMailComplex> held = TRcRef<TRcMailComplex>::Retain(complex);
    TFinally removeFiles([&] { complex->RemoveWorkingFiles(); });

    // A big attachment that cannot go up raises here: the mail stays
    // queued, as it was.
    TRcSendMessageToSmtpRunable::TBigAttachmentRun run;
    run.Subject = [this](const std::string& aText) { FObservable->NotifyMailUpdateDesc(FId, aText); };
    run.Status = [this](const std::string& aText) { Status(aText); };
    run.Progress = [this](int64_t aDone, int64_t aTotal) { Progress(aDone, aTotal, ""); };
    run.Cancels = &FCancels;
    run.NeedCancel = [this] { return NeedCancel(); };
    const std::string fileServer = FSettings.FileServer;
    BigAttachmentSendStep([fileServer] { return fileServer; }, FSettings.Http)(aMailResPath, complex, run);
    if (NeedCancel())
        return;
    if (!complex->Raw()->FValid || complex->Raw()->FFileName.empty())
        complex->BuildRaw();
    // The big-attachment step may have saved a changed record.
    if (TRcMail* current = mails.GetMail(aMailResPath))
        heldMail = TRcRef<TRcMail>::Retain(current);
    mail = heldMail.Get();

    const std::string subject = complex->Subject();
    Status("    " + TransportMsg("MailListMailStatus1") + "：" + subject);
    FObservable->NotifyMailUpdateDesc(FId, subject);

    GMimeObject* header = complex->MessageHeader() ? GMIME_OBJECT(complex->MessageHeader()) : nullptr;
    const std::vector<std::string> to = HeaderAddresses(header, "To");
    const std::vector<std::string> cc = HeaderAddresses(header, "Cc");
    const std::vector<std::string> bcc = HeaderAddresses(header, "Bcc");
    if (to.empty() && cc.empty() && bcc.empty())
        return;   // nobody to translate it for: it waits, queued

    Status(TransportMsg("UploadMailToServer"));
    std::string mailInfo;
    try {
        mailInfo = UploadRaw(complex);
    } catch (...) {
        MoveToDrafts(aMailResPath);
        throw;
    }

    const std::vector<THttpField> form = {
        THttpField::Encoded("email_title", mail->FSubject),
        THttpField::Encoded("source_language", std::to_string(mail->FSourceLanguage)),
        THttpField::Encoded("target_language", std::to_string(mail->FTargetLanguage)),
        THttpField::Encoded("client_type", "1"),
        THttpField::Encoded("user_email", FAccountEmail),
        THttpField::Encoded("user_email", Joined(HeaderAddresses(header, "From"))),
        THttpField::Encoded("to_email", Joined(to)),
        THttpField::Encoded("cc_email", Joined(cc)),
        THttpField::Encoded("bcc_email", Joined(bcc)),
        THttpField::Encoded("nassoneshow", mail->FQunFaFlag ? "1" : "0"),
        THttpField::Encoded("message_id", aMailResPath->Last()->Id()),
        THttpField::Encoded("mail_info", mailInfo),
    };
    THttpOptions options = FSettings.Http;
    options.Progress = [this](int64_t aDone, int64_t aTotal) {
        FWriteMaxCount = std::max(FWriteMaxCount, aTotal);
        Progress(aDone, FWriteMaxCount, "");
    };
    auto http = MakeRc<THttpRequest>(options);
    THttpResult result;
    {
        const TRunableCancelRegistration registration(&FCancels, http.Get(), NeedCancel());
        TLog::Mdd(std::string(kClass) + ".Send Post",
                  [&] { result = http->PostForm(FSettings.ServiceUrl + kPath, form); });
    }
    // From here on the answer decides, whatever cancel came meanwhile: a
    // mail the service took must not be offered again.
    if (!result.Ok) {
        MoveToDrafts(aMailResPath);
        RaiseHttpFailure(result);
    }
    const THttpJsonReply reply = THttpJsonReply::Parse(result.Body);
    if (!reply.IsJson()) {
        MoveToDrafts(aMailResPath);
        throw EReplyError("服务器返回内容格式错误");
    }
    const std::optional<int64_t> code = reply.ResultInt();
    if (code == 1) {
        mails.SetMailSendReceiveState(aMailResPath, msarsSendOk);
        return;
    }
    MoveToDrafts(aMailResPath);
    if (code == 0) {
        // A key of the message texts, or else the service's own words.
        const std::string info = reply.InfoText();
        const TConfigManager* config = TConfigManager::ConfigManager();
        std::string text = config && config->HasMsg(info) ? config->GetMsg(info) : info;
        if (Trimmed(text).empty())
            text = "服务器执行失败";
        FObservable->NotifyTaskOccurError(FId, text);
        return;
    }
    throw EReplyError("服务器执行失败");
}

TTransportRunableFactory NorvelSubmitRunableFactory(std::function<TNorvelSubmitSettings()> aSettings)
{
    return [aSettings = std::move(aSettings)](const TTransportJob& aJob) -> TRcRef<IRunable> {
        return MakeRc<TRcSendMessageToNorvelRunable>(
            aJob.TaskId, aJob.AccountResPath, aJob.Observable,
            aSettings ? aSettings() : TNorvelSubmitSettings::Configured());
    };
}
