#include "ContactsStore.h"

#include "Business/Account/AccountForSqlite.h"
#include "Business/Account/AccountManager.h"
#include "Business/Resource/ResPathCheck.h"

namespace contacts {

bool IsPseudoGroupId(const std::string& aId)
{
    return aId == kAllContactsGroupId || aId == kNoGroupId;
}

TSQLiteDatabase* AccountDbOf(const TRcResPath* aResPath)
{
    if (!aResPath || aResPath->Count() == 0 || !aResPath->At(0) || !aResPath->At(0)->IsType(rtAccount))
        return nullptr;
    TAccountManager* manager = TAccountManager::AccountManager();
    auto* record = dynamic_cast<TRcAccountForSqlite*>(manager ? manager->GetAccount(aResPath->At(0)) : nullptr);
    return record ? record->GetDb() : nullptr;
}

TRcResPath* AddressBookFolderPathOf(TRcResPath* aResPath)
{
    TRcResPath* account = AccountResPathOf(aResPath);
    if (!account)
        return nullptr;
    return account->Append(TRcResId::CreateAndAutoRelease(rtAccountAddressBookFolder, kAddressBookFolderId));
}

bool IsAddressBookFolderPath(const TRcResPath* aResPath)
{
    return IsAddressBookFolderResPath(aResPath) && aResPath->At(1)->Id() == kAddressBookFolderId;
}

} // namespace contacts
