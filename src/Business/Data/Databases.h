// Every database file of the data folder: where it lives, and how it is
// opened, or built from the schema's statements when it is new.
#pragma once

#include <filesystem>
#include <memory>

#include "SqliteDatabase.h"

// Extra table builders run on every new account database after its own
// tables; a process-wide ordered list.
class TAccountDb {
public:
    using TCreateTableProc = void (*)(TSQLiteDatabase& aDb);
    static void RegisterCreateTableProc(TCreateTableProc aProc);
    static void UnRegisterCreateTableProc(TCreateTableProc aProc);
    static void CreateTable(TSQLiteDatabase& aDb);
};

// Builds a new account database at aPath (which must not exist yet) in one
// transaction. On failure the half-built file is removed and the error
// goes on.
std::unique_ptr<TSQLiteDatabase> CreateAccountDatabase(const std::filesystem::path& aPath);
// Opens an existing account database; only a missing Sign table is added.
std::unique_ptr<TSQLiteDatabase> OpenAccountDatabase(const std::filesystem::path& aPath);

// The one place that makes Accounts/Accounts.db and each of its missing
// tables, and sets user_version 1 where it is 0. Returns the connection.
std::unique_ptr<TSQLiteDatabase> EnsureAccountsDb(const std::filesystem::path& aDataFolder);

// Product/Product.db, Templates/Templates.db, Letter/Letter.db: opened,
// and built in one transaction when the file is new.
std::unique_ptr<TSQLiteDatabase> OpenProductDatabase(const std::filesystem::path& aDataFolder);
std::unique_ptr<TSQLiteDatabase> OpenTemplatesDatabase(const std::filesystem::path& aDataFolder);
std::unique_ptr<TSQLiteDatabase> OpenLetterDatabase(const std::filesystem::path& aDataFolder);

// A read-only system database beside the program ("SysTemplates" with
// "Templates.db", "SysLetter" with "Letter.db"): nullptr when it is not
// there, or when its version is not ours ("不支持的系统模板数据库版本" is
// logged).
std::unique_ptr<TSQLiteDatabase> OpenSystemDatabase(const std::filesystem::path& aProgramFolder, const char* aFolder,
                                                    const char* aFile);
