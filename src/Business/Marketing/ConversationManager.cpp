#include "ConversationManager.h"

#include "Business/Account/AccountForSqlite.h"
#include "Business/Account/AccountManager.h"
#include "Business/AccountMail/AccountMailManager.h"
#include "Business/AccountMail/MailConversationHooks.h"
#include "Business/Resource/ResPathCheck.h"
#include "ConversationAccountDb.h"
#include "ConversationItem.h"
#include "ConversationItemManager.h"
#include "Runtime/Log.h"

namespace {

TRcResPath* AccountPathOf(TRcResPath* aResPath)
{
    return aResPath ? aResPath->LeftPath(1) : nullptr;
}

void MailKept(TRcResPath* aMailResPath, TRcMail* aMail)
{
    TRcResPath* account = AccountPathOf(aMailResPath);
    if (!account || !IsAccountResPath(account))
        return;
    if (!aMail)
        if (TAccountMailManager* mails = TAccountMailManager::AccountMailManager())
            aMail = mails->GetMail(aMailResPath);
    if (aMail)
        TSqliteDbConversation::AddConversationByMail(account, aMail);
}

void MailGone(TRcResPath* aMailResPath)
{
    TRcResPath* account = AccountPathOf(aMailResPath);
    if (account && IsAccountResPath(account) && aMailResPath->Last()->IsType(rtAccountMail))
        TSqliteDbConversation::RemoveMailFromConversations(account, aMailResPath->Last()->Id());
}

std::string ItemMailId(TRcResPath* aItemResPath)
{
    TConversationItemManager* items = TConversationItemManager::ConversationItemManager();
    TRcConversationItem* item = items ? items->GetConversationItem(aItemResPath) : nullptr;
    return item ? item->FEmailId : std::string();
}

constexpr TMailConversationHooks kHooks{MailKept, MailGone, ItemMailId};

} // namespace

TConversationManager::TConversationManager() : FObservable(MakeRc<TRcConversationObservable>())
{
    InstallMailConversationHooks(&kHooks);
}

TConversationManager::~TConversationManager()
{
    InstallMailConversationHooks(nullptr);
}

void TConversationManager::Init()
{
    TAccountManager* accounts = TAccountManager::AccountManager();
    if (!accounts)
        return;
    for (TRcResId* id : *accounts->GetAccounts()) {
        TRcResPath* path = TRcResPath::CreateAndAutoRelease({id});
        try {
            {
                TConversationAccountDb db(path);
                if (!db || !db->TableExists("Conversation") || !db->TableExists("ConversationItem"))
                    continue;
            }
            if (TSqliteDbConversation::IsBuilt(path))
                continue;
            TLog::O(lolDebug, "建立账户 %s 的会话索引", {id->Id()});
            TSqliteDbConversation::ReCreateAllConversationAndItems(path, {}, true);
        } catch (const std::exception& e) {
            TLog::O(lolWorn, "账户 %s 的会话索引没有建立：%s", {id->Id(), e.what()});
        }
    }
}

TRcRef<TRcConversation> TConversationManager::CreateConversation()
{
    return TSqliteDbConversation::CreateEmptyConversation();
}

TRcConversation* TConversationManager::GetConversation(TRcResPath* aResPath)
{
    return TSqliteDbConversation::Load(aResPath);
}

TRcResIdList* TConversationManager::GetConversationIds(TRcResPath* aPath)
{
    return TSqliteDbConversation::GetIds(aPath);
}

TRcRef<TRcConversation> TConversationManager::GetConversationByEmail(TRcResPath* aResPath, const std::string& aFrom)
{
    return TSqliteDbConversation::GetConversationByEmail(aResPath, aFrom);
}

bool TConversationManager::CheckConversationByEmail(TRcResPath* aResPath, const std::string& aEmailAddress)
{
    return TSqliteDbConversation::CheckConversationByEmail(aResPath, aEmailAddress);
}

void TConversationManager::AddConversationByMail(TRcResPath* aResPath, TRcMail* aMail)
{
    TSqliteDbConversation::AddConversationByMail(aResPath, aMail);
}

void TConversationManager::ReCreateAllConversationAndItems(TRcResPath* aResPath, const TProgressProc& aProc)
{
    TSqliteDbConversation::ReCreateAllConversationAndItems(aResPath, aProc);
}

void TConversationManager::StrToEmailAddressList(const std::string& aStr, std::vector<std::string>& aEMailAddress)
{
    TSqliteDbConversation::StrToEmailAddressList(aStr, aEMailAddress);
}

TRcResPath* TConversationManager::SaveConversation(TRcResPath* aResPath, TRcConversation* aConversation)
{
    if (aConversation && IsAccountResPath(aResPath))
        TSqliteDbConversation::Save(aResPath, *aConversation);
    return nullptr;
}

void TConversationManager::DeleteConversation(TRcResPath* aResPath)
{
    TSqliteDbConversation::Delete(aResPath);
}

void TConversationManager::DeleteAllConversationAndItems(TRcResPath* aResPath)
{
    TSqliteDbConversation::DeleteAllConversation(aResPath);
    TSqliteDbConversationItem::DeleteAllConversationItem(aResPath);
}
