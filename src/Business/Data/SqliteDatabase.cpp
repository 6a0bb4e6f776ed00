#include "SqliteDatabase.h"

#include "SqliteQuery.h"
#include "Runtime/Log.h"
#include "Runtime/TextFormat.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

TSQLiteDatabase::TSQLiteDatabase(const std::filesystem::path& aPath, TOpenMode aMode) : FPath(aPath)
{
    int flags = SQLITE_OPEN_FULLMUTEX;
    if (aMode == TOpenMode::ReadOnly) {
        flags |= SQLITE_OPEN_READONLY;
    } else {
        flags |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
        // Account passwords live in these files: a new one is the user's alone.
        const int fd = ::open(aPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd >= 0)
            ::close(fd);
    }
    const int rc = sqlite3_open_v2(aPath.c_str(), &FDb, flags, nullptr);
    if (rc != SQLITE_OK) {
        const std::string message = FDb ? sqlite3_errmsg(FDb) : sqlite3_errstr(rc);
        sqlite3_close(FDb);
        FDb = nullptr;
        throw ESQLiteException("Failed to open database \"" + aPath.string() + "\" : " + message, rc);
    }
    sqlite3_extended_result_codes(FDb, 1);
    sqlite3_busy_timeout(FDb, kBusyTimeoutMs);
}

TSQLiteDatabase::~TSQLiteDatabase()
{
    if (FTransactionDepth > 0)
        TLog::O(lolError, "数据库关闭时还有未结束的事务：%s", {FPath.string()});
    // Statements are scoped objects and gone by now; close_v2 would keep
    // the handle alive for any that were not.
    sqlite3_close_v2(FDb);
}

void TSQLiteDatabase::RaiseError(const std::string& aWhat, int aCode)
{
    throw ESQLiteException(aWhat + " : " + sqlite3_errmsg(FDb), aCode);
}

void TSQLiteDatabase::ExecSQL(const std::string& aSql)
{
    auto lock = Lock();
    char* error = nullptr;
    const int rc = sqlite3_exec(FDb, aSql.c_str(), nullptr, nullptr, &error);
    if (rc != SQLITE_OK) {
        const std::string message = error ? error : sqlite3_errstr(rc);
        sqlite3_free(error);
        throw ESQLiteException(message + " [" + aSql + "]", rc);
    }
}

void TSQLiteDatabase::ExecSQL(const std::string& aSql, const TSQLiteQueryExBindParamsProc& aBind)
{
    TSQLiteQueryEx query(*this, aSql);
    if (aBind)
        aBind(query);
    query.Exec();
}

int64_t TSQLiteDatabase::GetTableValue(const std::string& aSql, const TSQLiteUniTableBindParamsProc& aBind)
{
    TSQLiteUniTable table(*this, aSql);
    if (aBind)
        aBind(table);
    return table.Eof() ? 0 : table.FieldAsInteger(0);
}

bool TSQLiteDatabase::TableExists(const std::string& aName)
{
    TSQLiteUniTable table(*this, "select [sql] from sqlite_master where [type] = 'table' and lower(name) = lower(?)");
    table.BindStr(1, aName);
    return !table.Eof();
}

int64_t TSQLiteDatabase::UserVersion()
{
    return GetTableValue("pragma user_version");
}

TTransaction::TTransaction(TSQLiteDatabase& aDb) : FDb(aDb), FLock(aDb.Lock()), FDepth(aDb.FTransactionDepth)
{
    FDb.ExecSQL(FDepth == 0 ? std::string("BEGIN IMMEDIATE") : FormatText("SAVEPOINT qm_%d", {FDepth}));
    ++FDb.FTransactionDepth;
}

TTransaction::~TTransaction()
{
    if (!FOpen)
        return;
    try {
        Rollback();
    } catch (const std::exception& e) {
        TLog::O(lolError, "事务回滚失败：%s", {e.what()});
    }
}

void TTransaction::Commit()
{
    if (!FOpen)
        throw Exception("Transaction already closed");
    FDb.ExecSQL(FDepth == 0 ? std::string("COMMIT") : FormatText("RELEASE qm_%d", {FDepth}));
    FOpen = false;
    --FDb.FTransactionDepth;
}

void TTransaction::Rollback()
{
    if (!FOpen)
        return;
    FOpen = false;
    --FDb.FTransactionDepth;
    if (FDepth == 0) {
        // A failed COMMIT or an I/O error may already have ended it.
        if (!sqlite3_get_autocommit(FDb.FDb))
            FDb.ExecSQL("ROLLBACK");
    } else {
        FDb.ExecSQL(FormatText("ROLLBACK TO qm_%d", {FDepth}));
        FDb.ExecSQL(FormatText("RELEASE qm_%d", {FDepth}));
    }
}

void TTransaction::Run(TSQLiteDatabase& aDb, const std::function<void()>& aWork)
{
    TTransaction transaction(aDb);
    aWork();
    transaction.Commit();
}
