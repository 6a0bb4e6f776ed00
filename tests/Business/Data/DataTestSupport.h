// A scratch data folder for one test, and readers for what SQLite keeps.
#pragma once

#include "Business/Data/SqliteQuery.h"
#include "Support/ScratchFolder.h"

#include <cctype>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

// "type name: sql" for every table and index, by name.
inline std::map<std::string, std::string> SchemaOf(TSQLiteDatabase& aDb)
{
    std::map<std::string, std::string> schema;
    TSQLiteUniTable rows(aDb, "select type, name, sql from sqlite_master where sql is not null");
    for (; !rows.Eof(); rows.Next())
        schema[rows.FieldAsString(1)] = rows.FieldAsString(0) + ": " + rows.FieldAsString(2);
    return schema;
}

// Column names and declared types, in order; SQLite reports the standard
// type names in capitals, so all types are compared in capitals.
inline std::vector<std::string> ColumnsOf(TSQLiteDatabase& aDb, const std::string& aTable)
{
    std::vector<std::string> columns;
    TSQLiteUniTable rows(aDb, "select name, type from pragma_table_info(?)");
    rows.BindStr(1, aTable);
    for (; !rows.Eof(); rows.Next())
    {
        std::string type = rows.FieldAsString(1);
        for (char& c : type)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        columns.push_back(rows.FieldAsString(0) + " " + type);
    }
    return columns;
}

// Every row of every table, as text, for before/after comparisons.
inline std::string DumpOf(TSQLiteDatabase& aDb)
{
    std::string dump;
    for (const auto& [name, entry] : SchemaOf(aDb)) {
        dump += entry + "\n";
        if (entry.rfind("table: ", 0) != 0)
            continue;
        TSQLiteUniTable rows(aDb, "select * from [" + name + "] order by 1");
        for (; !rows.Eof(); rows.Next()) {
            for (int i = 0; i < rows.FieldCount(); ++i)
                dump += (rows.FieldIsNull(i) ? std::string("NULL") : rows.FieldAsString(i)) + "|";
            dump += "\n";
        }
    }
    return dump;
}
