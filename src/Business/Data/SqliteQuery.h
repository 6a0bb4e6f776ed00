// Prepared statements and forward-only cursors. Parameter indexes start
// at 1, column indexes at 0. Text is bound with its exact length, so an
// empty text is stored as '' and never as NULL.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "SqliteDatabase.h"

// Binding, shared by statements and cursors.
class TSQLiteBinder {
public:
    void BindStr(int aIndex, std::string_view aValue);
    void BindInteger(int aIndex, int aValue) { BindInt64(aIndex, aValue); }
    void BindInt64(int aIndex, int64_t aValue);
    void BindDouble(int aIndex, double aValue);
    void BindBoolean(int aIndex, bool aValue) { BindInt64(aIndex, aValue ? 1 : 0); }
    void BindBlob(int aIndex, std::string_view aValue);
    void BindNull(int aIndex);

protected:
    TSQLiteBinder(TSQLiteDatabase& aDb, const std::string& aSql);
    ~TSQLiteBinder();
    TSQLiteBinder(const TSQLiteBinder&) = delete;
    TSQLiteBinder& operator=(const TSQLiteBinder&) = delete;
    void Check(int aResult, int aIndex);

    TSQLiteDatabase& FDb;
    std::unique_lock<std::recursive_mutex> FLock;
    std::string FSql;
    sqlite3_stmt* FStmt = nullptr;
};

// A statement run once or many times: bind, Exec, bind again.
class TSQLiteQueryEx : public TSQLiteBinder {
public:
    TSQLiteQueryEx(TSQLiteDatabase& aDb, const std::string& aSql) : TSQLiteBinder(aDb, aSql) {}
    // Steps once; the statement is reset either way. A step that does not
    // complete raises "Error executing prepared SQL statement".
    void Exec();
    // Rows changed by the last Exec.
    int Changes() const;
};

// A forward-only cursor: bind, then read rows until Eof.
class TSQLiteUniTable : public TSQLiteBinder {
public:
    TSQLiteUniTable(TSQLiteDatabase& aDb, const std::string& aSql) : TSQLiteBinder(aDb, aSql) {}

    bool Eof();
    void Next();
    // Back to before the first row, bindings kept, to be bound and read
    // again.
    void Reset();
    int FieldCount() const;
    bool FieldIsNull(int aColumn);
    std::string FieldAsString(int aColumn);
    int64_t FieldAsInteger(int aColumn);
    double FieldAsDouble(int aColumn);
    bool FieldAsBoolean(int aColumn) { return FieldAsInteger(aColumn) != 0; }
    std::string FieldAsBlob(int aColumn);

private:
    void Step();

    bool FStarted = false;
    bool FEof = false;
};
