// TConfigManager: the configuration of this run, merged from the built-in
// defaults, the base configuration beside the program, the skin's message
// texts, the list files beside the program and their copies in the data
// folder, the user's configuration file and the UserConfig rows; a later
// source wins key by key, and a list section that is present replaces the
// whole list.
//
// Loaded once when the business layer starts and read from every thread;
// only the setters change it, from the GUI thread, each writing through
// before it changes the field.
#pragma once

#include <filesystem>
#include <initializer_list>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "AccountInfoTemplate.h"
#include "ConfigObservable.h"
#include "TranslateLanguage.h"
#include "Runtime/CommandLine.h"
#include "Runtime/DateTime.h"
#include "Runtime/RcRef.h"
#include "Runtime/Singleton.h"
#include "Runtime/TextFormat.h"

class TIniFile;
class TRunableCancelList;
struct THttpOptions;

class TConfigManager : public TSingletonOf<TConfigManager> {
public:
    // Both the base file beside the program and the user's file in the
    // data folder, whatever the program file is called.
    static constexpr const char* kConfigFileName = "QuillmarClient.cfg";
    static constexpr const char* kLanguageFileName = "skin/Message.cfg";

    // From the program's folder and this process's command line.
    TConfigManager();
    TConfigManager(const std::filesystem::path& aProgramFolder, const TArguments& aArgs);
    ~TConfigManager() override;

    static TConfigManager* ConfigManager() { return Instance(); }

    void Load();
    void Save() {}   // every setter writes at once

    void RegisterObserver(IConfigObserver* aObserver) { FObservable->RegisterObserver(aObserver); }
    void UnregisterObserver(IConfigObserver* aObserver) { FObservable->UnRegisterObserver(aObserver); }

    // Message texts by key ("" for an unknown key; keys ignore case).
    std::string GetMsg(const std::string& aKey) const;
    bool HasMsg(const std::string& aKey) const;
    // A message text filled with arguments. The text is data, not code:
    // when it does not fit the arguments, it is shown with the arguments
    // after it, and a warning is logged.
    std::string FormatMsg(const std::string& aKey, std::initializer_list<TFormatArg> aArgs) const;

    const std::filesystem::path& BaseConfigPath() const { return FBaseConfigPath; }
    const std::string& BaseConfigFileName() const { return FBaseConfigFileName; }
    const std::string& BaseDataPathFlag() const { return FBaseDataPathFlag; }
    const std::filesystem::path& DataPath() const { return FDataPath; }
    const std::string& NorvelServerUrl() const { return FNorvelServerUrl; }
    const std::string& NorvelFileManagerServerUrl() const { return FNorvelFileManagerServerUrl; }
    const std::string& AppUpdateServerUrl() const { return FAppUpdateServerUrl; }
    const std::string& TavroServerUrl() const { return FTavroServerUrl; }
    int NorvelMailSizeLimit() const { return FNorvelMailSizeLimit; }
    const std::string& ApplicationVersion() const { return FApplicationVersion; }
    // The program that installs an update ([Application] Updater, beside
    // the program unless absolute); empty when none is configured, and
    // then no update is ever run.
    std::filesystem::path UpdaterProgram() const;
    const std::string& NorvelContactInformationUrl() const { return FNorvelContactInformationUrl; }
    const std::string& MainFormTitle() const { return FMainFormTitle; }
    const std::string& QuillmarLanguage() const { return FQuillmarLanguage; }
    const std::string& QuillmarAppId() const { return FQuillmarAppId; }
    bool ApplicationExitNeedClearAllData() const { return FApplicationExitNeedClearAllData; }
    TRcTranslateLanguageList* TranslateLanguageList() const { return FTranslateLanguageList.Get(); }
    TRcAccountInfoTemplateList* AccountInfoTemplateList() const { return FAccountInfoTemplateList.Get(); }
    const std::vector<std::string>& ProductCategoryList() const { return FProductCategoryList; }
    const std::vector<std::string>& CustomerLevelList() const { return FCustomerLevelList; }
    const std::vector<std::string>& TemplateList() const { return FTemplateList; }

    // The preferences; read under the lock, as the GUI thread may be
    // changing one.
    bool DefaultQm() const { return Preference(FDefaultQm); }
    bool DefaultRun() const { return Preference(FDefaultRun); }
    bool StatusBarVisible() const { return Preference(FStatusBarVisible); }
    bool MailPreviewVisible() const { return Preference(FMailPreviewVisible); }
    bool EmailRemind() const { return Preference(FEmailRemind); }
    bool DebugSwitch() const { return Preference(FDebugSwitch); }
    std::string MailEncoding() const { return Preference(FMailEncoding); }
    std::string QuillmarSkinFile() const { return Preference(FQuillmarSkinFile); }
    // Retained for the caller; empty when none.
    TRcRef<TRcResId> DefaultAccountId() const { return Preference(FDefaultAccountId); }

    void SetStatusBarVisible(bool aValue);
    void SetMailPreviewVisible(bool aValue);
    void SetQuillmarSkinFile(const std::string& aValue);
    void SetDefaultAccountId(TRcResId* aValue);
    void SetDefaultQm(bool aValue);
    void SetDefaultRun(bool aValue);
    void SetEmailRemind(bool aValue);
    void SetMailEncoding(const std::string& aValue);
    // True also lowers the log threshold to Debug.
    void SetDebugSwitch(bool aValue);

    // Starting with the desktop: writes or removes
    // $XDG_CONFIG_HOME/autostart/quillmar.desktop.
    void UpdateRegEditRun(bool aRun);
    static std::filesystem::path AutostartFile();

    // When the maker's platform says aEmail was registered there. Never
    // throws: every failure leaves its text in aError and gives the local
    // time of the call. With no service address the service is off and
    // nothing is sent. aCancelList, when given, holds the request while it
    // runs, so another thread can cancel it.
    static constexpr const char* kServiceOff = "没有配置服务地址，服务已关闭";
    TDateTime GetEmailTavroREGDateTime(const std::string& aEmail, const std::string& aPwd, std::string& aError,
                                       TRunableCancelList* aCancelList = nullptr) const;
    TDateTime GetEmailTavroREGDateTime(const std::string& aEmail, const std::string& aPwd, std::string& aError,
                                       TRunableCancelList* aCancelList, const THttpOptions& aOptions) const;

    // The user's configuration file in the data folder.
    std::filesystem::path UserConfigFile() const { return FDataPath / kConfigFileName; }

private:
    // Every preference is read and changed under FPreferencesMutex.
    template <class T>
    T Preference(const T& aField) const
    {
        std::lock_guard lock(FPreferencesMutex);
        return aField;
    }
    template <class T, class U>
    void SetPreference(T& aField, U&& aValue)
    {
        std::lock_guard lock(FPreferencesMutex);
        aField = std::forward<U>(aValue);
    }

    // An INI file that should be there; says so when it is not, or when
    // nothing in it can be read.
    static TIniFile ReadExpected(const std::filesystem::path& aPath);
    void SetDefaults();
    void ReadBaseConfig(const TIniFile& aIni);
    void ReadMessageFile();
    void ReadListSections(const TIniFile& aIni, bool aWithPresets);
    void ReadUserConfigFile();
    void ReadUserConfigTable();
    void WritePreference(const char* aKey, const std::string& aValue);
    void WriteUserConfigRow(const char* aKey, const std::string& aValue);

    const std::filesystem::path FProgramFolder;
    const TArguments FArgs;

    std::filesystem::path FBaseConfigPath;
    std::string FBaseConfigFileName;
    std::string FBaseDataPathFlag;
    std::filesystem::path FDataPath;
    std::string FNorvelServerUrl;
    std::string FNorvelFileManagerServerUrl;
    std::string FAppUpdateServerUrl;
    std::string FTavroServerUrl;
    TRcRef<TRcTranslateLanguageList> FTranslateLanguageList;
    TRcRef<TConfigObservable> FObservable;
    int FNorvelMailSizeLimit = 5;
    std::string FApplicationVersion;
    std::string FUpdater;
    std::vector<std::string> FProductCategoryList;
    std::vector<std::string> FCustomerLevelList;
    std::vector<std::string> FTemplateList;
    std::string FMainFormTitle;
    std::string FNorvelContactInformationUrl;
    TRcRef<TRcAccountInfoTemplateList> FAccountInfoTemplateList;
    std::string FLanguageFileName;
    bool FApplicationExitNeedClearAllData = false;
    std::string FQuillmarLanguage;
    std::map<std::string, std::string> FMsgList;   // lower-cased key → text
    std::string FQuillmarAppId;

    mutable std::mutex FPreferencesMutex;
    bool FDebugSwitch = false;
    bool FDefaultQm = false;
    bool FDefaultRun = false;
    bool FStatusBarVisible = true;
    bool FMailPreviewVisible = true;
    std::string FMailEncoding;
    bool FEmailRemind = true;
    std::string FQuillmarSkinFile;
    TRcRef<TRcResId> FDefaultAccountId;
};
