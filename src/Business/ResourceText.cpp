// Display texts of resource paths, for log lines and for what the screens
// show of an object they only hold the path of.
#include "Business.h"

#include "Account/AccountFolder.h"
#include "Account/AccountManager.h"
#include "AccountMail/AccountMailManager.h"
#include "Contacts/AddressBookGroupManager.h"
#include "Contacts/AddressBookManager.h"
#include "Rules/SecretaryManager.h"

#include <optional>

namespace {

// The ToString of the object the path names, when the type is one whose
// objects are looked up and the object is there.
std::optional<std::string> ObjectText(TRcResPath* aPath)
{
    const TRcResId* last = aPath->Last();
    const auto text = [](const TRcObject* aObject) -> std::optional<std::string> {
        if (!aObject)
            return std::nullopt;
        return aObject->ToString();
    };
    switch (last->Type()) {
    case rtAccount: {
        TAccountManager* accounts = TAccountManager::AccountManager();
        return accounts ? text(accounts->GetAccount(last)) : std::nullopt;
    }
    case rtAccountMailFolder: {
        TAccountFolderManager* folders = TAccountFolderManager::AccountFolderManager();
        return folders ? text(folders->GetFolder(aPath)) : std::nullopt;
    }
    case rtAccountMail: {
        TAccountMailManager* mails = TAccountMailManager::AccountMailManager();
        return mails ? text(mails->GetMail(aPath)) : std::nullopt;
    }
    case rtAccountAddressBookGroup: {
        auto* groups = TAccountAddressBookGroupManager::AccountAddressBookGroupManager();
        return groups ? text(groups->GetAddressBookGroup(aPath)) : std::nullopt;
    }
    case rtAccountAddressBook: {
        TAccountAddressBookManager* book = TAccountAddressBookManager::AccountAddressBookManager();
        return book ? text(book->GetAddressBook(aPath)) : std::nullopt;
    }
    case rtSecretary: {
        TSecretaryManager* secretaries = TSecretaryManager::SecretaryManager();
        return secretaries ? text(secretaries->GetSecretary(aPath)) : std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

bool IsRecognisedAddressBookFolder(TRcResPath* aPath)
{
    auto* groups = TAccountAddressBookGroupManager::AccountAddressBookGroupManager();
    return groups && groups->IsAddressBookFolderResPath(aPath);
}

} // namespace

std::string TBusiness::ResourceToString(TRcResPath* aResPath)
{
    if (!aResPath || aResPath->Count() == 0 || !aResPath->Last())
        return "<nil>";
    switch (aResPath->Last()->Type()) {
    case rtAccount:
    case rtAccountMailFolder:
        return ObjectText(aResPath).value_or("<不存在>");
    case rtAccountAddressBookFolder:
        return IsRecognisedAddressBookFolder(aResPath) ? "地址簿文件夹" : "<错误资源 ID>";
    case rtAccountMail:
    case rtAccountAddressBookGroup:
    case rtAccountAddressBook:
    case rtTemplate:
    case rtLetter:
    case rtSecretary:
        return ObjectText(aResPath).value_or("不存在");
    case rtTemplateFolder:
    case rtLetterFolder:
        return "不存在";
    default:
        return "<错误资源类型>";
    }
}

std::string TBusiness::PesPathToGoodString(TRcResPath* aResPath)
{
    if (!aResPath)
        return "<nil>";
    std::string text;
    for (int i = 0; i < aResPath->Count(); ++i) {
        TRcResPath* left = aResPath->LeftPath(i + 1);
        const TRcResId* id = aResPath->At(i);
        std::optional<std::string> element;
        if (id && id->IsType(rtAccountAddressBookFolder) && IsRecognisedAddressBookFolder(left))
            element = "地址簿文件夹";
        else if (id && !id->IsType(rtSecretary))
            element = ObjectText(left);
        if (i > 0)
            text += " -> ";
        text += '"';
        text += element.value_or(id ? id->ToString() : std::string("nil"));
        text += '"';
    }
    return text;
}
