#include "AddressBookManager.h"

#include "ContactsStore.h"
#include "Business/AccountMail/Mail.h"
#include "Business/AccountMail/MailManagerSeams.h"
#include "Business/Mime/AddressList.h"
#include "Business/Mime/MailContact.h"
#include "Business/Resource/ResPathCheck.h"
#include "Runtime/AsciiText.h"
#include "Runtime/Errors.h"
#include "Runtime/ProgramPaths.h"
#include "Runtime/SafeFileName.h"

#include <exception>

using namespace contacts;

namespace {

void DeliverContentChanged(IAccountAddressBookObserver& aObserver, TRcResPath* aPath)
{
    aObserver.OnContentChanged(aPath);
}

void DeliverChanged(IAccountAddressBookObserver& aObserver, TRcResPath* aPath)
{
    aObserver.OnChanged(aPath);
}

// Holds the notifications back for its lifetime, whatever happens.
class TUpdateScope {
public:
    explicit TUpdateScope(TAccountAddressBookManager& aManager) : FManager(aManager) { FManager.BeginUpdate(); }
    ~TUpdateScope() { FManager.EndUpdate(); }
    TUpdateScope(const TUpdateScope&) = delete;
    TUpdateScope& operator=(const TUpdateScope&) = delete;

private:
    TAccountAddressBookManager& FManager;
};

void SaveCorrespondents(TRcResPath* aFolderResPath, TRcMail* aMail)
{
    if (TAccountAddressBookManager* manager = TAccountAddressBookManager::AccountAddressBookManager())
        manager->SaveMailContact(aFolderResPath, aMail);
}

// The address list whose people a saved mail adds to the book.
const std::string* CorrespondentsOf(const TRcMail& aMail)
{
    switch (aMail.FSendReceiveState) {
    case msarsPop3NotTranslate:
    case msarsPop3FromNorvel:
        return &aMail.FFrom;
    case msarsSendToSmtp:
    case msarsSendToNorvel:
        return &aMail.FTo;
    default:
        return nullptr;
    }
}

TRcResPath* NoGroupPathOf(TRcResPath* aResPath)
{
    TRcResPath* folder = AddressBookFolderPathOf(aResPath);
    return folder ? folder->Append(TRcResId::CreateAndAutoRelease(rtAccountAddressBookGroup, kNoGroupId)) : nullptr;
}

} // namespace

TRcAddressBookObservable::TRcAddressBookObservable()
    : TRcBatchingObservable({&DeliverContentChanged, &DeliverChanged})
{
}

TAccountAddressBookManager::TAccountAddressBookManager() : FObservable(MakeRc<TRcAddressBookObservable>())
{
    SetMailContactSaver(&SaveCorrespondents);
}

TAccountAddressBookManager::~TAccountAddressBookManager()
{
    SetMailContactSaver(nullptr);
}

TRcAddressBook* TAccountAddressBookManager::CreateAddressBook()
{
    return TRcAddressBook::CreateEmptyAddressBook();
}

TRcAddressBook* TAccountAddressBookManager::GetAddressBook(TRcResPath* aContactPath)
{
    if (!IsAddressBookResPath(aContactPath))
        return nullptr;
    return TSqliteDbAddressBook::Load(aContactPath, aContactPath->Last()->Id());
}

TRcAddressBook* TAccountAddressBookManager::GetAddressBook(TRcResPath* aResPath, TRcResId* aResId)
{
    if (!aResId || !aResId->IsType(rtAccountAddressBook) || !IsAccountRootedResPath(aResPath))
        return nullptr;
    return TSqliteDbAddressBook::Load(aResPath, aResId->Id());
}

TRcResIdList* TAccountAddressBookManager::GetAddressBooks(TRcResPath* aGroupPath, TContactOpertion* aOpertion)
{
    return IsAddressBookGroupResPath(aGroupPath) ? TSqliteDbAddressBook::GetIds(aGroupPath, aOpertion) : nullptr;
}

TRcResIdList* TAccountAddressBookManager::GetAddressBooks(TRcResPath* aAccountPath, const std::string& aText)
{
    return IsAccountResPath(aAccountPath) ? TSqliteDbAddressBook::Search(aAccountPath, aText) : nullptr;
}

TRcResIdList* TAccountAddressBookManager::GetAllAddressBooks(TRcResPath* aResPath)
{
    return IsAccountRootedResPath(aResPath) ? TSqliteDbAddressBook::GetAddressBookIds(aResPath) : nullptr;
}

TRcResIdList* TAccountAddressBookManager::GetGroupisNullAddressBooks(TRcResPath* aResPath)
{
    return IsAccountRootedResPath(aResPath) ? TSqliteDbAddressBook::GetGroupisNullAddressBookIds(aResPath) : nullptr;
}

TRcResIdList* TAccountAddressBookManager::GetAddressBooksByEmail(TRcResPath* aResPath, const std::string& aEmail)
{
    const std::string email = Trimmed(aEmail);
    if (email.empty() || !IsAccountRootedResPath(aResPath))
        return nullptr;
    return TSqliteDbAddressBook::GetIdsByEmail(aResPath, email);
}

int TAccountAddressBookManager::GetAddressBookCount(TRcResPath* aResPath, const std::string& aEmail)
{
    return IsAccountRootedResPath(aResPath) ? TSqliteDbAddressBook::GetAddressBookCount(aResPath, aEmail) : 0;
}

int TAccountAddressBookManager::GetAddressBookCount(TRcResPath* aGroupPath, TContactOpertion* aOpertion)
{
    return IsAddressBookGroupResPath(aGroupPath) ? TSqliteDbAddressBook::GetAddressBookCount(aGroupPath, aOpertion)
                                                 : 0;
}

int TAccountAddressBookManager::GetAllAddressBookCount(TRcResPath* aResPath)
{
    return IsAccountRootedResPath(aResPath) ? TSqliteDbAddressBook::GetAllAddressBookCount(aResPath) : 0;
}

int TAccountAddressBookManager::GetGroupisNullAddressBookCount(TRcResPath* aResPath)
{
    return IsAccountRootedResPath(aResPath) ? TSqliteDbAddressBook::GetGroupisNullAddressBookcount(aResPath) : 0;
}

TAddressBookSaved TAccountAddressBookManager::SaveAddressBook(TRcResPath* aGroupPath, TRcAddressBook* aCard)
{
    TAddressBookSaved saved;
    if (!aCard || !IsAddressBookGroupResPath(aGroupPath))
        return saved;
    saved.Status = TSqliteDbAddressBook::Save(aGroupPath, aCard);
    if (saved.Status == TAddressBookSaveStatus::DuplicateEmail)
        return saved;
    TRcResPath* folder = aGroupPath->ParentPath();
    TRcResPath* previous =
        folder->Append(TRcResId::CreateAndAutoRelease(rtAccountAddressBookGroup, aCard->FGroupId));
    const std::string storedGroupId = TSqliteDbAddressBook::StoredGroupId(aGroupPath->Last()->Id());
    const bool moved = aCard->FGroupId != storedGroupId;
    aCard->FGroupId = storedGroupId;
    saved.ResPath = aGroupPath->Append(aCard->ResId());
    if (saved.Status == TAddressBookSaveStatus::Added) {
        FObservable->NotifyChanged(aGroupPath);
    } else if (moved) {
        FObservable->NotifyChanged(previous);
        FObservable->NotifyChanged(aGroupPath);
    } else {
        FObservable->NotifyContentChanged(saved.ResPath);
    }
    return saved;
}

void TAccountAddressBookManager::SaveMailContact(TRcResPath* aResPath, TRcMail* aMail)
{
    const std::string* list = aMail ? CorrespondentsOf(*aMail) : nullptr;
    TRcResPath* noGroup = list ? NoGroupPathOf(aResPath) : nullptr;
    if (!noGroup)
        return;
    TUpdateScope batch(*this);
    for (const TAddressItem& item : ParseAddressList(*list)) {
        // A name without an address, or a word where the address should be
        // ("王先生"), is nobody one can write to.
        const std::string address = Trimmed(item.Address);
        const std::size_t at = address.find('@');
        if (at == std::string::npos || TSqliteDbAddressBook::GetAddressBookCount(noGroup, address) > 0)
            continue;
        std::string name = Trimmed(item.Name);
        if (name.empty())
            name = address.substr(0, at);
        TRcAddressBook* card = CreateAddressBook();
        card->FFirstName = name;
        card->FEmail = address;
        SaveAddressBook(noGroup, card);
    }
}

void TAccountAddressBookManager::DeleteAddressBook(TRcResPath* aContactPath)
{
    if (!IsAddressBookResPath(aContactPath))
        return;
    switch (TSqliteDbAddressBook::Delete(aContactPath)) {
    case TSqliteDbAddressBook::drDeleted:
        FObservable->NotifyChanged(aContactPath->ParentPath());
        return;
    case TSqliteDbAddressBook::drNotFound:
        return;
    }
    throw Exception(kDeleteFailed);
}

void TAccountAddressBookManager::DeleteAddressBooks(TRcResPathList* aContactPaths)
{
    if (!aContactPaths)
        return;
    auto groups = MakeRc<TRcResPathList>();
    bool failed = false;
    for (TRcResPath* contact : *aContactPaths) {
        if (!IsAddressBookResPath(contact))
            continue;
        try {
            if (TSqliteDbAddressBook::Delete(contact) != TSqliteDbAddressBook::drDeleted)
                continue;
        } catch (const std::exception& e) {
            TLog::O(lolWorn, "删除地址簿 %s 失败：%s", {contact->ToString(), e.what()});
            failed = true;
            continue;
        }
        TRcResPath* group = contact->ParentPath();
        if (groups->IndexOf(group) < 0)
            groups->Add(group);
    }
    for (TRcResPath* group : *groups)
        FObservable->NotifyChanged(group);
    if (failed)
        throw Exception(kDeleteIncomplete);
}

void TAccountAddressBookManager::MoveAddressBook(TRcResPath* aContactPath, TRcResPath* aGroupPath)
{
    if (!IsAddressBookResPath(aContactPath) || !IsAddressBookGroupResPath(aGroupPath))
        return;
    TRcResPath* from = aContactPath->ParentPath();
    if (from->Equals(aGroupPath))
        return;
    TSqliteDbAddressBook::Move(aContactPath, aGroupPath);
    FObservable->NotifyChanged(from);
    FObservable->NotifyChanged(aGroupPath);
}

void TAccountAddressBookManager::MoveAddressBooks(TRcResPathList* aContactPaths, TRcResPath* aGroupPath)
{
    if (!aContactPaths || !IsAddressBookGroupResPath(aGroupPath))
        return;
    auto groups = MakeRc<TRcResPathList>();
    for (TRcResPath* contact : *aContactPaths) {
        if (!IsAddressBookResPath(contact))
            continue;
        TRcResPath* from = contact->ParentPath();
        if (from->Equals(aGroupPath))
            continue;
        TSqliteDbAddressBook::Move(contact, aGroupPath);
        if (groups->IndexOf(from) < 0)
            groups->Add(from);
    }
    if (groups->Count() == 0)
        return;
    for (TRcResPath* group : *groups)
        FObservable->NotifyChanged(group);
    FObservable->NotifyChanged(aGroupPath);
}

void TAccountAddressBookManager::GetMailContactList(TRcResPath* aResPath, TRcMailContactList* aMailContactList)
{
    if (IsAccountRootedResPath(aResPath))
        TSqliteDbAddressBook::GetMailContactList(aResPath, aMailContactList);
}

void TAccountAddressBookManager::GetMailContactSuggestions(TRcResPath* aResPath, const std::string& aTyped,
                                                           int aMaxCount, TRcMailContactList* aMailContactList)
{
    if (IsAccountRootedResPath(aResPath))
        TSqliteDbAddressBook::GetMailContactSuggestions(aResPath, aTyped, aMaxCount, aMailContactList);
}

std::string TAccountAddressBookManager::FetchHeadPicFullFileName(const std::string& aPicName) const
{
    // The name comes from a stored card: one plain file name or nothing.
    if (aPicName.empty() || SafeFileName(aPicName, "") != aPicName)
        return {};
    return (ProgramFolder() / "system_head_picture" / aPicName).string();
}
