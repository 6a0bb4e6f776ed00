// How the conversation stores reach an account's database: element 0 of
// the path is the account; the record is held while the connection is in
// use. An account the manager does not hold, or one without an open
// database, gives none: reads then find nothing and writes do nothing.
#pragma once

#include "Business/Account/Account.h"
#include "Business/Data/SqliteDatabase.h"
#include "Business/Resource/ResPath.h"

class TConversationAccountDb {
public:
    explicit TConversationAccountDb(const TRcResPath* aResPath);
    TSQLiteDatabase* Get() const { return FDb; }
    explicit operator bool() const { return FDb != nullptr; }
    TSQLiteDatabase& operator*() const { return *FDb; }
    TSQLiteDatabase* operator->() const { return FDb; }

private:
    TRcRef<TRcAccount> FAccount;
    TSQLiteDatabase* FDb = nullptr;
};
