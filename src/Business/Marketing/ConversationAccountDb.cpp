#include "ConversationAccountDb.h"

#include "Business/Account/AccountForSqlite.h"
#include "Business/Account/AccountManager.h"

TConversationAccountDb::TConversationAccountDb(const TRcResPath* aResPath)
{
    TAccountManager* manager = TAccountManager::AccountManager();
    if (!manager || !aResPath || aResPath->Count() == 0 || !aResPath->At(0)->IsType(rtAccount))
        return;
    FAccount = TRcRef<TRcAccount>::Retain(manager->GetAccount(aResPath));
    if (auto* record = dynamic_cast<TRcAccountForSqlite*>(FAccount.Get()))
        FDb = record->GetDb();
}
