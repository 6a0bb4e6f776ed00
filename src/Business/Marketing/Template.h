// Stationery templates: a folder holding an HTML page, its preview picture
// and the files the page uses, indexed by a small database. The system set
// lies beside the program (read only), the user's set in the data folder.
#pragma once

#include <string>

#include "Business/Resource/ResPath.h"
#include "Runtime/RcObject.h"
#include "Runtime/RcRef.h"

class TSQLiteDatabase;
class TSQLiteUniTable;

class TRcTemplate : public TRcObject {
public:
    TRcTemplate() = delete;   // made empty by CreateEmptyTemplate, or from a row
    // The row a cursor is on: Id, Language, Name, PreviewFileName,
    // IndexFileName, SystemFlag.
    TRcTemplate(TSQLiteUniTable& aRow, bool aAppSystemFlag);
    explicit TRcTemplate(std::string aId);
    // A new template with a fresh id, owned by the caller.
    static TRcRef<TRcTemplate> CreateEmptyTemplate();

    std::string ToString() const override;
    const std::string& Id() const { return FResId->Id(); }

    TRcRef<TRcResId> FResId;   // rtTemplate
    int FLanguage = 0;
    std::string FName;
    std::string FPreviewFileName;
    std::string FIndexFileName;
    bool FSystemFlag = false;
    // Found in the system set beside the program.
    bool FAppSystemFlag = false;
};

// All SQL of a template index, on the connection given.
class TSqliteDbTemplate {
public:
    TSqliteDbTemplate() = delete;

    // rtTemplate ids of one kind; aLanguage -1 means any language.
    static void AddIds(TSQLiteDatabase& aDb, int aKind, int aLanguage, TRcResIdList& aIds);
    // Autoreleased; nullptr without a row.
    static TRcTemplate* Load(TSQLiteDatabase& aDb, const std::string& aId, bool aAppSystemFlag);
    // The row, in one transaction; SystemFlag is always written 0.
    static void Save(TSQLiteDatabase& aDb, const TRcTemplate& aTemplate, int aKind);
    // 0: deleted; 1: no such row, or a system template (left alone).
    static int Delete(TSQLiteDatabase& aDb, const std::string& aId);
};
