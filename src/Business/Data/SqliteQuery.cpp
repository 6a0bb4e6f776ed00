#include "SqliteQuery.h"

#include <sqlite3.h>

TSQLiteBinder::TSQLiteBinder(TSQLiteDatabase& aDb, const std::string& aSql)
    : FDb(aDb), FLock(aDb.Lock()), FSql(aSql)
{
    const int rc = sqlite3_prepare_v2(FDb.FDb, aSql.c_str(), static_cast<int>(aSql.size()), &FStmt, nullptr);
    if (rc != SQLITE_OK)
        FDb.RaiseError("Error preparing SQL statement [" + aSql + "]", rc);
}

TSQLiteBinder::~TSQLiteBinder()
{
    sqlite3_finalize(FStmt);
}

void TSQLiteBinder::Check(int aResult, int aIndex)
{
    if (aResult != SQLITE_OK)
        FDb.RaiseError("Error binding parameter " + std::to_string(aIndex) + " [" + FSql + "]", aResult);
}

void TSQLiteBinder::BindStr(int aIndex, std::string_view aValue)
{
    // data() of an empty view may be null, which SQLite would store as
    // NULL; "" is a real empty text.
    const char* text = aValue.empty() ? "" : aValue.data();
    Check(sqlite3_bind_text64(FStmt, aIndex, text, aValue.size(), SQLITE_TRANSIENT, SQLITE_UTF8), aIndex);
}

void TSQLiteBinder::BindInt64(int aIndex, int64_t aValue)
{
    Check(sqlite3_bind_int64(FStmt, aIndex, aValue), aIndex);
}

void TSQLiteBinder::BindDouble(int aIndex, double aValue)
{
    Check(sqlite3_bind_double(FStmt, aIndex, aValue), aIndex);
}

void TSQLiteBinder::BindBlob(int aIndex, std::string_view aValue)
{
    Check(sqlite3_bind_blob64(FStmt, aIndex, aValue.empty() ? "" : aValue.data(), aValue.size(), SQLITE_TRANSIENT),
          aIndex);
}

void TSQLiteBinder::BindNull(int aIndex)
{
    Check(sqlite3_bind_null(FStmt, aIndex), aIndex);
}

void TSQLiteQueryEx::Exec()
{
    const int rc = sqlite3_step(FStmt);
    sqlite3_reset(FStmt);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW)
        FDb.RaiseError("Error executing prepared SQL statement [" + FSql + "]", rc);
}

int TSQLiteQueryEx::Changes() const
{
    return sqlite3_changes(FDb.FDb);
}

void TSQLiteUniTable::Step()
{
    const int rc = sqlite3_step(FStmt);
    if (rc == SQLITE_ROW)
        return;
    FEof = true;
    if (rc != SQLITE_DONE)
        FDb.RaiseError("Error reading rows [" + FSql + "]", rc);
}

void TSQLiteUniTable::Reset()
{
    sqlite3_reset(FStmt);
    FStarted = false;
    FEof = false;
}

bool TSQLiteUniTable::Eof()
{
    if (!FStarted) {
        FStarted = true;
        Step();
    }
    return FEof;
}

void TSQLiteUniTable::Next()
{
    if (!Eof())
        Step();
}

int TSQLiteUniTable::FieldCount() const
{
    return sqlite3_column_count(FStmt);
}

bool TSQLiteUniTable::FieldIsNull(int aColumn)
{
    return Eof() || sqlite3_column_type(FStmt, aColumn) == SQLITE_NULL;
}

std::string TSQLiteUniTable::FieldAsString(int aColumn)
{
    if (Eof())
        return {};
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(FStmt, aColumn));
    const int bytes = sqlite3_column_bytes(FStmt, aColumn);
    return text ? std::string(text, static_cast<std::size_t>(bytes)) : std::string();
}

int64_t TSQLiteUniTable::FieldAsInteger(int aColumn)
{
    return Eof() ? 0 : sqlite3_column_int64(FStmt, aColumn);
}

double TSQLiteUniTable::FieldAsDouble(int aColumn)
{
    return Eof() ? 0.0 : sqlite3_column_double(FStmt, aColumn);
}

std::string TSQLiteUniTable::FieldAsBlob(int aColumn)
{
    if (Eof())
        return {};
    const auto* data = static_cast<const char*>(sqlite3_column_blob(FStmt, aColumn));
    const int bytes = sqlite3_column_bytes(FStmt, aColumn);
    return data ? std::string(data, static_cast<std::size_t>(bytes)) : std::string();
}
