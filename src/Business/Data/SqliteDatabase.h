// The SQLite access layer every store talks through.
//
// One TSQLiteDatabase is one connection. The GUI thread and the scheduler
// thread share connections, so each connection has a recursive mutex:
// every statement takes it, and a TTransaction holds it from BEGIN to
// COMMIT or ROLLBACK, so no other thread's statement lands inside (or is
// rolled back with) another thread's transaction. Write transactions start
// with BEGIN IMMEDIATE: a deferred one that later upgrades to a writer gets
// SQLITE_BUSY at once, whatever the timeout. Transactions nest as
// savepoints.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>

#include "Runtime/Errors.h"

struct sqlite3;
struct sqlite3_stmt;

class ESQLiteException : public Exception {
public:
    ESQLiteException(const std::string& aMessage, int aCode) : Exception(aMessage), FCode(aCode) {}
    int Code() const { return FCode; }

private:
    int FCode;
};

class TSQLiteQueryEx;
class TSQLiteUniTable;

using TSQLiteQueryExBindParamsProc = std::function<void(TSQLiteQueryEx&)>;
using TSQLiteUniTableBindParamsProc = std::function<void(TSQLiteUniTable&)>;

class TSQLiteDatabase {
public:
    static constexpr int kBusyTimeoutMs = 5000;

    enum class TOpenMode { ReadWrite, ReadOnly };

    // Opens the file; read-write creates it (mode 0600) when missing.
    // Failure raises "Failed to open database …".
    explicit TSQLiteDatabase(const std::filesystem::path& aPath, TOpenMode aMode = TOpenMode::ReadWrite);
    ~TSQLiteDatabase();
    TSQLiteDatabase(const TSQLiteDatabase&) = delete;
    TSQLiteDatabase& operator=(const TSQLiteDatabase&) = delete;

    const std::filesystem::path& Path() const { return FPath; }

    void ExecSQL(const std::string& aSql);
    void ExecSQL(const std::string& aSql, const TSQLiteQueryExBindParamsProc& aBind);
    // The first column of the first row as an integer; 0 without a row.
    int64_t GetTableValue(const std::string& aSql, const TSQLiteUniTableBindParamsProc& aBind = {});
    // Names compare ignoring case.
    bool TableExists(const std::string& aName);
    int64_t UserVersion();

    // The connection's lock; statements and transactions take it.
    std::unique_lock<std::recursive_mutex> Lock() { return std::unique_lock(FMutex); }
    bool InTransaction() const { return FTransactionDepth > 0; }

    // Raises the connection's last error with aWhat in front.
    [[noreturn]] void RaiseError(const std::string& aWhat, int aCode);

private:
    friend class TSQLiteBinder;
    friend class TSQLiteQueryEx;
    friend class TSQLiteUniTable;
    friend class TTransaction;

    std::filesystem::path FPath;
    sqlite3* FDb = nullptr;
    std::recursive_mutex FMutex;
    int FTransactionDepth = 0;
};

// A transaction, or inside another a savepoint. Rolls back unless
// committed; holds the connection's lock for its whole life.
class TTransaction {
public:
    explicit TTransaction(TSQLiteDatabase& aDb);
    ~TTransaction();
    TTransaction(const TTransaction&) = delete;
    TTransaction& operator=(const TTransaction&) = delete;

    void Commit();
    void Rollback();

    // Runs aWork in a transaction: committed when it returns, rolled back
    // and re-raised when it throws.
    static void Run(TSQLiteDatabase& aDb, const std::function<void()>& aWork);

private:
    TSQLiteDatabase& FDb;
    std::unique_lock<std::recursive_mutex> FLock;
    int FDepth;
    bool FOpen = true;
};
