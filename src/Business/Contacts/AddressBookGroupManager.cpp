#include "AddressBookGroupManager.h"

#include "ContactsStore.h"
#include "Business/Resource/ResPathCheck.h"
#include "Runtime/Errors.h"

using namespace contacts;

TAccountAddressBookGroupManager::TAccountAddressBookGroupManager()
    : FObservable(MakeRc<TRcAddressBookGroupObservable>())
{
}

TRcResPath* TAccountAddressBookGroupManager::GetAddressBookFolderResPath(TRcResPath* aResPath)
{
    return AddressBookFolderPathOf(aResPath);
}

bool TAccountAddressBookGroupManager::IsAddressBookFolderResPath(const TRcResPath* aResPath)
{
    return IsAddressBookFolderPath(aResPath);
}

TRcResIdList* TAccountAddressBookGroupManager::GetAddressBookGroups(TRcResPath* aFolderPath)
{
    return IsAddressBookFolderPath(aFolderPath) ? TSqliteDbAddressBookGroup::GetIds(aFolderPath) : nullptr;
}

TRcAddressBookGroup* TAccountAddressBookGroupManager::GetAddressBookGroup(TRcResPath* aGroupPath)
{
    if (!IsAddressBookGroupResPath(aGroupPath))
        return nullptr;
    return TSqliteDbAddressBookGroup::Load(aGroupPath, aGroupPath->Last()->Id());
}

TRcAddressBookGroup* TAccountAddressBookGroupManager::GetAddressBookGroup(TRcResPath* aFolderPath,
                                                                          const std::string& aId)
{
    if (!IsAddressBookFolderPath(aFolderPath))
        return nullptr;
    return TSqliteDbAddressBookGroup::Load(aFolderPath, aId);
}

TRcAddressBookGroup* TAccountAddressBookGroupManager::CreateAddressBookGroup()
{
    return TRcAddressBookGroup::CreateEmptyAddressBookGroup();
}

TRcResPath* TAccountAddressBookGroupManager::SaveAddressBookGroup(TRcResPath* aFolderPath,
                                                                  TRcAddressBookGroup* aGroup)
{
    if (!aGroup || !IsAddressBookFolderPath(aFolderPath))
        return nullptr;
    const bool existed = TSqliteDbAddressBookGroup::Save(aFolderPath, aGroup);
    TRcResPath* groupPath = aFolderPath->Append(aGroup->ResId());
    if (existed)
        FObservable->NotifyContentChanged(groupPath);
    else
        FObservable->NotifyChanged(aFolderPath);
    return groupPath;
}

void TAccountAddressBookGroupManager::DeleteAddressBookGroup(TRcResPath* aGroupPath)
{
    if (!IsAddressBookGroupResPath(aGroupPath))
        return;
    if (IsPseudoGroupId(aGroupPath->Last()->Id()))
        throw Exception(kPseudoGroup);
    switch (TSqliteDbAddressBookGroup::Delete(aGroupPath)) {
    case TSqliteDbAddressBookGroup::drDeleted:
        FObservable->NotifyChanged(aGroupPath->ParentPath());
        return;
    case TSqliteDbAddressBookGroup::drNotEmpty:
        throw Exception(kGroupNotEmpty);
    case TSqliteDbAddressBookGroup::drNotFound:
        return;
    }
    throw Exception(kDeleteFailed);
}

bool TAccountAddressBookGroupManager::CheckGroupByGroupName(TRcResPath* aResPath, const std::string& aName)
{
    return TSqliteDbAddressBookGroup::CheckGroupByGroupName(aResPath, aName);
}
