// Installation-wide user settings, as key/value rows of UserConfig in
// Accounts/Accounts.db. Booleans are stored as "-1" and "0".
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "Runtime/RcObject.h"

class TRcUserConfig : public TRcObject {
public:
    TRcUserConfig() = default;
    TRcUserConfig(std::string aKey, std::string aValue) : FKey(std::move(aKey)), FValue(std::move(aValue)) {}

    std::string FKey;
    std::string FValue;
};

class TSqliteDbUserConfig {
public:
    static const char* CreateTableSql();
    // Adds the table to an existing Accounts.db; no file, nothing done.
    static void InitUserConfigTable(const std::filesystem::path& aDataFolder);
    // The stored row, autoreleased; nullptr without a row or a file.
    static TRcUserConfig* Load(const std::filesystem::path& aDataFolder, const std::string& aKey);
    // One row, inserted or replaced in one transaction. Makes Accounts.db
    // and the table when they are missing (a first run has neither).
    static bool Save(const std::filesystem::path& aDataFolder, const TRcUserConfig* aUserConfig);
};

// "-1" or "0"; read back with StrToBoolDef.
std::string UserConfigBool(bool aValue);
