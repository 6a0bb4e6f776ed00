#include "Databases.h"

#include "DataFolder.h"
#include "Schema.h"
#include "SchemaUpgrade.h"
#include "SqliteQuery.h"
#include "Runtime/Log.h"
#include "Runtime/TextFormat.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace {

std::mutex gCreateTableProcsMutex;
std::vector<TAccountDb::TCreateTableProc> gCreateTableProcs;

void SetUserVersion(TSQLiteDatabase& aDb)
{
    aDb.ExecSQL(FormatText("pragma user_version = %d", {schema::kUserVersion}));
}

void CreateTableIfMissing(TSQLiteDatabase& aDb, const char* aTable, const char* aStatement)
{
    if (!aDb.TableExists(aTable))
        aDb.ExecSQL(aStatement);
}

void RemoveDatabaseFiles(const std::filesystem::path& aPath)
{
    std::error_code ec;
    for (const char* suffix : {"", "-journal", "-wal", "-shm"})
        std::filesystem::remove(aPath.string() + suffix, ec);
}

// Opens a data-folder database, building it with aBuild in one
// transaction when the file is new.
std::unique_ptr<TSQLiteDatabase> OpenOrBuild(const std::filesystem::path& aFolder, const char* aFile,
                                             const std::function<void(TSQLiteDatabase&)>& aBuild)
{
    CreatePrivateFolder(aFolder);
    const auto path = aFolder / aFile;
    std::error_code ec;
    const bool existed = std::filesystem::exists(path, ec);
    auto db = std::make_unique<TSQLiteDatabase>(path);
    if (existed)
        return db;
    try {
        TTransaction::Run(*db, [&] {
            SetUserVersion(*db);
            aBuild(*db);
        });
    } catch (...) {
        db.reset();
        RemoveDatabaseFiles(path);
        throw;
    }
    return db;
}

} // namespace

void TAccountDb::RegisterCreateTableProc(TCreateTableProc aProc)
{
    std::lock_guard lock(gCreateTableProcsMutex);
    gCreateTableProcs.push_back(aProc);
}

void TAccountDb::UnRegisterCreateTableProc(TCreateTableProc aProc)
{
    std::lock_guard lock(gCreateTableProcsMutex);
    auto it = std::find(gCreateTableProcs.begin(), gCreateTableProcs.end(), aProc);
    if (it != gCreateTableProcs.end())
        gCreateTableProcs.erase(it);
}

void TAccountDb::CreateTable(TSQLiteDatabase& aDb)
{
    std::vector<TCreateTableProc> procs;
    {
        std::lock_guard lock(gCreateTableProcsMutex);
        procs = gCreateTableProcs;
    }
    for (TCreateTableProc proc : procs)
        proc(aDb);
}

std::unique_ptr<TSQLiteDatabase> CreateAccountDatabase(const std::filesystem::path& aPath)
{
    std::error_code ec;
    if (std::filesystem::exists(aPath, ec))
        throw Exception("账户数据库已经存在：" + aPath.string());
    CreatePrivateFolder(aPath.parent_path());
    auto db = std::make_unique<TSQLiteDatabase>(aPath);
    try {
        TTransaction::Run(*db, [&] {
            SetUserVersion(*db);
            db->ExecSQL(schema::kInfo);
            db->ExecSQL(schema::kMail);
            for (const char* index : schema::kMailIndexes)
                db->ExecSQL(index);
            CreateTableIfMissing(*db, "Sign", schema::kSign);
            db->ExecSQL(schema::kAddresBookGroup);
            db->ExecSQL(schema::kAddresBook);
            for (const char* index : schema::kAddresBookIndexes)
                db->ExecSQL(index);
            db->ExecSQL(schema::kNameList);
            db->ExecSQL(schema::kSecretary);
            db->ExecSQL(schema::kMailFilter);
            db->ExecSQL(schema::kMailComplex);
            db->ExecSQL(schema::kMailComplexFile);
            for (const char* index : schema::kMailComplexFileIndexes)
                db->ExecSQL(index);
            TAccountDb::CreateTable(*db);
            UpdateAccountDataBase(*db);
        });
    } catch (...) {
        db.reset();
        RemoveDatabaseFiles(aPath);
        throw;
    }
    return db;
}

std::unique_ptr<TSQLiteDatabase> OpenAccountDatabase(const std::filesystem::path& aPath)
{
    std::error_code ec;
    if (!std::filesystem::exists(aPath, ec))
        throw Exception("账户数据库不存在：" + aPath.string());
    auto db = std::make_unique<TSQLiteDatabase>(aPath);
    if (!db->TableExists("Sign"))
        TTransaction::Run(*db, [&] { CreateTableIfMissing(*db, "Sign", schema::kSign); });
    // The folder-and-date index came after the data upgrade of this
    // version had run on some folders: made once here (a second or so on a
    // very large account), so every account lists its newest mails at once.
    const char* const mailIndexes[] = {schema::kMailTypeDateIndex};
    AddMissingIndexes(*db, "Mail", mailIndexes);
    // The address book's indexes came later too; an account without them
    // gets them once, here.
    AddAddressBookIndexes(*db);
    // So are the conversation index's lookups: made once here rather than
    // inside the index's own transactions.
    AddConversationLookups(*db);
    return db;
}

std::unique_ptr<TSQLiteDatabase> EnsureAccountsDb(const std::filesystem::path& aDataFolder)
{
    const auto folder = aDataFolder / "Accounts";
    CreatePrivateFolder(folder);
    auto db = std::make_unique<TSQLiteDatabase>(folder / "Accounts.db");
    TTransaction::Run(*db, [&] {
        CreateTableIfMissing(*db, "Account", schema::kAccount);
        CreateTableIfMissing(*db, "UserConfig", schema::kUserConfig);
        CreateTableIfMissing(*db, "Secretary", schema::kSecretary);
        if (db->UserVersion() == 0)
            SetUserVersion(*db);
    });
    return db;
}

std::unique_ptr<TSQLiteDatabase> OpenProductDatabase(const std::filesystem::path& aDataFolder)
{
    return OpenOrBuild(aDataFolder / "Product", "Product.db", [](TSQLiteDatabase& aDb) {
        aDb.ExecSQL(schema::kProductGroup);
        aDb.ExecSQL(schema::kProduct);
        aDb.ExecSQL(schema::kProductImage);
        aDb.ExecSQL(schema::kProductIndexes[0]);
        aDb.ExecSQL(schema::kProductImageIndexes[0]);
    });
}

std::unique_ptr<TSQLiteDatabase> OpenTemplatesDatabase(const std::filesystem::path& aDataFolder)
{
    return OpenOrBuild(aDataFolder / "Templates", "Templates.db",
                       [](TSQLiteDatabase& aDb) { aDb.ExecSQL(schema::kTemplate); });
}

std::unique_ptr<TSQLiteDatabase> OpenLetterDatabase(const std::filesystem::path& aDataFolder)
{
    return OpenOrBuild(aDataFolder / "Letter", "Letter.db", [](TSQLiteDatabase& aDb) { aDb.ExecSQL(schema::kLetter); });
}

std::unique_ptr<TSQLiteDatabase> OpenSystemDatabase(const std::filesystem::path& aProgramFolder, const char* aFolder,
                                                    const char* aFile)
{
    const auto path = aProgramFolder / aFolder / aFile;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return nullptr;
    auto db = std::make_unique<TSQLiteDatabase>(path, TSQLiteDatabase::TOpenMode::ReadOnly);
    if (db->UserVersion() != schema::kUserVersion) {
        TLog::O(lolWorn, "不支持的系统模板数据库版本");
        return nullptr;
    }
    return db;
}
