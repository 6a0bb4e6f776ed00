// Bringing older files up to the current schema. Every step only adds what
// is missing, so running it again changes nothing. A failing step rolls
// its own transaction back and raises "数据升级失败"; steps committed
// before it stay.
#pragma once

#include <filesystem>
#include <initializer_list>
#include <span>
#include <string>

#include "SqliteDatabase.h"

inline constexpr const char* kDataUpgradeFailed = "数据升级失败";

struct TColumnSpec {
    const char* Name;
    const char* Type;
};

// "Alter Table [table] Add [column] type" for each column not yet there
// (names compare ignoring case). A missing table is left alone.
void AddMissingColumns(TSQLiteDatabase& aDb, const std::string& aTable, std::span<const TColumnSpec> aColumns);
// Each "create index [name] …" whose index does not exist yet. A missing
// table is left alone.
void AddMissingIndexes(TSQLiteDatabase& aDb, const std::string& aTable, std::span<const char* const> aStatements);

// Whether the table exists and has every one of the columns (names
// compare ignoring case).
bool HasColumns(TSQLiteDatabase& aDb, const std::string& aTable, std::initializer_list<const char*> aColumns);

// The address book's own indexes, once its table has the columns they
// index (an older table gets them from the upgrade first).
void AddAddressBookIndexes(TSQLiteDatabase& aDb);
// The conversation index's lookups: its item indexes (once the item table
// has the columns they index) and its address table with its index.
void AddConversationLookups(TSQLiteDatabase& aDb);

// The whole account upgrade: missing tables, columns, indexes and the two
// data fixes.
void UpdateAccountDataBase(TSQLiteDatabase& aDb);
// Accounts/Accounts.db: the columns its tables gained.
void UpdateAccountsDataBase(TSQLiteDatabase& aDb);
// Product/Product.db, when it exists.
void UpdateProductDataBase(const std::filesystem::path& aDataFolder);
