// Letters: background pictures for a new mail's page, indexed by a small
// database. System letters' pictures lie directly in the system folder
// beside the program; each user letter has a folder of its own.
#pragma once

#include <string>

#include "Business/Resource/ResPath.h"
#include "Runtime/RcObject.h"
#include "Runtime/RcRef.h"

class TSQLiteDatabase;
class TSQLiteUniTable;

class TRcLetter : public TRcObject {
public:
    TRcLetter() = delete;   // made empty by CreateEmptyLetter, or from a row
    // The row a cursor is on: Id, Name, FileName.
    TRcLetter(TSQLiteUniTable& aRow, bool aAppSystemFlag);
    explicit TRcLetter(std::string aId);
    // A new letter with a fresh id, owned by the caller.
    static TRcRef<TRcLetter> CreateEmptyLetter();

    std::string ToString() const override;
    const std::string& Id() const { return FResId->Id(); }

    TRcRef<TRcResId> FResId;   // rtLetter
    std::string FName;
    std::string FFileName;
    // Found in the system set beside the program: its picture is there.
    bool FAppSystemFlag = false;
};

// All SQL of a letter index, on the connection given. Letters have one
// kind, 1.
class TSqliteDbLetter {
public:
    TSqliteDbLetter() = delete;
    static constexpr int kLetterType = 1;

    static void AddIds(TSQLiteDatabase& aDb, TRcResIdList& aIds);
    // Autoreleased; nullptr without a row.
    static TRcLetter* Load(TSQLiteDatabase& aDb, const std::string& aId, bool aAppSystemFlag);
    static void Save(TSQLiteDatabase& aDb, const TRcLetter& aLetter);
    // Whether a row went.
    static bool Delete(TSQLiteDatabase& aDb, const std::string& aId);
};
