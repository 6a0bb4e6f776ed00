// The one entry point to the address books: what the contact screens, the
// address boxes and the mail manager call, and whom they hear from. The
// book also fills itself: every mail saved adds its correspondents
// (senders of received mail, recipients of sent mail) as ungrouped cards.
#pragma once

#include <string>

#include "AddressBook.h"
#include "Runtime/Observable.h"
#include "Runtime/Singleton.h"

class TRcMail;
class TRcMailContactList;

class IAccountAddressBookObserver : public virtual IRcInterface {
public:
    // One card changed in place; aResPath is its contact path.
    virtual void OnContentChanged(TRcResPath* aResPath) = 0;
    // The set of cards under the group path aResPath changed.
    virtual void OnChanged(TRcResPath* aResPath) = 0;
};

// Between BeginUpdate and the outermost EndUpdate each path is held once
// per kind; then every held content change goes out, then every held
// change of a group.
class TRcAddressBookObservable : public TRcBatchingObservable<IAccountAddressBookObserver, TRcResPath, 2> {
public:
    TRcAddressBookObservable();
    void NotifyContentChanged(TRcResPath* aResPath) { Notify(0, aResPath); }
    void NotifyChanged(TRcResPath* aResPath) { Notify(1, aResPath); }
};

// What SaveAddressBook did, and the card's contact path when it was
// written (autoreleased; nullptr otherwise).
struct TAddressBookSaved {
    TAddressBookSaveStatus Status = TAddressBookSaveStatus::NotSaved;
    TRcResPath* ResPath = nullptr;
};

class TAccountAddressBookManager : public TSingletonOf<TAccountAddressBookManager> {
public:
    static constexpr const char* kDeleteFailed = "删除地址簿不成功";
    static constexpr const char* kDeleteIncomplete = "删除地址簿不完全成功";

    // Installs itself as the mail manager's correspondent saver, and
    // removes itself again when released.
    TAccountAddressBookManager();
    ~TAccountAddressBookManager() override;
    static TAccountAddressBookManager* AccountAddressBookManager() { return Instance(); }

    void RegisterObserver(IAccountAddressBookObserver* aObserver) { FObservable->RegisterObserver(aObserver); }
    void UnregisterObserver(IAccountAddressBookObserver* aObserver) { FObservable->UnRegisterObserver(aObserver); }
    void BeginUpdate() { FObservable->BeginUpdate(); }
    void EndUpdate() { FObservable->EndUpdate(); }

    // New and unsaved, created now.
    TRcAddressBook* CreateAddressBook();
    // By a contact path's card id; nullptr for a path of another shape.
    TRcAddressBook* GetAddressBook(TRcResPath* aContactPath);
    // By a card id under any path that starts with an account.
    TRcAddressBook* GetAddressBook(TRcResPath* aResPath, TRcResId* aResId);

    // Id lists in creation-time order, autoreleased; nullptr for a path of
    // the wrong shape.
    TRcResIdList* GetAddressBooks(TRcResPath* aGroupPath, TContactOpertion* aOpertion);
    // First name or address containing the text; the path is exactly an
    // account.
    TRcResIdList* GetAddressBooks(TRcResPath* aAccountPath, const std::string& aText);
    TRcResIdList* GetAllAddressBooks(TRcResPath* aResPath);
    TRcResIdList* GetGroupisNullAddressBooks(TRcResPath* aResPath);
    // The trimmed address, compared exactly; nullptr when it is empty.
    TRcResIdList* GetAddressBooksByEmail(TRcResPath* aResPath, const std::string& aEmail);
    int GetAddressBookCount(TRcResPath* aResPath, const std::string& aEmail);
    int GetAddressBookCount(TRcResPath* aGroupPath, TContactOpertion* aOpertion);
    int GetAllAddressBookCount(TRcResPath* aResPath);
    int GetGroupisNullAddressBookCount(TRcResPath* aResPath);

    // Saves the card under a group path; any other path: NotSaved. A new
    // card whose address another card has is refused (DuplicateEmail) and
    // tells nobody. Otherwise: an update in place is a content change of
    // the card; a card that moved changes its old group, then the new one;
    // a new card changes its group. The card's FGroupId follows the save.
    TAddressBookSaved SaveAddressBook(TRcResPath* aGroupPath, TRcAddressBook* aCard);
    // The correspondents of a saved mail become ungrouped cards unless a
    // card has their exact address: the senders of a received mail, the
    // To recipients of one being sent. Only items with an address (it has
    // an "@") count; a blank name becomes the address's user part.
    // Notifications go out once, at the end.
    void SaveMailContact(TRcResPath* aResPath, TRcMail* aMail);

    // Deleting what is gone does nothing.
    void DeleteAddressBook(TRcResPath* aContactPath);
    // Every card it can; each group that lost one is told once, in order;
    // a card that failed raises "删除地址簿不完全成功" afterwards.
    void DeleteAddressBooks(TRcResPathList* aContactPaths);
    void MoveAddressBook(TRcResPath* aContactPath, TRcResPath* aGroupPath);
    void MoveAddressBooks(TRcResPathList* aContactPaths, TRcResPath* aGroupPath);

    // One contact per card (last name then first name, the address),
    // appended in creation-time order.
    void GetMailContactList(TRcResPath* aResPath, TRcMailContactList* aMailContactList);
    // What the address boxes offer while the user types: the cards whose
    // address, or last name then first name, starts with aTyped (letter
    // case counts), oldest first, at most aMaxCount, appended.
    void GetMailContactSuggestions(TRcResPath* aResPath, const std::string& aTyped, int aMaxCount,
                                   TRcMailContactList* aMailContactList);

    // The head picture's file in the program's picture folder; empty for
    // an empty name or one that is not a plain file name.
    std::string FetchHeadPicFullFileName(const std::string& aPicName) const;

private:
    TRcRef<TRcAddressBookObservable> FObservable;
};
