#include "AccountMailTarget.h"

#include "Business/Account/AccountManager.h"

namespace fs = std::filesystem;

namespace mailstore {

fs::path MailsFolderOf(const TRcResId* aAccountId)
{
    return TRcAccountForSqlite::PathByResId(aAccountId) / "Mails";
}

std::optional<TMailAccount> MailAccountOf(const TRcResPath* aPath)
{
    if (!aPath || aPath->Count() < 1 || !aPath->At(0)->IsType(rtAccount))
        return std::nullopt;
    TAccountManager* accounts = TAccountManager::AccountManager();
    if (!accounts || !TRcAccountForSqlite::IsValidAccountId(aPath->At(0)->Id()))
        return std::nullopt;
    auto* record = dynamic_cast<TRcAccountForSqlite*>(accounts->GetAccount(aPath->At(0)));
    if (!record || !record->GetDb())
        return std::nullopt;
    return TMailAccount{TRcRef<TRcAccountForSqlite>::Retain(record), record->GetDb(), aPath->At(0)};
}

std::optional<TMailFolder> MailFolderOf(const TRcResPath* aFolderPath)
{
    if (!aFolderPath || aFolderPath->Count() != 2 || !aFolderPath->At(1)->IsType(rtAccountMailFolder))
        return std::nullopt;
    TAccountFolderManager* folders = TAccountFolderManager::AccountFolderManager();
    const auto type = folders ? folders->GetFolderType(aFolderPath) : std::nullopt;
    const auto code = type ? FolderCodeOf(*type) : std::nullopt;
    if (!code)
        return std::nullopt;
    auto account = MailAccountOf(aFolderPath);
    if (!account)
        return std::nullopt;
    return TMailFolder{std::move(*account), *type, *code};
}

bool IsMailPath(const TRcResPath* aPath)
{
    return aPath && aPath->Count() == 3 && aPath->At(0)->IsType(rtAccount) &&
           aPath->At(1)->IsType(rtAccountMailFolder) && aPath->At(2)->IsType(rtAccountMail);
}

std::optional<TMailAccount> MailAccountOfMail(const TRcResPath* aMailPath)
{
    return IsMailPath(aMailPath) ? MailAccountOf(aMailPath) : std::nullopt;
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

void MarkMovedTo(TRcMail* aMail, int aFolderCode)
{
    if (!aMail || !aMail->StoredMark())
        return;
    TRcMail::TStoredMark mark = *aMail->StoredMark();
    mark.FolderCode = aFolderCode;
    aMail->SetStoredMark(mark);
}

TRcResIdList* MailIdList(const std::vector<std::string>& aIds)
{
    auto* list = TRcResIdList::CreateAndAutoRelease();
    for (const auto& id : aIds)
        list->Add(MailId(id));
    return list;
}

} // namespace mailstore
