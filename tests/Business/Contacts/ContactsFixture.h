// An account with its address book over a scratch data folder: the
// account managers, both address-book managers, and a recorder of every
// notification either sends, in order.
#pragma once

#include "Business/Account/AccountManager.h"
#include "Business/Contacts/AddressBookGroupManager.h"
#include "Business/Contacts/AddressBookManager.h"
#include "Business/Contacts/ContactsStore.h"
#include "Runtime/AutoReleasePool.h"
#include "Support/AccountManagers.h"
#include "Support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

class TContactsRecorder : public TRcObject,
                          public IAccountAddressBookObserver,
                          public IAccountAddressBookGroupObserver {
public:
    void OnContentChanged(TRcResPath* aPath) override { Events.push_back("content " + Short(aPath)); }
    void OnChanged(TRcResPath* aPath) override { Events.push_back("changed " + Short(aPath)); }
    // The path without the account and the folder: "group" or "group/card".
    static std::string Short(TRcResPath* aPath)
    {
        std::string text;
        for (int i = 2; i < aPath->Count(); ++i) {
            if (i > 2)
                text += '/';
            text += aPath->At(i)->Id();
        }
        return text.empty() ? "folder" : text;
    }
    std::vector<std::string> Take() { return std::exchange(Events, {}); }

    std::vector<std::string> Events;
};

class ContactsFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        FManagers = std::make_unique<TAccountManagers>(FScratch.Path());
        TAccountAddressBookGroupManager::BuildInstance();
        TAccountAddressBookManager::BuildInstance();
        Groups()->RegisterObserver(FRecorder.Get());
        Book()->RegisterObserver(FRecorder.Get());
        FAccount = TAccountManager::AccountManager()->CreateNewAccount();
        FAccount->SetEmail("seller@example.com");
        TAccountManager::AccountManager()->SaveAccount(FAccount.Get());
    }
    void TearDown() override
    {
        Book()->UnregisterObserver(FRecorder.Get());
        Groups()->UnregisterObserver(FRecorder.Get());
        TAccountAddressBookManager::ReleaseInstance();
        TAccountAddressBookGroupManager::ReleaseInstance();
        FAccount = nullptr;
        FManagers.reset();
    }

    static TAccountAddressBookGroupManager* Groups()
    {
        return TAccountAddressBookGroupManager::AccountAddressBookGroupManager();
    }
    static TAccountAddressBookManager* Book() { return TAccountAddressBookManager::AccountAddressBookManager(); }

    TRcResPath* Account() { return TRcResPath::CreateAndAutoRelease({FAccount->ResId()}); }
    TRcResPath* Folder() { return Groups()->GetAddressBookFolderResPath(Account()); }
    TRcResPath* Group(const std::string& aId)
    {
        return Folder()->Append(TRcResId::CreateAndAutoRelease(rtAccountAddressBookGroup, aId));
    }
    TRcResPath* NoGroup() { return Group(contacts::kNoGroupId); }
    // A saved group; its path.
    TRcResPath* SavedGroup(const std::string& aName, TDateTime aCreatetime = 1)
    {
        TRcAddressBookGroup* group = Groups()->CreateAddressBookGroup();
        group->FName = aName;
        group->FCreatetime = aCreatetime;
        return Groups()->SaveAddressBookGroup(Folder(), group);
    }
    // A saved card; its contact path.
    TRcResPath* SavedCard(TRcResPath* aGroup, const std::string& aFirstName, const std::string& aEmail,
                          const std::string& aLastName = {}, TDateTime aCreateTime = 0)
    {
        TRcAddressBook* card = Book()->CreateAddressBook();
        card->FFirstName = aFirstName;
        card->FLastName = aLastName;
        card->FEmail = aEmail;
        if (aCreateTime != 0)
            card->FCreateTime = aCreateTime;
        const TAddressBookSaved saved = Book()->SaveAddressBook(aGroup, card);
        EXPECT_EQ(saved.Status, TAddressBookSaveStatus::Added) << aEmail;
        return saved.ResPath;
    }
    // The e-mail addresses of a listing, in its order.
    std::vector<std::string> Emails(TRcResIdList* aIds)
    {
        std::vector<std::string> emails;
        if (!aIds)
            return {"(nil)"};
        for (TRcResId* id : *aIds)
            emails.push_back(Book()->GetAddressBook(Account(), id)->FEmail);
        return emails;
    }

    TRetainCountObjectAutoReleasePool FPool;
    TScratchFolder FScratch{"qm-contacts"};
    std::unique_ptr<TAccountManagers> FManagers;
    TRcRef<TRcAccount> FAccount;
    TRcRef<TContactsRecorder> FRecorder = MakeRc<TContactsRecorder>();
};
