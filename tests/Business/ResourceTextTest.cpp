// What the business layer calls things in log lines and screens: the
// display text of a path by its last identifier, and of a whole path.
#include "Business/Account/AccountFolder.h"
#include "Business/Business.h"
#include "Business/Contacts/AddressBookGroupManager.h"
#include "Business/Contacts/AddressBookManager.h"
#include "Business/Contacts/ContactsStore.h"
#include "Runtime/AutoReleasePool.h"
#include "Support/AccountManagers.h"
#include "Support/ScratchFolder.h"

#include <gtest/gtest.h>

namespace {

TEST(ResourceTextTest, EachTypeIsNamedOrSaysWhatIsMissing)
{
    TRetainCountObjectAutoReleasePool pool;
    TScratchFolder scratch("qm-restext");
    TAccountManagers managers(scratch.Path());
    TAccountAddressBookGroupManager::BuildInstance();
    TAccountAddressBookManager::BuildInstance();
    auto account = TAccountManager::AccountManager()->CreateNewAccount();
    account->SetEmail("seller@example.com");
    TAccountManager::AccountManager()->SaveAccount(account.Get());
    TRcResPath* accountPath = TRcResPath::CreateAndAutoRelease({account->ResId()});
    TRcResPath* inbox = TAccountFolderManager::AccountFolderManager()->GetStandardFolderResPath(accountPath, aftInBox);
    auto mail = TAccountMailManager::AccountMailManager()->CreateMail();
    mail->FSubject = "Offer";
    TRcResPath* mailPath = TAccountMailManager::AccountMailManager()->SaveMail(inbox, mail.Get());
    TRcResPath* folder = TAccountAddressBookGroupManager::AccountAddressBookGroupManager()->GetAddressBookFolderResPath(
        accountPath);
    TRcAddressBookGroup* group = TAccountAddressBookGroupManager::AccountAddressBookGroupManager()->CreateAddressBookGroup();
    group->FName = "Buyers";
    TRcResPath* groupPath = TAccountAddressBookGroupManager::AccountAddressBookGroupManager()->SaveAddressBookGroup(
        folder, group);
    TRcAddressBook* card = TAccountAddressBookManager::AccountAddressBookManager()->CreateAddressBook();
    card->FFirstName = "Wang";
    card->FEmail = "wang@example.cn";
    TRcResPath* cardPath = TAccountAddressBookManager::AccountAddressBookManager()->SaveAddressBook(groupPath, card).ResPath;
    const auto gone = [&](TRcResPath* aParent, TResType aType) {
        return aParent->Append(TRcResId::CreateAndAutoRelease(aType, "0123456789ABCDEF0123456789ABCDEF"));
    };

    const std::pair<TRcResPath*, std::string> cases[] = {
        {nullptr, "<nil>"},
        {accountPath, account->ToString()},
        {inbox, TAccountFolderManager::AccountFolderManager()->GetFolder(inbox)->ToString()},
        {mailPath, "Offer"},
        {folder, "地址簿文件夹"},
        {gone(accountPath, rtAccountAddressBookFolder), "<错误资源 ID>"},
        {groupPath, "Buyers"},
        {cardPath, "Wang"},
        {gone(inbox, rtAccountMail), "不存在"},
        {gone(groupPath, rtAccountAddressBook), "不存在"},
        {TRcResPath::CreateAndAutoRelease({TRcResId::CreateAndAutoRelease(rtAccount, "nobody")}), "<不存在>"},
        {TRcResPath::CreateAndAutoRelease({TRcResId::CreateAndAutoRelease(rtProduct, "x")}), "<错误资源类型>"},
    };
    for (const auto& [path, text] : cases)
        EXPECT_EQ(TBusiness::ResourceToString(path), text) << (path ? path->ToString() : "nil");

    EXPECT_EQ(TBusiness::PesPathToGoodString(nullptr), "<nil>");
    EXPECT_EQ(TBusiness::PesPathToGoodString(cardPath),
              "\"" + account->ToString() + "\" -> \"地址簿文件夹\" -> \"Buyers\" -> \"Wang\"");
    TRcResPath* missing = gone(inbox, rtAccountMail);
    EXPECT_EQ(TBusiness::PesPathToGoodString(missing),
              "\"" + account->ToString() + "\" -> \"" + TBusiness::ResourceToString(inbox) + "\" -> \"" +
                  missing->Last()->ToString() + "\"");

    TAccountAddressBookManager::ReleaseInstance();
    TAccountAddressBookGroupManager::ReleaseInstance();
}

} // namespace
