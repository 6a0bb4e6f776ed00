#include "AccountMailManager.h"

#include <algorithm>

#include "MailComplex.h"
#include "MailHeaderFields.h"
#include "MailManagerSeams.h"
#include "Business/Account/AccountFolder.h"
#include "Business/Account/AccountForSqlite.h"
#include "Business/Account/AccountManager.h"
#include "Business/Data/Schema.h"
#include "Business/Data/SqliteQuery.h"
#include "Business/Mime/AddressList.h"
#include "Business/Mime/MailContact.h"
#include "Runtime/GuidId.h"
#include "Runtime/Log.h"
#include "Runtime/AsciiText.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRemovedCode = 0;

// Where an account keeps the files of its stored mails.
fs::path MailsFolderOf(const TRcResId* aAccountId)
{
    return TRcAccountForSqlite::PathByResId(aAccountId) / "Mails";
}

// An account's open database, the record held for the call so a delete
// on another thread cannot free it underneath.
struct TAccountDb {
    TRcRef<TRcAccountForSqlite> Account;
    TSQLiteDatabase* Db = nullptr;
    TRcResId* AccountId = nullptr;

    TSQLiteDatabase& operator*() const { return *Db; }
    fs::path MailsPath() const { return MailsFolderOf(AccountId); }
};

std::optional<TAccountDb> AccountDbOf(const TRcResPath* aPath)
{
    if (!aPath || aPath->Count() < 1 || !aPath->At(0)->IsType(rtAccount))
        return std::nullopt;
    TAccountManager* accounts = TAccountManager::AccountManager();
    if (!accounts || !TRcAccountForSqlite::IsValidAccountId(aPath->At(0)->Id()))
        return std::nullopt;
    auto* record = dynamic_cast<TRcAccountForSqlite*>(accounts->GetAccount(aPath->At(0)));
    if (!record || !record->GetDb())
        return std::nullopt;
    return TAccountDb{TRcRef<TRcAccountForSqlite>::Retain(record), record->GetDb(), aPath->At(0)};
}

struct TFolderDb {
    TAccountDb Account;
    TAccountFolderType Type;
    int Code;
};

// A [account, folder] path whose folder has a stored code.
std::optional<TFolderDb> FolderDbOf(const TRcResPath* aFolderPath)
{
    if (!aFolderPath || aFolderPath->Count() != 2 || !aFolderPath->At(1)->IsType(rtAccountMailFolder))
        return std::nullopt;
    TAccountFolderManager* folders = TAccountFolderManager::AccountFolderManager();
    const auto type = folders ? folders->GetFolderType(aFolderPath) : std::nullopt;
    const auto code = type ? FolderCodeOf(*type) : std::nullopt;
    if (!code)
        return std::nullopt;
    auto account = AccountDbOf(aFolderPath);
    if (!account)
        return std::nullopt;
    return TFolderDb{std::move(*account), *type, *code};
}

bool IsMailPath(const TRcResPath* aPath)
{
    return aPath && aPath->Count() == 3 && aPath->At(0)->IsType(rtAccount) &&
           aPath->At(1)->IsType(rtAccountMailFolder) && aPath->At(2)->IsType(rtAccountMail);
}

TRcResPath* StandardFolder(TRcResPath* aPath, TAccountFolderType aType)
{
    TAccountFolderManager* folders = TAccountFolderManager::AccountFolderManager();
    return folders ? folders->GetStandardFolderResPath(aPath, aType) : nullptr;
}

TRcResPath* FolderPathOfCode(TRcResPath* aPath, int aCode)
{
    const auto type = FolderTypeOfCode(aCode);
    return type ? StandardFolder(aPath, *type) : nullptr;
}

TRcResId* MailId(const std::string& aId)
{
    return TRcResId::CreateAndAutoRelease(rtAccountMail, aId);
}

TRcResIdList* MailIdList(const std::vector<std::string>& aIds)
{
    auto* list = TRcResIdList::CreateAndAutoRelease();
    for (const auto& id : aIds)
        list->Add(MailId(id));
    return list;
}

// The one address of a single-address list, lower-cased; nothing when the
// list holds none or several.
std::optional<std::string> SingleAddress(const std::string& aText)
{
    const auto items = ParseAddressList(aText);
    if (items.size() != 1)
        return std::nullopt;
    return AsciiLower(items.front().Address);
}

template <class F>
void Swallowed(const char* aWhat, F&& aWork)
{
    try {
        aWork();
    } catch (const std::exception& e) {
        TLog::O(lolError, "%s 失败：%s", {aWhat, e.what()});
    }
}

} // namespace

TAccountMailManager::TAccountMailManager()
    : FDefaultGetMailsOpertion(MakeRc<TGetMailsOpertion>()), FObservable(MakeRc<TAccountMailObservable>()),
      FNotReadedNewReceiveMailList(MakeRc<TRcResPathList>())
{
}

TAccountMailManager::~TAccountMailManager() = default;

// ---- listing --------------------------------------------------------------

TRcResIdList* TAccountMailManager::GetMails(TRcResPath* aFolderResPath, const TGetMailsOpertion* aOpertion)
{
    const auto folder = FolderDbOf(aFolderResPath);
    if (!folder)
        return nullptr;
    const TGetMailsOpertion* opertion = aOpertion ? aOpertion : FDefaultGetMailsOpertion.Get();
    const TMailFilter filter(opertion);
    auto* ids = TRcResIdList::CreateAndAutoRelease();
    for (const auto& row : TSqliteDbMail::ListFolder(*folder->Account, folder->Code, opertion->FSortMode))
        if (filter.Passes(row.Subject, row.From, row.To))
            ids->Add(MailId(row.Id));
    return ids;
}

int TAccountMailManager::GetNotReadedMailCount(TRcResPath* aFolderResPath, const TGetMailsOpertion* aOpertion)
{
    const auto folder = FolderDbOf(aFolderResPath);
    if (!folder)
        return 0;
    const TMailFilter filter(aOpertion);
    const auto rows = TSqliteDbMail::ListNotReaded(*folder->Account, folder->Code);
    return static_cast<int>(std::count_if(rows.begin(), rows.end(), [&](const TSqliteDbMail::TListRow& aRow) {
        return filter.Passes(aRow.Subject, aRow.From, aRow.To);
    }));
}

TRcResIdList* TAccountMailManager::GetAllMails(TRcResPath* aResPath)
{
    const auto account = AccountDbOf(aResPath);
    return account ? MailIdList(TSqliteDbMail::AllIds(**account)) : nullptr;
}

TRcResPathList* TAccountMailManager::GetRelateMailsOfMail(TRcResPath* aMailResPath)
{
    TRcMail* mail = GetMail(aMailResPath);
    if (!mail)
        return nullptr;
    auto* related = TRcResPathList::CreateAndAutoRelease();
    related->Add(aMailResPath);
    const auto from = SingleAddress(mail->FFrom);
    const auto to = SingleAddress(mail->FTo);
    if (!from || !to)
        return related;
    const auto account = AccountDbOf(aMailResPath);
    // Parsing every row's lists is what costs: only rows that mention
    // both addresses can match, and SQLite finds those.
    for (const auto& row : TSqliteDbMail::ListPartiesMentioning(**account, *from, *to)) {
        if (row.Id == mail->ResId()->Id())
            continue;
        const auto rowFrom = SingleAddress(row.From);
        const auto rowTo = SingleAddress(row.To);
        if (!rowFrom || !rowTo)
            continue;
        if ((*rowFrom == *from && *rowTo == *to) || (*rowFrom == *to && *rowTo == *from))
            if (TRcResPath* folder = FolderPathOfCode(aMailResPath, row.FolderCode))
                related->Add(folder->Append(MailId(row.Id)));
    }
    return related;
}

TRcResPathList* TAccountMailManager::FolderMailsInStates(TRcResPath* aResPath, TAccountFolderType aFolder,
                                                         const TMailSendReceiveStates& aStates)
{
    const auto account = AccountDbOf(aResPath);
    TRcResPath* folder = account ? StandardFolder(aResPath, aFolder) : nullptr;
    if (!folder)
        return nullptr;
    auto* paths = TRcResPathList::CreateAndAutoRelease();
    for (TMailSendReceiveState state : aStates) {   // a set: ascending
        if (state == msarsNoneUser)
            continue;
        for (const auto& id : TSqliteDbMail::IdsInState(**account, *FolderCodeOf(aFolder), state))
            paths->Add(folder->Append(MailId(id)));
    }
    return paths;
}

TRcResPathList* TAccountMailManager::GetReceivingFolderMails(TRcResPath* aResPath,
                                                             const TMailSendReceiveStates& aStates)
{
    return FolderMailsInStates(aResPath, aftReceiving, aStates);
}

TRcResPathList* TAccountMailManager::GetSendingFolderMails(TRcResPath* aResPath, const TMailSendReceiveStates& aStates)
{
    return FolderMailsInStates(aResPath, aftSending, aStates);
}

// ---- loading --------------------------------------------------------------

TRcMail* TAccountMailManager::GetMail(TRcResPath* aMailResPath)
{
    if (!IsMailPath(aMailResPath))
        return nullptr;
    const auto account = AccountDbOf(aMailResPath);
    if (!account || !TSqliteDbMail::Exists(**account, aMailResPath->Last()->Id()))
        return nullptr;
    return TRcMail::CreateAndAutoRelease(aMailResPath->Last(), account->Db);
}

TRcMail* TAccountMailManager::GetMailForConversationItem(TRcResPath* aResPath)
{
    const auto account = AccountDbOf(aResPath);
    if (!account)
        return nullptr;
    const std::string id = ConversationItemMailId(aResPath);
    if (id.empty() || !TSqliteDbMail::Exists(**account, id))
        return nullptr;
    return TRcMail::CreateAndAutoRelease(MailId(id), account->Db);
}

TRcMail* TAccountMailManager::GetMailForUid(TRcResPath* aResPath, const std::string& aUid)
{
    TRcMail* mail = nullptr;
    Swallowed("GetMailForUid", [&] {
        const auto account = AccountDbOf(aResPath);
        if (!account)
            return;
        const std::string id = TSqliteDbMail::IdOfUid(**account, aUid);
        if (!id.empty())
            mail = TRcMail::CreateAndAutoRelease(MailId(id), account->Db);
    });
    return mail;
}

bool TAccountMailManager::UidExists(TRcResPath* aResPath, const std::string& aUid)
{
    bool exists = false;
    Swallowed("UidExists", [&] {
        if (const auto account = AccountDbOf(aResPath))
            exists = !TSqliteDbMail::IdOfUid(**account, aUid).empty();
    });
    return exists;
}

bool TAccountMailManager::CheckSourceMail(TRcResPath* aResPath, const std::string& aMailId)
{
    const auto account = AccountDbOf(aResPath);
    return account && TSqliteDbMail::Exists(**account, aMailId);
}

// ---- saving ---------------------------------------------------------------

TRcRef<TRcMail> TAccountMailManager::CreateMail()
{
    return TRcRef<TRcMail>::Adopt(new TRcMail(MailId(NewGuidId()), nullptr));
}

TRcResPath* TAccountMailManager::Save(TRcResPath* aFolderResPath, TRcMail* aMail, bool aTranslate)
{
    const auto folder = FolderDbOf(aFolderResPath);
    if (!folder || !aMail)
        return nullptr;
    bool existed = false;
    TTransaction::Run(*folder->Account, [&] {
        existed = TSqliteDbMail::Exists(*folder->Account, aMail->ResId()->Id());
        TSqliteDbMail::Save(*folder->Account, *aMail, folder->Code);
        if (aTranslate && aMail->FSourceType == mrmTranslate && aMail->SorceResId())
            TSqliteDbMail::SetState(*folder->Account, aMail->SorceResId()->Id(), msarsPop3TransSource);
    });
    TRcResPath* mailPath = aFolderResPath->Append(aMail->ResId());
    if (!aTranslate)
        SaveMailContact(aFolderResPath, aMail);
    if (existed)
        FObservable->NotifyContentChanged(mailPath);
    if (!existed || aTranslate)
        FObservable->NotifyChanged(aFolderResPath);
    if (aTranslate)
        SaveMailContact(aFolderResPath, aMail);
    return mailPath;
}

TRcResPath* TAccountMailManager::SaveMail(TRcResPath* aFolderResPath, TRcMail* aMail)
{
    return Save(aFolderResPath, aMail, false);
}

TRcResPath* TAccountMailManager::SaveTranslateMail(TRcResPath* aFolderResPath, TRcMail* aMail)
{
    return Save(aFolderResPath, aMail, true);
}

// ---- deleting and moving --------------------------------------------------

void TAccountMailManager::RemoveFromFolders(TRcResPath* aMailResPath, bool aDirect)
{
    if (!IsMailPath(aMailResPath))
        return;
    const auto account = AccountDbOf(aMailResPath);
    if (!account)
        return;
    const std::string& id = aMailResPath->Last()->Id();
    std::optional<int> stored;
    int newCode = kRemovedCode;
    TTransaction::Run(**account, [&] {
        stored = TSqliteDbMail::FolderCodeOfId(**account, id);
        if (!stored || *stored == kRemovedCode)
            return;
        newCode = (aDirect || *stored == *FolderCodeOf(aftThrashBag)) ? kRemovedCode : *FolderCodeOf(aftThrashBag);
        TSqliteDbMail::SetFolderCode(**account, id, newCode);
    });
    if (!stored || *stored == kRemovedCode)
        return;
    if (newCode == kRemovedCode) {
        TTransaction::Run(**account, [&] { TSqliteDbMail::MarkComplexDeleted(**account, id); });
        // The mail is out of its folder whatever happens to its files: a
        // file that cannot go now stays marked and goes with a later sweep,
        // and the lists must still hear of the delete.
        Swallowed("DeleteMailComplex", [&] { TSqliteDbMail::DeleteMailComplex(**account, account->MailsPath()); });
    }
    if (TRcResPath* folder = FolderPathOfCode(aMailResPath, *stored))
        FObservable->NotifyChanged(folder);
    if (*stored != *FolderCodeOf(aftThrashBag))
        if (TRcResPath* trash = StandardFolder(aMailResPath, aftThrashBag))
            FObservable->NotifyChanged(trash);
}

void TAccountMailManager::DeleteMail(TRcResPath* aMailResPath)
{
    RemoveFromFolders(aMailResPath, false);
}

void TAccountMailManager::DirectDeleteMail(TRcResPath* aMailResPath)
{
    RemoveFromFolders(aMailResPath, true);
}

bool TAccountMailManager::MoveMail(TRcResPath* aMailResPath, TRcResPath* aNewFolderResPath,
                                   TMailSendReceiveState aNewReceiveSendState)
{
    const auto target = FolderDbOf(aNewFolderResPath);
    if (!target || !IsMailPath(aMailResPath) || !aMailResPath->At(0)->Equals(aNewFolderResPath->At(0)))
        return false;
    const std::string& id = aMailResPath->Last()->Id();
    bool moved = false;
    TTransaction::Run(*target->Account, [&] {
        if (!TSqliteDbMail::Exists(*target->Account, id))
            return;
        TSqliteDbMail::SetFolderCodeAndState(*target->Account, id, target->Code, aNewReceiveSendState);
        moved = true;
    });
    if (!moved)
        return false;
    FObservable->NotifyChanged(aMailResPath->ParentPath());
    FObservable->NotifyChanged(aNewFolderResPath);
    return true;
}

void TAccountMailManager::MoveMails(TRcResPathList* aMailResPaths, TRcResPath* aNewFolderResPath,
                                    TRcResPathList* aMoved)
{
    if (aMoved)
        aMoved->Clear();
    if (!aMailResPaths || aMailResPaths->Count() == 0 || !IsMailPath(aMailResPaths->First()))
        return;
    TRcResPath* oldFolder = aMailResPaths->First()->ParentPath();
    TAccountFolderManager* folders = TAccountFolderManager::AccountFolderManager();
    const auto oldType = folders ? folders->GetFolderType(oldFolder) : std::nullopt;
    const auto target = FolderDbOf(aNewFolderResPath);
    if (!oldType || !target)
        return;
    auto moved = TRcRef<TRcResPathList>::Adopt(new TRcResPathList());
    TTransaction::Run(*target->Account, [&] {
        for (TRcResPath* path : *aMailResPaths) {
            // Another account's mail is not in this database.
            if (!IsMailPath(path) || !path->At(0)->Equals(aNewFolderResPath->At(0)))
                continue;
            TSqliteDbMail::SetFolderCodeAndState(*target->Account, path->Last()->Id(), target->Code, msarsNoneUser);
            moved->Add(aNewFolderResPath->Append(path->Last()));
        }
        });
    if (aMoved)
        aMoved->AddList(moved.Get());
    if (*oldType != aftReceiving)
        FObservable->NotifyChanged(oldFolder);
    if (target->Type != aftReceiving)
        FObservable->NotifyChanged(aNewFolderResPath);
}

bool TAccountMailManager::MoveMailToInBox(TRcResPath* aResPath, TRcMail* aMail)
{
    const auto account = AccountDbOf(aResPath);
    if (!account || !aMail)
        return false;
    TTransaction::Run(**account, [&] {
        TSqliteDbMail::SetFolderCode(**account, aMail->ResId()->Id(), *FolderCodeOf(aftInBox));
    });
    if (TRcResPath* parent = aResPath->ParentPath())
        FObservable->NotifyChanged(parent);
    if (TRcResPath* inbox = StandardFolder(aResPath, aftInBox))
        FObservable->NotifyChanged(inbox);
    return true;
}

// ---- translation pairs ----------------------------------------------------

TRcResPath* TAccountMailManager::FolderPathOf(TRcResPath* aResPath) const
{
    if (IsMailPath(aResPath))
        return aResPath->ParentPath();
    return aResPath && aResPath->Count() == 2 ? aResPath : nullptr;
}

void TAccountMailManager::UpdateMailCorresNorvel(TSQLiteDatabase& aDb, TRcMail* aMail, int aMailType)
{
    if (!aMail || !aMail->SorceResId())
        return;
    if (aMailType == kTranslationMail)
        TSqliteDbMail::SetNorvelUid(aDb, aMail->SorceResId()->Id(), aMail->ResId()->Id());
    else if (aMailType == kTranslatedMail)
        TSqliteDbMail::SetNorvelUid(aDb, aMail->ResId()->Id(), aMail->SorceResId()->Id());
}

bool TAccountMailManager::MoveMailToNorvelBox(TRcResPath* aResPath, TRcMail* aMail, int aMailType)
{
    const auto account = AccountDbOf(aResPath);
    if (!account || !aMail)
        return false;
    const int norvelBox = *FolderCodeOf(aftNorvelBox);
    TTransaction::Run(**account, [&] {
        if (aMailType == kTranslationMail) {
            TSqliteDbMail::SetFolderCode(**account, aMail->ResId()->Id(), norvelBox);
        } else if (aMailType == kTranslatedMail) {
            TSqliteDbMail::SetFolderCode(**account, aMail->ResId()->Id(), *FolderCodeOf(aftInBox));
            if (aMail->SorceResId())
                TSqliteDbMail::SetFolderCode(**account, aMail->SorceResId()->Id(), norvelBox);
        }
    });
    if (TRcResPath* folder = FolderPathOf(aResPath))
        FObservable->NotifyChanged(folder);
    return true;
}

void TAccountMailManager::SourceMailCorresOriginal(TRcResPath* aResPath, TRcMail* aMail, int aMailType)
{
    const auto account = AccountDbOf(aResPath);
    if (!account || !aMail)
        return;
    TTransaction::Run(**account, [&] { UpdateMailCorresNorvel(**account, aMail, aMailType); });
    MoveMailToNorvelBox(aResPath, aMail, aMailType);
    if (TRcResPath* folder = FolderPathOf(aResPath))
        FObservable->NotifyChanged(folder);
    if (TRcResPath* inbox = StandardFolder(aResPath, aftInBox))
        FObservable->NotifyChanged(inbox);
}

void TAccountMailManager::UpdateNorvelMail(TRcResPath* aResPath, TRcMail* aMail)
{
    const auto account = AccountDbOf(aResPath);
    if (!account || !aMail)
        return;
    MoveMailToNorvelBox(aResPath, aMail, kTranslationMail);
    TTransaction::Run(**account, [&] { UpdateMailCorresNorvel(**account, aMail, kTranslationMail); });
}

// ---- flags ----------------------------------------------------------------

void TAccountMailManager::SetMailReadedFlag(TRcResPath* aMailResPath, bool aReadedFlag)
{
    Swallowed("SetMailReadedFlag", [&] {
        const auto account = IsMailPath(aMailResPath) ? AccountDbOf(aMailResPath) : std::nullopt;
        if (!account)
            return;
        bool changed = false;
        TTransaction::Run(**account, [&] {
            const auto stored = TSqliteDbMail::SeenFlag(**account, aMailResPath->Last()->Id());
            if (!stored || *stored == aReadedFlag)
                return;
            TSqliteDbMail::SetSeenFlag(**account, aMailResPath->Last()->Id(), aReadedFlag);
            changed = true;
        });
        if (!changed)
            return;
        RemoveNotReadedFlagNewMail(aMailResPath);
        FObservable->NotifyReadedFlagChanged(aMailResPath);
    });
}

void TAccountMailManager::SetMailReceiptFlag(TRcResPath* aMailResPath, bool aReceiptFlag)
{
    Swallowed("SetMailReceiptFlag", [&] {
        const auto account = IsMailPath(aMailResPath) ? AccountDbOf(aMailResPath) : std::nullopt;
        if (!account)
            return;
        TTransaction::Run(**account,
                          [&] { TSqliteDbMail::SetReceiptSend(**account, aMailResPath->Last()->Id(), aReceiptFlag); });
        FObservable->NotifyReadedFlagChanged(aMailResPath);
    });
}

void TAccountMailManager::SetMailReTranslation(TRcResPath* aMailResPath)
{
    Swallowed("SetMailReTranslation", [&] {
        const auto account = IsMailPath(aMailResPath) ? AccountDbOf(aMailResPath) : std::nullopt;
        if (!account)
            return;
        TTransaction::Run(**account, [&] { TSqliteDbMail::SetReTranslation(**account, aMailResPath->Last()->Id()); });
        FObservable->NotifyReTranslationChanged(aMailResPath);
    });
}

void TAccountMailManager::SetMailSendReceiveState(TRcResPath* aMailResPath, TMailSendReceiveState aState)
{
    const auto account = IsMailPath(aMailResPath) ? AccountDbOf(aMailResPath) : std::nullopt;
    if (!account)
        return;
    TTransaction::Run(**account, [&] { TSqliteDbMail::SetState(**account, aMailResPath->Last()->Id(), aState); });
}

void TAccountMailManager::SetMailReferences(TRcResPath* aResPath, const std::string& aMsgUid)
{
    const auto account = AccountDbOf(aResPath);
    if (!account)
        return;
    TTransaction::Run(**account, [&] { TSqliteDbMail::SetReferences(**account, aMsgUid); });
}

// ---- complexes ------------------------------------------------------------

TRcMailComplex* TAccountMailManager::LoadMailComplex(TRcResPath* aMailResPath)
{
    const auto account = IsMailPath(aMailResPath) ? AccountDbOf(aMailResPath) : std::nullopt;
    if (!account)
        return nullptr;
    return TSqliteDbMail::LoadMailComplex(**account, account->MailsPath(), aMailResPath->Last()->Id());
}

bool TAccountMailManager::SaveMailComplex(TRcResPath* aMailResPath, TRcMailComplex* aMailComplex)
{
    if (!aMailComplex)
        throw EInvalidPointer();
    const auto account = IsMailPath(aMailResPath) ? AccountDbOf(aMailResPath) : std::nullopt;
    if (!account)
        return false;
    return TSqliteDbMail::SaveMailComplex(**account, account->MailsPath(), aMailResPath->Last()->Id(), *aMailComplex);
}

void TAccountMailManager::DeleteMailComplex(TRcResPath* aMailResPath)
{
    if (const auto account = AccountDbOf(aMailResPath))
        TSqliteDbMail::DeleteMailComplex(**account, account->MailsPath());
}

void TAccountMailManager::UpdateMailByMailComplex(TRcMail* aMail, TRcMailComplex* aMailComplex)
{
    if (!aMail || !aMailComplex)
        return;
    const TMailHeaderFields header = MailHeaderFieldsOf(aMailComplex->MessageHeader());
    aMail->FMessageId = header.MessageId;
    aMail->FFrom = header.From;
    aMail->FTo = header.To;
    aMail->FSubject = header.Subject;
    if (header.HasDate)
        aMail->FDate = header.Date;
    aMail->FHasAttachmentFlag = aMailComplex->AttachmentFileList()->Count() > 0;
    aMail->FSize = std::max<int64_t>(aMailComplex->Raw()->Size(), 0);
    const TSecretaryData secretary = GetSecretaryData(aMailComplex, aMail);
    aMail->FSecretaryFlag = secretary.FSecretaryFlag;
    aMail->FSecretaryedType = secretary.FSendType;
    aMail->FSecretaryMemo = secretary.FMemo;
    aMail->FTargetLanguage = secretary.FLanguage;
}

// ---- import ---------------------------------------------------------------

TRcResPath* TAccountMailManager::ImportMailFromFile(TRcResPath* aFolderResPath, const fs::path& aFileName)
{
    std::error_code ec;
    if (!FolderDbOf(aFolderResPath) || !fs::is_regular_file(aFileName, ec))
        return nullptr;
    auto* complex = TRcMailComplex::CreateAndAutoRelease();
    complex->Raw()->FFileName = aFileName;
    complex->BuildOther();
    const TMailHeaderFields header = MailHeaderFieldsOf(complex->MessageHeader());
    // GMime makes a message of any bytes; one without a single address,
    // subject, date or id was not a mail.
    if (header.From.empty() && header.To.empty() && header.Subject.empty() && !header.HasDate &&
        header.MessageId.empty())
        throw Exception("不是邮件文件：" + aFileName.filename().string());
    auto mail = CreateMail();
    mail->FDate = Now();   // kept when the message has no date
    SaveMailComplex(aFolderResPath->Append(mail->ResId()), complex);
    UpdateMailByMailComplex(mail.Get(), complex);
    mail->FSourceLanguage = 9997;
    mail->FTargetLanguage = 9997;
    mail->FSendReceiveState = msarsNoneUser;
    return SaveMail(aFolderResPath, mail.Get());
}

std::vector<TAccountMailManager::TImportFailure>
TAccountMailManager::ImportMailsFromFolder(TRcResPath* aFolderResPath, const fs::path& aFolder,
                                           TRcResPathList* aImported)
{
    std::vector<TImportFailure> failures;
    std::vector<fs::path> files;
    std::error_code ec;
    for (fs::directory_iterator it(aFolder, ec), end; !ec && it != end; it.increment(ec))
        if (AsciiLower(it->path().extension().string()) == ".eml")
            files.push_back(it->path());
    if (ec) {
        failures.push_back({aFolder, ec.message()});
        return failures;
    }
    std::sort(files.begin(), files.end());
    BeginUpdate();
    try {
        for (const auto& file : files) {
            try {
                TRcResPath* path = ImportMailFromFile(aFolderResPath, file);
                if (!path)
                    failures.push_back({file, "不能导入"});
                else if (aImported)
                    aImported->Add(path);
            } catch (const std::exception& e) {
                TLog::O(lolWorn, "导入邮件 %s 失败：%s", {file.string(), e.what()});
                failures.push_back({file, e.what()});
            }
        }
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
    return failures;
}

// ---- secretary replies ----------------------------------------------------

TSecretaryData TAccountMailManager::GetSecretaryData(TRcMailComplex* aMailComplex, TRcMail* aMail) const
{
    return ::GetSecretaryData(aMailComplex, aMail);
}

void TAccountMailManager::SaveSecretaryMailCorresOriginal(TRcResPath* aResPath, TRcMail* aMail,
                                                          TRcMailComplex* aMailComplex)
{
    const auto ini = ReadSecretaryFile(aMailComplex);
    if (!ini || !aMail || ini->ReadInteger(kSecretarySection, "SecretaryFlag", 0) != 3)
        return;
    const auto account = AccountDbOf(aResPath);
    if (!account)
        return;
    // Anyone can send a mail with this file: it may only name one of the
    // user's own mails on their way out, never hide or rewrite another.
    const std::string sourceId = Trimmed(ini->ReadString(kSecretarySection, "mailResId", ""));
    if (!IsGuidId(sourceId) || sourceId == aMail->ResId()->Id())
        return;
    const auto code = TSqliteDbMail::FolderCodeOfId(**account, sourceId);
    if (code != FolderCodeOf(aftSending) && code != FolderCodeOf(aftOutBox))
        return;
    MoveMailToNorvelBox(aResPath, aMail, kTranslationMail);
    auto* source = TRcMail::CreateAndAutoRelease(MailId(sourceId), account->Db);
    source->FNorvelUid = aMail->ResId()->Id();
    source->FTargetLanguage = ini->ReadInteger(kSecretarySection, "Language", -1);
    if (TRcResPath* outBox = StandardFolder(aResPath, aftOutBox))
        SaveMail(outBox, source);
}

// ---- new unread mails -----------------------------------------------------

void TAccountMailManager::AddNotReadedFlagNewMail(TRcResPathList* aMailResPaths)
{
    if (!aMailResPaths)
        return;
    bool changed = false;
    {
        std::lock_guard lock(FNotReadedMutex);
        for (TRcResPath* path : *aMailResPaths)
            if (FNotReadedNewReceiveMailList->IndexOf(path) < 0) {
                FNotReadedNewReceiveMailList->Add(path);
                changed = true;
            }
    }
    if (changed)
        FObservable->NotifyNotReadedNewReceiveMailListChanged();
}

void TAccountMailManager::RemoveNotReadedFlagNewMail(TRcResPath* aMailResPath)
{
    bool changed = false;
    {
        std::lock_guard lock(FNotReadedMutex);
        changed = FNotReadedNewReceiveMailList->Remove(aMailResPath) >= 0;
    }
    if (changed)
        FObservable->NotifyNotReadedNewReceiveMailListChanged();
}

int TAccountMailManager::NotReadedFlagNewMailCount()
{
    std::lock_guard lock(FNotReadedMutex);
    return FNotReadedNewReceiveMailList->Count();
}

TRcResPathList* TAccountMailManager::NotReadedFlagNewMails()
{
    auto* copy = TRcResPathList::CreateAndAutoRelease();
    std::lock_guard lock(FNotReadedMutex);
    copy->AddList(FNotReadedNewReceiveMailList.Get());
    return copy;
}

// ---- correspondents -------------------------------------------------------

void TAccountMailManager::GetMailContactList(TRcResPath* aFolderResPath, TRcMailContactList* aMailContactList)
{
    const auto folder = FolderDbOf(aFolderResPath);
    if (!folder || !aMailContactList)
        return;
    for (const auto& row : TSqliteDbMail::ListParties(*folder->Account))
        for (const std::string* text : {&row.From, &row.To})
            for (const auto& item : ParseAddressList(*text))
                if (!item.Name.empty() || !item.Address.empty())
                    aMailContactList->Add(TRcMailContact::CreateAndAutoRelease(item.Name, item.Address));
}

// ---- the header cache -----------------------------------------------------

void TAccountMailManager::CreateMailHeaderTabel(TRcResPath* aResPath)
{
    const auto account = AccountDbOf(aResPath);
    if (!account)
        return;
    TTransaction::Run(**account, [&] {
        if (!account->Db->TableExists("MailHeader"))
            account->Db->ExecSQL(schema::kMailHeader);
    });
}

void TAccountMailManager::ReplaceMailHeader(TRcResPath* aResPath, const std::string& aUid, TDateTime aData,
                                            const std::string& aFromAddress, const std::string& aSubject)
{
    const auto account = AccountDbOf(aResPath);
    if (!account)
        return;
    TTransaction::Run(**account, [&] {
        if (account->Db->TableExists("MailHeader"))
            TSqliteDbMail::SaveHeader(**account, {aUid, aData, aFromAddress, aSubject});
    });
}

bool TAccountMailManager::CheckMailHeaderByUid(TRcResPath* aResPath, TMailHeaderRow& aMsg, const std::string& aUid)
{
    bool found = false;
    Swallowed("CheckMailHeaderByUid", [&] {
        const auto account = AccountDbOf(aResPath);
        if (!account || !account->Db->TableExists("MailHeader"))
            return;
        if (auto row = TSqliteDbMail::LoadHeader(**account, aUid)) {
            aMsg = std::move(*row);
            found = true;
        }
    });
    return found;
}

void TAccountMailManager::SweepMailFiles()
{
    TAccountManager* accounts = TAccountManager::AccountManager();
    if (!accounts)
        return;
    for (TRcResId* id : *accounts->GetAccounts()) {
        try {
            auto* record = dynamic_cast<TRcAccountForSqlite*>(accounts->GetAccount(id));
            if (!record || !record->GetDb())
                continue;
            const int removed = TSqliteDbMail::SweepMailFiles(*record->GetDb(), MailsFolderOf(id));
            if (removed > 0)
                TLog::O(lolInfo, "已清理账户 %s 的 %s 个无主邮件文件", {id->Id(), std::to_string(removed)});
        } catch (const std::exception& e) {
            TLog::O(lolWorn, "清理账户 %s 的邮件文件失败：%s", {id->Id(), e.what()});
        }
    }
}
