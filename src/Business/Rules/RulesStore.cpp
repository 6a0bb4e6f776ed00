#include "RulesStore.h"

#include "Business/Account/AccountForSqlite.h"
#include "Business/Account/AccountManager.h"
#include "Business/Data/SqliteDatabase.h"
#include "Runtime/Errors.h"

TSQLiteDatabase& RulesAccountDb(const TRcResPath* aResPath)
{
    TAccountManager* manager = TAccountManager::AccountManager();
    TRcAccount* account = manager ? manager->GetAccount(aResPath) : nullptr;
    auto* record = dynamic_cast<TRcAccountForSqlite*>(account);
    if (!record)
        throw Exception("路径不是账户路径");
    TSQLiteDatabase* db = record->GetDb();
    if (!db)
        throw Exception("账户数据库没有打开");
    return *db;
}
