// TRcAccountForSqlite: an account whose settings live as rows of Info in
// its own database, Accounts/{id}/Account.db under the data folder. The
// record keeps that connection open; every per-account store reaches its
// tables through it.
#pragma once

#include <filesystem>
#include <memory>

#include "Account.h"
#include "AccountSign.h"
#include "Business/Data/SqliteDatabase.h"
#include "Business/Resource/ResPath.h"

class TRcAccountForSqlite : public TRcAccount {
public:
    static constexpr const char* kEmptyId = "账户ID为空串";
    static constexpr const char* kAlreadyOpen = "账户数据库已经被打开";
    static constexpr const char* kNotOpen = "账户数据库没有打开";

    // An id that names a folder must be 32 hexadecimal digits: anything
    // else is refused before a path is built. Opens and loads the database
    // when it exists; otherwise the record has the defaults and no database.
    explicit TRcAccountForSqlite(const std::string& aId);
    static TRcAccountForSqlite* CreateAndAutoRelease(const std::string& aId)
    {
        return RcCreateAndAutoRelease<TRcAccountForSqlite>(aId);
    }

    // The account's folder and database file in this run's data folder.
    static std::filesystem::path PathByResId(const TRcResId* aResId);
    static std::filesystem::path DbFileNameByResId(const TRcResId* aResId);
    static bool IsValidAccountId(const std::string& aId);

    void OpenDb();
    // Makes the folder and builds a new database in one transaction.
    void CreateDb();
    void CloseDb();
    // The open connection, or nullptr.
    TSQLiteDatabase* GetDb() const;

    void LoadFromDb();
    // Every setting in one transaction: never half old, half new.
    void SaveToDb();

    static void InitSignDb(TSQLiteDatabase& aDb);

    // Signatures. Ids that cannot name a folder are not listed.
    TRcResIdList* GetSignIds();
    // The signature the path's last id names, owned by the caller;
    // nullptr without a row.
    TRcRef<TRcAccountSign> GetAccountSign(const TRcResPath* aResPath);
    // The row, and the signature's folder (its message is written by
    // SaveMailRaw).
    void SaveAccountSignToDb(const TRcAccountSign* aAccountSign);
    // The row, then the signature's folder when it is still there.
    void DeleteAccountSign(const TRcResPath* aResPath);

protected:
    ~TRcAccountForSqlite() override;

private:
    TSQLiteDatabase& Db() const;

    mutable std::mutex FDbMutex;
    std::unique_ptr<TSQLiteDatabase> FDb;
};
