#include "ReceiveMessageFromNorvelRunable.h"

#include <algorithm>
#include <cstdlib>

#include "HttpFailure.h"
#include "Business/Account/AccountFolder.h"
#include "Business/Account/AccountManager.h"
#include "Business/AccountMail/AccountMailTarget.h"
#include "Business/AccountMail/MailComplex.h"
#include "Business/Data/ConfigManager.h"
#include "Business/Data/EncryDes.h"
#include "Business/Http/HttpJsonReply.h"
#include "Business/Http/HttpText.h"
#include "Business/Server/Mail/FormatTransportError.h"
#include "Business/Server/Mail/MailSummary.h"
#include "Business/Server/Mail/TransportErrors.h"
#include "Business/Server/MailSendReceiveObservable.h"
#include "Runtime/AsciiText.h"
#include "Runtime/Finally.h"
#include "Runtime/Log.h"

namespace {

constexpr const char* kClass = "TRcReceiveMessageFromNorvelRunable";
constexpr const char* kBadReply = "服务器返回内容格式错误";
constexpr const char* kServiceFailed = "服务器执行失败";

std::string ServiceUrl()
{
    const TConfigManager* config = TConfigManager::ConfigManager();
    return config ? config->NorvelServerUrl() : std::string();
}

THttpOptions Bounded(THttpOptions aOptions)
{
    if (aOptions.MaxFileBytes == 0)
        aOptions.MaxFileBytes = TRcReceiveMessageFromNorvelRunable::kMaxMailBytes;
    return aOptions;
}

// The services write numbers as JSON numbers or as texts; null and
// anything else read as empty.
std::string EntryText(const nlohmann::json& aEntry, const char* aName)
{
    const auto it = aEntry.find(aName);
    if (it == aEntry.end())
        return {};
    if (it->is_string())
        return it->get<std::string>();
    if (it->is_number() || it->is_boolean())
        return it->dump();
    return {};
}

int EntryInt(const nlohmann::json& aEntry, const char* aName)
{
    const std::string text = Trimmed(EntryText(aEntry, aName));
    if (text.empty())
        return 0;
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    return end && *end == '\0' ? static_cast<int>(value) : 0;
}

// " (译文)": which part of an entry is being fetched.
std::string KindText(const char* aKey)
{
    std::string text = " (";
    text.append(TransportMsg(aKey)).append(")");
    return text;
}

bool IsNullText(const std::string& aText)
{
    return aText.empty() || aText == "null";
}

} // namespace

TRcReceiveMessageFromNorvelRunable::TDownloads::~TDownloads()
{
    for (const TRcRef<TRcMailComplex>& complex : Complexes) {
        complex->Raw()->FFileName.clear();   // one of Files, removed below
        complex->RemoveWorkingFiles();
    }
    for (const std::filesystem::path& file : Files) {
        std::error_code ec;
        std::filesystem::remove(file, ec);
    }
}

TRcReceiveMessageFromNorvelRunable::TRcReceiveMessageFromNorvelRunable(int aId, TRcResPath* aResPath,
                                                                       TRcMailSendReceiveObservable* aObservable,
                                                                       THttpOptions aOptions)
    : TRcTransportRunable(kClass, aId, aResPath, aObservable),
      FIdHttp(MakeRc<THttpRequest>(Bounded(std::move(aOptions)))),
      FMailIdsList(MakeRc<TRcList<TRcMailIdsItem>>()), FNorvelServerUrl(ServiceUrl())
{
}

void TRcReceiveMessageFromNorvelRunable::CancelTransfer()
{
    FIdHttp->Cancel();
}

void TRcReceiveMessageFromNorvelRunable::Run()
{
    // The service is off: the receive jobs use POP3 alone, and this step
    // neither asks anything nor reports anything.
    if (FNorvelServerUrl.empty()) {
        TLog::O(lolDebug, std::string(kClass) + ".Run 没有配置翻译服务地址，跳过", "");
        return;
    }
    RunActivity(TransportMsg("ReceiveNorvelMail"), [&] {
        try {
            // One closing line, whatever ended the run (a refusal, an
            // error, a cancel or the end of the list).
            TFinally finish([&] {
                FAccount = nullptr;
                FReceivingFolderResPath = nullptr;
                Status(TransportMsg(NeedCancel() ? "ReceivePop3MailCancle" : "ReceivePop3MailSuccess"));
            });
            Start();
            if (GetMailList())
                DownloadMailList();
        } catch (const std::exception& e) {
            const std::string prefix = TransportMsg("MsgTitleError") + "：";
            OccurError(prefix + FormatTransportError(prefix, e, nullptr));
        }
    });
}

void TRcReceiveMessageFromNorvelRunable::Start()
{
    Status(TransportMsg("ReceivePop3MailListIng"));
    FObservable->FReceiveNorvelServerRejected = false;
    TAccountManager* accounts = TAccountManager::AccountManager();
    TRcAccount* account = accounts ? accounts->GetAccount(FResPath.Get()) : nullptr;
    if (!account)
        throw Exception("账户不存在：" + FResPath->ToString());
    FAccount = TRcRef<TRcAccount>::Retain(account);
    TAccountFolderManager* folders = TAccountFolderManager::AccountFolderManager();
    TRcResPath* receiving = folders ? folders->GetStandardFolderResPath(FResPath.Get(), aftReceiving) : nullptr;
    if (!receiving)
        throw Exception("账户没有收件中文件夹：" + FResPath->ToString());
    FReceivingFolderResPath = TRcRef<TRcResPath>::Retain(receiving);
}

std::string TRcReceiveMessageFromNorvelRunable::ServiceText(const std::string& aInfo)
{
    const TConfigManager* config = TConfigManager::ConfigManager();
    if (config && !aInfo.empty() && config->HasMsg(aInfo))
        return config->GetMsg(aInfo);
    return aInfo;
}

THttpJsonReply TRcReceiveMessageFromNorvelRunable::PostAction(const char* aAction,
                                                              const std::vector<THttpField>& aFields)
{
    std::string url = FNorvelServerUrl;
    url.append("mailOprAction!").append(aAction).append(".action");
    const THttpResult result = FIdHttp->PostForm(url, aFields);
    // A reply that arrived whole is used even when a cancel came after it.
    if (!result.Ok)
        RaiseHttpFailure(result);
    THttpJsonReply reply = THttpJsonReply::Parse(result.Body);
    if (!reply.IsJson())
        throw Exception(kBadReply);
    return reply;
}

// ---- the list -------------------------------------------------------------------

bool TRcReceiveMessageFromNorvelRunable::GetMailList()
{
    Status(TransportMsg("ReceivePop3MailList"));
    const TAccountSettings settings = FAccount->Settings();
    const THttpJsonReply reply =
        PostAction("receiveMailList", {THttpField::Plain("user_email", settings.FEmail),
                                       THttpField::Plain("user_password", EncryDes(settings.FPop3Password)),
                                       THttpField::Plain("start_time", ""), THttpField::Plain("end_time", "")});
    if (reply.ResultText() == "0") {
        // Not an error: the receive job goes on with POP3.
        Status(TransportMsg("ReceiveMialServer") + ServiceText(reply.InfoText()));
        FObservable->FReceiveNorvelServerRejected = true;
        return false;
    }
    // No "info" at all is an empty list; anything but a list is no reply.
    const nlohmann::json entries = reply.InfoJson().value_or(nlohmann::json::array());
    if (!entries.is_array() || (!reply.InfoJson() && !Trimmed(reply.InfoText()).empty()))
        throw Exception(kBadReply);

    TAccountMailManager& mails = TransportMails();
    FMailIdsList->Clear();
    for (const nlohmann::json& entry : entries) {
        if (!entry.is_object())
            continue;
        auto item = MakeRc<TRcMailIdsItem>();
        item->mail_id = Trimmed(EntryText(entry, "mail_id"));
        item->mailurl = Trimmed(EntryText(entry, "mailurl"));
        item->send_type = EntryInt(entry, "send_type");
        item->sourceurl = Trimmed(EntryText(entry, "sourceurl"));
        item->source_language = EntryInt(entry, "source_language");
        item->mail_Uid = EntryText(entry, "mail_uid");
        item->translate_id = EntryText(entry, "translate_id");
        item->title = EntryText(entry, "title");
        if (IsNullText(item->mail_id) || IsNullText(item->mailurl))
            continue;
        // A translation of a mail submitted from here whose mail has since
        // been deleted has nothing to belong to. (An entry already stored
        // is kept: CollectEntry confirms it.)
        if (item->send_type == 1 && !mails.UidExists(FResPath.Get(), item->mail_Uid) &&
            !mails.CheckSourceMail(FResPath.Get(), item->mail_id))
            continue;
        // The source is wanted only when the service names a mail by its
        // uid and that mail is not here yet; otherwise the local mail (or
        // none) stands in for it.
        item->onlyTranslate =
            IsNullText(item->translate_id) || mails.UidExists(FResPath.Get(), item->translate_id);
        FMailIdsList->Add(item.Get());
    }
    return true;
}

void TRcReceiveMessageFromNorvelRunable::DownloadMailList()
{
    const int count = FMailIdsList->Count();
    Status(TransportMsg("ReceivePop3MailCount", count));
    TAccountMailManager& mails = TransportMails();
    mails.BeginUpdate();
    TFinally endUpdate([&] { mails.EndUpdate(); });
    for (int i = 0; i < count && !NeedCancel(); ++i) {
        const int position = i + 1;
        Status(TransportMsg("ReceivePop3MailIndex", position));
        FObservable->NotifyMailSwitch(FId, count, mskReceiving, position);
        try {
            CollectEntry(*FMailIdsList->GetItem(i));
        } catch (const std::exception& e) {
            const std::string prefix = TransportMsg("ReceivePop3MailIndex", position);
            OccurError(prefix + TransportMsg("OccurredError") + "：" + FormatTransportError(prefix, e, nullptr));
        }
    }
}

// ---- one entry ------------------------------------------------------------------

void TRcReceiveMessageFromNorvelRunable::CollectEntry(TRcMailIdsItem& aItem)
{
    if (NeedCancel())
        return;
    TAccountMailManager& mails = TransportMails();
    // Stored already: a run stored it and then failed to confirm it (the
    // receipt was refused, the line broke, the program ended). It is
    // confirmed now instead of being skipped, or the service would offer
    // it on every run for ever; it is never stored twice.
    if (mails.UidExists(FResPath.Get(), aItem.mail_Uid)) {
        PostReceipt(aItem);
        return;
    }

    int kind = 0;
    std::string sourceId;
    if (aItem.send_type == 1) {
        kind = 1;
        sourceId = aItem.mail_id;
    }
    if (aItem.onlyTranslate && kind != 1 && !aItem.translate_id.empty()) {
        if (TRcMail* local = mails.GetMailForUid(FResPath.Get(), aItem.translate_id))
            sourceId = local->ResId()->Id();
        kind = 3;
    }
    const bool withSource = !aItem.sourceurl.empty() && !aItem.onlyTranslate;

    // Every part is downloaded and taken apart before anything is stored:
    // a translation stored alone would mark the entry as stored (its uid),
    // and its source could then never be fetched again.
    TDownloads downloads;
    FObservable->NotifyTaskUpdateSubject(FId, aItem.title, KindText("TranslationMail"));
    TRcMailComplex* translation = Download(aItem.mailurl, downloads);
    TRcMailComplex* source = nullptr;
    if (withSource) {
        FObservable->NotifyTaskUpdateSubject(FId, aItem.title, KindText("OriginalMail"));
        source = Download(aItem.sourceurl, downloads);
    }

    // What has arrived is stored, even when a cancel came meanwhile.
    RecNorvelMail(translation, kind, aItem.source_language, aItem.mail_Uid, sourceId);
    if (source)
        RecNorvelMail(source, aItem.send_type, 1, aItem.mail_Uid, aItem.mail_id);
    if (!NeedCancel())
        PostReceipt(aItem);
}

TRcMailComplex* TRcReceiveMessageFromNorvelRunable::Download(const std::string& aUrl, TDownloads& aDownloads)
{
    const std::filesystem::path file = TRcMailComplex::GetTempFileName("norvel_recv.eml");
    aDownloads.Files.push_back(file);
    FReadMaxCount = 0;
    FIdHttp->Options().Progress = [this](int64_t aDone, int64_t aTotal) {
        FReadMaxCount = std::max({FReadMaxCount, aTotal, aDone});
        Progress(aDone, FReadMaxCount, "");
    };
    THttpResult result;
    TLog::Mdd(std::string(kClass) + ".RecvMail Get", [&] { result = FIdHttp->GetToFile(aUrl, file); });
    FIdHttp->Options().Progress = nullptr;
    if (!result.Ok)
        RaiseHttpFailure(result);
    std::error_code ec;
    if (std::filesystem::file_size(file, ec) == 0 || ec)
        throw Exception("下载的邮件是空的：" + HttpUrlForLog(aUrl));

    auto complex = MakeRc<TRcMailComplex>();
    aDownloads.Complexes.push_back(complex);
    complex->Raw()->FFileName = file;
    complex->Raw()->FValid = true;
    complex->BuildOther(false);
    return complex.Get();
}

void TRcReceiveMessageFromNorvelRunable::RecNorvelMail(TRcMailComplex* aComplex, int aKind, int aSourceLanguage,
                                                       const std::string& aUid, const std::string& aSourceId)
{
    TAccountMailManager& mails = TransportMails();
    TRcResPath* folder = FReceivingFolderResPath.Get();
    TRcRef<TRcMail> mail = mails.CreateMail();
    FMailSummary = MailSummaryOf(aComplex->HtmlBody()->ReadHtmlContent());
    mail->FMailSummary = FMailSummary;
    mail->FTargetLanguage = -1;
    TRcResPath* mailPath = folder->Append(mail->ResId());
    // The complex's files are written and synced before any row names the
    // mail.
    mails.SaveMailComplex(mailPath, aComplex);
    mails.UpdateMailByMailComplex(mail.Get(), aComplex);
    mail->FSourceLanguage = aSourceLanguage;
    mail->FSendReceiveState = msarsPop3FromNorvel;
    mail->FUid = aUid;
    if ((aKind == 1 || aKind == 3) && !aSourceId.empty())
        mail->SetSorceResId(mailstore::MailId(aSourceId));
    else if (aKind == 2 && !FOriginalMailId.empty())
        mail->SetSorceResId(mailstore::MailId(FOriginalMailId));
    mail->FSourceType = mrmTranslate;
    mails.SaveTranslateMail(folder, mail.Get());
    switch (aKind) {
    case 0:
        FOriginalMailId = mail->ResId()->Id();
        mails.MoveMailToInBox(mailPath, mail.Get());
        break;
    case 1:
        mails.UpdateNorvelMail(mailPath, mail.Get());
        break;
    case 2:
    case 3:
        mails.SourceMailCorresOriginal(mailPath, mail.Get(), aKind);
        break;
    default:
        break;   // left in the receiving folder: the job's end moves it
    }
    mails.SaveSecretaryMailCorresOriginal(folder, mail.Get(), aComplex);
}

void TRcReceiveMessageFromNorvelRunable::PostReceipt(const TRcMailIdsItem& aItem)
{
    const THttpJsonReply reply =
        PostAction("receiveMailReceipt", {THttpField::Plain("mail_id", aItem.mail_id),
                                          THttpField::Plain("send_type", std::to_string(aItem.send_type))});
    if (reply.ResultText() == "0") {
        const std::string text = ServiceText(reply.InfoText());
        throw Exception(text.empty() ? std::string(kServiceFailed) : text);
    }
}
