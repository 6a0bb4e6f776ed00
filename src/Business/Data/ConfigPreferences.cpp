// The user's preferences: kept in the user's configuration file
// ([PreferSet]) and in the UserConfig rows, read at load, written through
// by each setter before the field changes.
#include "ConfigManager.h"

#include "UserConfig.h"
#include "Runtime/GuidId.h"
#include "Runtime/IniFile.h"
#include "Runtime/Log.h"

#include <optional>

void TConfigManager::ReadUserConfigFile()
{
    const TIniFile ini = TIniFile::LoadFromFile(UserConfigFile());
    if (ini.SectionExists("PreferSet")) {
        std::lock_guard lock(FPreferencesMutex);
        FStatusBarVisible = ini.ReadBool("PreferSet", "StatusBarVisible", FStatusBarVisible);
        FMailPreviewVisible = ini.ReadBool("PreferSet", "MailPreviewVisible", FMailPreviewVisible);
        FQuillmarSkinFile = ini.ReadString("PreferSet", "QuillmarSkinFile", FQuillmarSkinFile);
        const std::string account = ini.ReadString("PreferSet", "DefaultAccountId", "");
        if (!account.empty())
            FDefaultAccountId = TRcRef<TRcResId>::Adopt(TRcResId::Create(rtAccount, account));
        FQuillmarAppId = ini.ReadString("PreferSet", "QuillmarAppID", "");
    }
    // Every installation has an id, made and kept at its first start.
    if (FQuillmarAppId.empty()) {
        FQuillmarAppId = NewGuidId();
        try {
            WriteIniString(UserConfigFile().string(), "PreferSet", "QuillmarAppID", FQuillmarAppId);
        } catch (const std::exception& e) {
            TLog::O(lolWorn, "不能保存应用标识：%s", {e.what()});
        }
    }
}

void TConfigManager::ReadUserConfigTable()
{
    TSqliteDbUserConfig::InitUserConfigTable(FDataPath);
    auto read = [&](const char* aKey) -> std::optional<std::string> {
        if (TRcUserConfig* row = TSqliteDbUserConfig::Load(FDataPath, aKey))
            return row->FValue;
        return std::nullopt;
    };
    std::lock_guard lock(FPreferencesMutex);
    if (auto value = read("DefaultQm"))
        FDefaultQm = StrToBoolDef(*value, FDefaultQm);
    if (auto value = read("DefaultRun"))
        FDefaultRun = StrToBoolDef(*value, FDefaultRun);
    if (auto value = read("MailEncoding"))
        FMailEncoding = *value;
    if (auto value = read("EmailRemind"))
        FEmailRemind = StrToBoolDef(*value, FEmailRemind);
}


void TConfigManager::WritePreference(const char* aKey, const std::string& aValue)
{
    WriteIniString(UserConfigFile().string(), "PreferSet", aKey, aValue);
}

void TConfigManager::WriteUserConfigRow(const char* aKey, const std::string& aValue)
{
    TSqliteDbUserConfig::Save(FDataPath, MakeRc<TRcUserConfig>(aKey, aValue).Get());
}

// Only the two that change the main window's layout tell the observers:
// the window shows or hides its status bar and preview pane at once. The
// others are read where they are used, the next time they are.
void TConfigManager::SetStatusBarVisible(bool aValue)
{
    WritePreference("StatusBarVisible", aValue ? "1" : "0");
    SetPreference(FStatusBarVisible, aValue);
    FObservable->NotifyChanged();
}

void TConfigManager::SetMailPreviewVisible(bool aValue)
{
    WritePreference("MailPreviewVisible", aValue ? "1" : "0");
    SetPreference(FMailPreviewVisible, aValue);
    FObservable->NotifyChanged();
}

void TConfigManager::SetQuillmarSkinFile(const std::string& aValue)
{
    WritePreference("QuillmarSkinFile", aValue);
    SetPreference(FQuillmarSkinFile, aValue);
}

void TConfigManager::SetDefaultAccountId(TRcResId* aValue)
{
    WritePreference("DefaultAccountId", aValue ? aValue->Id() : std::string());
    SetPreference(FDefaultAccountId, TRcRef<TRcResId>::Retain(aValue));
}

void TConfigManager::SetDefaultQm(bool aValue)
{
    WriteUserConfigRow("DefaultQm", UserConfigBool(aValue));
    SetPreference(FDefaultQm, aValue);
}

void TConfigManager::SetDefaultRun(bool aValue)
{
    WriteUserConfigRow("DefaultRun", UserConfigBool(aValue));
    SetPreference(FDefaultRun, aValue);
}

void TConfigManager::SetEmailRemind(bool aValue)
{
    WriteUserConfigRow("EmailRemind", UserConfigBool(aValue));
    SetPreference(FEmailRemind, aValue);
}

void TConfigManager::SetMailEncoding(const std::string& aValue)
{
    WriteUserConfigRow("MailEncoding", aValue);
    SetPreference(FMailEncoding, aValue);
}

void TConfigManager::SetDebugSwitch(bool aValue)
{
    SetPreference(FDebugSwitch, aValue);
    if (aValue)
        TLog::SetThreshold(lolDebug);
}
