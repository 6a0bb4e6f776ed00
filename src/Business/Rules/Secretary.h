// Secretaries: contacts to whom a mail goes for work on it (its
// translation, say) before it goes to the customer. One register, in the
// Secretary table of Accounts/Accounts.db, shared by every account.
#pragma once

#include <optional>
#include <string>

#include "Business/Resource/ResPath.h"
#include "Runtime/DateTime.h"
#include "Runtime/RcList.h"
#include "Runtime/RcObject.h"

class TSQLiteUniTable;

class TRcSecretary : public TRcObject {
public:
    TRcSecretary() = delete;   // a secretary is made with its identity
    // A new, unsaved secretary: a fresh id, everything else empty.
    static TRcSecretary* CreateNewAndAutoRelease();
    // The row a cursor is on, read in the store's column order (Id,
    // SecretaryName, SecretaryEmail, CreateTime).
    explicit TRcSecretary(TSQLiteUniTable& aRow);
    TRcSecretary(std::string aId, std::string aSecretaryName, std::string aSecretaryEmail, TDateTime aCreateTime);

    std::string ToString() const override;
    // The secretary's identifier (type rtSecretary), autoreleased.
    TRcResId* ResId() const;

    std::string FId;
    std::string FSecretaryName;
    std::string FSecretaryEmail;
    TDateTime FCreateTime = 0;
};

using TRcSecretaryList = TRcList<TRcSecretary>;

// All SQL of the register. Every operation opens Accounts/Accounts.db of
// the current data folder for itself and does nothing (no list, no
// record) when that file is missing: accounts make it, secretaries never
// do. Writes roll back and raise on any error.
class TSqliteDbSecretary {
public:
    TSqliteDbSecretary() = delete;

    static const char* CreateTableSql();
    // The table, with the file's user version, when it is missing.
    static void InitSecretaryTable();
    // Oldest first; rows whose id is not 32 hex digits are left out.
    static TRcResIdList* GetIds();          // autoreleased; nullptr without the file
    static TRcSecretaryList* LoadList();    // autoreleased; nullptr without the file
    // The secretary the path ends with; nullptr when there is none or the
    // path's last element is not a secretary's id.
    static TRcSecretary* Load(const TRcResPath* aResPath);   // autoreleased
    // Inserts or replaces the row. Whether a row with that id existed
    // before (counted in the same transaction); nothing without the file.
    // An id that is not 32 hex digits raises.
    static std::optional<bool> Save(const TRcSecretary* aSecretary);
    // Whether a row was deleted.
    static bool Delete(const TRcResPath* aResPath);
    static void DeleteAllSecretary();
    static bool CheckSecretaryByEmail(const std::string& aAddress);

    static constexpr const char* kBadId = "小秘书的ID无效";
};
