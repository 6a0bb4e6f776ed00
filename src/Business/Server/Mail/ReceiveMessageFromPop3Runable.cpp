#include "ReceiveMessageFromPop3Runable.h"

#include <fstream>
#include <typeinfo>
#include <unordered_map>

#include "ChineseSubject.h"
#include "FormatTransportError.h"
#include "MailSummary.h"
#include "TransportErrors.h"
#include "Business/Account/AccountFolder.h"
#include "Business/Account/AccountManager.h"
#include "Business/AccountMail/AccountMailTarget.h"
#include "Business/AccountMail/MailComplex.h"
#include "Business/AccountMail/MailHeaderFields.h"
#include "Business/Data/ConfigManager.h"
#include "Business/Mime/MessageIo.h"
#include "Business/Server/MailRuleChecks.h"
#include "Business/Server/MailSendReceiveObservable.h"
#include "Business/Server/Worker.h"
#include "Runtime/AutoReleasePool.h"
#include "Runtime/Finally.h"
#include "Runtime/Log.h"
#include "Runtime/TypeName.h"

namespace {

constexpr const char* kClass = "TRcReceiveMessageFromPop3Runable";

// The first address of a From header, for the name lists.
std::string FirstAddress(const std::string& aFrom)
{
    for (const TAddressItem& item : ParseAddressList(aFrom))
        if (!item.Address.empty())
            return item.Address;
    return {};
}

// Adds the time from its making to its end to a total.
class TStopwatch {
public:
    explicit TStopwatch(double& aTotal) : FTotal(aTotal) {}
    ~TStopwatch() { FTotal += std::chrono::duration<double>(std::chrono::steady_clock::now() - FStart).count(); }
    TStopwatch(const TStopwatch&) = delete;
    TStopwatch& operator=(const TStopwatch&) = delete;

private:
    double& FTotal;
    std::chrono::steady_clock::time_point FStart = std::chrono::steady_clock::now();
};

// Nothing but blanks and control characters (or nothing at all).
bool IsBlank(const std::string& aText)
{
    for (char c : aText)
        if (static_cast<unsigned char>(c) > ' ')
            return false;
    return true;
}

} // namespace

TRcReceiveMessageFromPop3Runable::TRcReceiveMessageFromPop3Runable(int aId, TRcResPath* aResPath,
                                                                   TPop3Mode aPop3Mode, TDateTime aBeginDate,
                                                                   TDateTime aEndDate,
                                                                   TRcMailSendReceiveObservable* aObservable,
                                                                   TTransportTuning aTuning)
    : TRcTransportRunable(kClass, aId, aResPath, aObservable), FPop3Mode(aPop3Mode),
      FBeginDate(WholeDay(aBeginDate)), FEndDate(WholeDay(aEndDate)), FTuning(std::move(aTuning))
{
}

TRcReceiveMessageFromPop3Runable::~TRcReceiveMessageFromPop3Runable()
{
    DropPending();
    std::error_code ec;
    if (!FRawFile.empty())
        std::filesystem::remove(FRawFile, ec);
}

void TRcReceiveMessageFromPop3Runable::Run()
{
    RunActivity("POP3 " + TransportMsg("ReceiveMail"), [&] {
        TFinally removeRaw([&] {
            std::error_code ec;
            if (!FRawFile.empty())
                std::filesystem::remove(FRawFile, ec);
            FRawFile.clear();
        });
        try {
            TFinally disconnect([&] { Disconnect(); });
            Connect();
            SelectMessages();
            DownloadMessages();
        } catch (const std::exception& e) {
            const std::string prefix = TransportMsg("MsgTitleError") + "：";
            OccurError(prefix + FormatTransportError(prefix, e, LastReply()));
        }
    });
}

void TRcReceiveMessageFromPop3Runable::CancelTransfer()
{
    std::lock_guard lock(FPop3Mutex);
    if (FPop3)
        FPop3->Cancel();
}

const TServerReply* TRcReceiveMessageFromPop3Runable::LastReply() const
{
    return FPop3 ? FPop3->LastReply() : nullptr;
}

// ---- connecting -------------------------------------------------------------

void TRcReceiveMessageFromPop3Runable::Connect()
{
    Status(TransportMsg("ReceivePop3MailBegin"));
    TAccountManager* accounts = TAccountManager::AccountManager();
    TRcAccount* account = accounts ? accounts->GetAccount(FResPath.Get()) : nullptr;
    if (!account)
        throw Exception("账户不存在：" + FResPath->ToString());
    TAccountFolderManager* folders = TAccountFolderManager::AccountFolderManager();
    TRcResPath* receiving = folders ? folders->GetStandardFolderResPath(FResPath.Get(), aftReceiving) : nullptr;
    if (!receiving)
        throw Exception("账户没有收件中文件夹：" + FResPath->ToString());
    FReceivingFolderResPath = TRcRef<TRcResPath>::Retain(receiving);
    FReceiveState = FPop3Mode == prmPop3Translate ? msarsPop3Translate : msarsPop3NotTranslate;
    FRetrCount = 0;

    const TAccountSettings settings = account->Settings();
    FSettings = Pop3TransportSettings(settings);
    if (FTuning)
        FTuning(FSettings);
    FUser = settings.FPop3User;
    FPassword = settings.FPop3Password;
    Login();
}

void TRcReceiveMessageFromPop3Runable::Login()
{
    auto client = std::make_unique<TPop3Client>(FSettings);
    TPop3Client* pop3 = client.get();
    {
        std::lock_guard lock(FPop3Mutex);
        FPop3 = std::move(client);
        if (NeedCancel())
            FPop3->Cancel();
    }
    pop3->Connect(FUser, FPassword);
}

void TRcReceiveMessageFromPop3Runable::Disconnect() noexcept
{
    if (FPop3)
        FPop3->Disconnect();
    FReceivingFolderResPath = nullptr;
    try {
        Status(TransportMsg("ReceivePop3MailEnd"));
    } catch (const std::exception& e) {
        TLog::O(lolError, "异常(%s)：%s", {DemangledName(typeid(e)), e.what()});
    }
}

void TRcReceiveMessageFromPop3Runable::Reconnect()
{
    TLog::O(lolWorn, std::string(kClass) + ".Reconnect 连接已断开，重新连接", "");
    FPop3->Disconnect();
    Login();
    std::unordered_map<std::string, int> numbers;
    for (const TUidlEntry& entry : FPop3->Uidl())
        numbers.emplace(entry.Uid, entry.Number);
    for (TUidItem& item : FUidList.Items) {
        if (!item.NeedRetrFlag || item.NeedDeleFlag)
            continue;
        const auto found = numbers.find(item.UidlId);
        if (found == numbers.end())
            item.NeedRetrFlag = false;   // gone from the server meanwhile
        else
            item.Id = found->second;
    }
}

// ---- selecting ----------------------------------------------------------------

void TRcReceiveMessageFromPop3Runable::SelectMessages()
{
    TStopwatch select(FTimes.Select);
    Status(TransportMsg("ReceivePop3MailList"));
    FUidList.Items.clear();
    for (TUidlEntry& entry : FPop3->Uidl())
        FUidList.Items.push_back({entry.Number, std::move(entry.Uid), true, false});

    TLog::O(lolDebug, "判定和检测 Uidl 出来的邮件，哪些才是需要接收的", "");
    FReadHeader = true;
    TFinally readHeader([&] {
        FReadHeader = false;
        // Headers read so far are worth keeping, whatever ended the loop;
        // the cache only saves TOPs, so failing to write it ends nothing.
        std::vector<TAccountMailManager::TMailHeaderRow> rows;
        rows.swap(FNewHeaders);
        try {
            TransportMails().ReplaceMailHeaders(FResPath.Get(), rows);
        } catch (const std::exception& e) {
            TLog::O(lolWorn, "不能保存邮件头缓存：%s", {e.what()});
        }
    });
    Status(TransportMsg("ReceivePop3MailListIng"));
    FMailHeaderCount = static_cast<int>(FUidList.Items.size()) - 1;
    TAccountMailManager& mails = TransportMails();
    for (std::size_t i = 0; i < FUidList.Items.size() && !NeedCancel(); ++i) {
        TUidItem& item = FUidList.Items[i];
        if (mails.UidExists(FResPath.Get(), item.UidlId))
            item.NeedRetrFlag = false;
        FCurrHeaderCount = static_cast<int>(i);
        if (!item.NeedRetrFlag)
            continue;
        try {
            item.NeedRetrFlag = WantMessage(item);
        } catch (const std::exception& e) {
            item.NeedRetrFlag = false;
            OccurError(TransportMsg("MsgTitleError") + "：" + e.what());
            // Without a connection every further header would fail the
            // same way: the run ends here.
            if (!FPop3->Connected())
                throw;
        }
    }
}

bool TRcReceiveMessageFromPop3Runable::WantMessage(const TUidItem& aItem)
{
    TAccountMailManager& mails = TransportMails();
    TAccountMailManager::TMailHeaderRow header;
    if (!mails.CheckMailHeaderByUid(FResPath.Get(), header, aItem.UidlId)) {
        std::string text;
        try {
            text = FPop3->RetrieveHeader(aItem.Id);
        } catch (const EPop3ReplyError& e) {
            TLog::O(lolWorn, "TOP %d：%s", {aItem.Id, e.what()});
            return false;   // no header, no download
        }
        Progress(FCurrHeaderCount, FMailHeaderCount, "  ");
        // A Date that is missing or unreadable is kept as 0: inside any
        // window, or such a mail could never be received. The same for a
        // header that does not parse at all: the message is still mail.
        header = {aItem.UidlId, 0, {}, {}};
        if (const TGObject<GMimeMessage> message = ParseMessage(text)) {
            const TMailHeaderFields fields = MailHeaderFieldsOf(message.get());
            header = {aItem.UidlId, fields.HasDate ? fields.Date : 0, FirstAddress(fields.From), fields.Subject};
        }
        FNewHeaders.push_back(header);
    }
    bool want = true;
    if (header.Data != 0) {
        const TDateTime day = WholeDay(header.Data);
        want = day >= FBeginDate && day <= FEndDate;
    }
    if (CheckWhitekName(FResPath.Get(), header.FromAddress))
        want = true;
    else if (CheckBlackName(FResPath.Get(), header.FromAddress))
        want = false;
    else if (CheckMailFilter(FResPath.Get(), header.Subject))
        want = false;
    return want;
}

// ---- downloading ---------------------------------------------------------------

void TRcReceiveMessageFromPop3Runable::DownloadMessages()
{
    const int count = FUidList.GetNeedRetrCount();
    Status(TransportMsg("ReceivePop3MailCount", count));
    FRetrCount = 0;
    TAccountMailManager& mails = TransportMails();
    mails.BeginUpdate();
    TFinally endUpdate([&] { mails.EndUpdate(); });
    {
        // What was fetched whole is stored however the loop ends.
        TFinally commit([&] { CommitPending(); });
        for (std::size_t i = 0; i < FUidList.Items.size(); ++i) {
            if (!FUidList.Items[i].NeedRetrFlag)
                continue;
            const int position = static_cast<int>(i) + 1;
            Status(TransportMsg("ReceivePop3MailIndex", FRetrCount + 1));
            FObservable->NotifyMailSwitch(FId, count, mskReceiving, FRetrCount + 1);
            try {
                Pop3Retr(i);
            } catch (const std::exception& e) {
                const std::string prefix = "POP3 " + TransportMsg("ReceivePop3MailIndex", position);
                OccurError(prefix + TransportMsg("OccurredError") + "：" + FormatTransportError(prefix, e, LastReply()));
                if (!NeedCancel() && !FPop3->Connected()) {
                    CommitPending();
                    Reconnect();
                }
            }
            if (NeedCancel())
                break;
            CommitIfDue();
        }
    }
    TLog::O(lolInfo, "接收 %d 封邮件用时（秒）：选择 %s，传输 %s，解析 %s，归档 %s，同步 %s，提交 %s",
            {FRetrCount, std::to_string(FTimes.Select), std::to_string(FTimes.Transfer),
             std::to_string(FTimes.Parse), std::to_string(FTimes.Archive), std::to_string(FTimes.Sync),
             std::to_string(FTimes.Commit)});
    Status(TransportMsg(NeedCancel() ? "ReceivePop3MailCancle" : "ReceivePop3MailSuccess"));
}

void TRcReceiveMessageFromPop3Runable::Pop3Retr(std::size_t aItem)
{
    TUidItem& item = FUidList.Items[aItem];
    // One raw file serves every message of the run, rewritten for each:
    // it is read only while the message is taken apart, and making a new
    // file costs more than the small message it would hold. The complex
    // needs nothing else to start with: BuildOther makes every other
    // working file anew (those of an empty complex would be left behind).
    if (FRawFile.empty())
        FRawFile = TRcMailComplex::GetTempFileName("pop3_retr.eml");
    auto complex = MakeRc<TRcMailComplex>();
    complex->Raw()->FFileName = FRawFile;
    complex->Raw()->FValid = true;
    bool kept = false;
    TFinally drop([&] {
        complex->Raw()->FFileName.clear();   // the run's, not the complex's
        complex->Raw()->FValid = false;
        if (!kept)
            complex->RemoveWorkingFiles();
    });

    {
        TStopwatch transfer(FTimes.Transfer);
        const int64_t size = FPop3->RetrieveMsgSize(item.Id);
        if (size < 0)
            FPop3->RaiseExceptionForLastCmdResult();
        FReadMaxCount = size;
        Progress(0, FReadMaxCount, "");
        TLog::Mdd(std::string(kClass) + ".Pop3Retr RetrieveRaw", [&] {
            std::ofstream raw(complex->Raw()->FFileName, std::ios::binary | std::ios::trunc);
            int64_t read = 0;
            FPop3->Retrieve(item.Id, [&](std::string_view aData) {
                raw.write(aData.data(), static_cast<std::streamsize>(aData.size()));
                if (!raw)
                    throw Exception("不能写入文件 " + complex->Raw()->FFileName.string());
                read += static_cast<int64_t>(aData.size());
                FReadMaxCount = std::max(FReadMaxCount, read);
                Progress(read, FReadMaxCount, "");
            });
            raw.close();
            if (!raw)
                throw Exception("不能写入文件 " + complex->Raw()->FFileName.string());
        });
    }
    if (NeedCancel())
        return;
    ++FRetrCount;
    if (complex->Raw()->Size() <= 0) {
        OccurError(TransportMsg("ReceivePop3MailSizeTooSmall", FRetrCount));
        return;
    }
    TAccountMailManager& mails = TransportMails();
    TStopwatch parse(FTimes.Parse);
    complex->BuildOther(false);
    TRcRef<TRcMail> mail = mails.CreateMail();
    mails.UpdateMailByMailComplex(mail.Get(), complex.Get());
    mail->FUid = item.UidlId;
    mail->FSourceLanguage = mailstore::kUnknownLanguage;
    mail->FTargetLanguage = 1;
    mail->FSendReceiveState = FReceiveState;
    FMailSummary = MailSummaryOf(complex->HtmlBody()->ReadHtmlContent());
    mail->FMailSummary = FMailSummary;
    if ((mail->FSendReceiveState == msarsPop3Translate && mail->FSize > kTranslateSizeLimit) ||
        HasChineseSubject(mail->FSubject) || IsBlank(mail->FSubject))
        mail->FSendReceiveState = msarsPop3NotTranslate;

    TAccountMailManager::TReceivedMail received{mail, {}, complex->FReportMessageId};
    // A read receipt keeps no files: only its mark on the mail it answers.
    if (received.ReceiptFor.empty()) {
        const auto start = std::chrono::steady_clock::now();
        received.Files = mails.StoreReceivedFiles(FReceivingFolderResPath.Get(), complex.Get());
        const double stored = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        FTimes.Archive += stored;
        FTimes.Parse -= stored;   // counted apart, not as taking apart
    }
    if (FGroup.empty())
        FGroupStart = std::chrono::steady_clock::now();
    FGroup.push_back(std::move(received));
    FPending.push_back({complex, aItem});
    kept = true;
}

void TRcReceiveMessageFromPop3Runable::CommitIfDue()
{
    if (!FGroup.empty() && std::chrono::steady_clock::now() - FGroupStart >= kCommitInterval)
        CommitPending();
}

void TRcReceiveMessageFromPop3Runable::CommitPending()
{
    if (FGroup.empty())
        return;
    TFinally drop([&] { DropPending(); });
    TAccountMailManager& mails = TransportMails();
    auto* saved = TRcResPathList::CreateAndAutoRelease();
    {
        TStopwatch commit(FTimes.Commit);
        mails.SaveReceivedMails(FReceivingFolderResPath.Get(), FGroup, saved);
    }
    for (const TAccountMailManager::TReceivedMail& received : FGroup) {
        FTimes.Sync += received.Files.SyncSeconds();
        FTimes.Commit -= received.Files.SyncSeconds();
    }
    for (std::size_t i = 0; i < FPending.size(); ++i) {
        FUidList.Items[FPending[i].Item].NeedDeleFlag = true;
        if (!FGroup[i].Saved)
            continue;
        try {
            mails.SaveSecretaryMailCorresOriginal(FReceivingFolderResPath.Get(), FGroup[i].Mail.Get(),
                                                  FPending[i].Complex.Get());
        } catch (const std::exception& e) {
            OccurError(TransportMsg("MsgTitleError") + "：" + e.what());
        }
    }
}

void TRcReceiveMessageFromPop3Runable::DropPending() noexcept
{
    for (TPending& pending : FPending)
        pending.Complex->RemoveWorkingFiles();
    FPending.clear();
    FGroup.clear();   // files not committed go with their entries
}
