// Loading the configuration: the defaults, then every source in its
// order, a later one winning key by key.
#include "ConfigManager.h"

#include "DataFolder.h"
#include "Runtime/AsciiText.h"
#include "Runtime/AutoReleasePool.h"
#include "Runtime/IniFile.h"
#include "Runtime/Log.h"
#include "Runtime/ProgramPaths.h"

#include <set>

TIniFile TConfigManager::ReadExpected(const std::filesystem::path& aPath)
{
    std::error_code ec;
    if (!std::filesystem::exists(aPath, ec)) {
        TLog::O(lolWorn, "配置文件不存在，使用默认值：%s", {aPath.string()});
        return {};
    }
    TIniFile ini = TIniFile::LoadFromFile(aPath);
    if (ini.Sections().empty())
        TLog::O(lolWorn, "配置文件是空的或者编码不对，使用默认值：%s", {aPath.string()});
    return ini;
}

namespace {

// Optional files are read when they exist, quietly otherwise.
TIniFile ReadOptional(const std::filesystem::path& aPath)
{
    return TIniFile::LoadFromFile(aPath);
}

void OverrideString(const TIniFile& aIni, const char* aSection, const char* aKey, std::string& aField)
{
    if (auto value = aIni.Find(aSection, aKey))
        aField = *value;
}

} // namespace

TConfigManager::TConfigManager() : TConfigManager(ProgramFolder(), ProcessArguments()) {}

TConfigManager::TConfigManager(const std::filesystem::path& aProgramFolder, const TArguments& aArgs)
    : FProgramFolder(aProgramFolder), FArgs(aArgs)
{
    FObservable = MakeRc<TConfigObservable>();
    Load();
}

TConfigManager::~TConfigManager() = default;

void TConfigManager::SetDefaults()
{
    FBaseConfigPath = FProgramFolder;
    FBaseConfigFileName = kConfigFileName;
    FBaseDataPathFlag.clear();
    FDataPath.clear();
    // The maker's services are off until configured.
    FNorvelServerUrl.clear();
    FNorvelFileManagerServerUrl.clear();
    FAppUpdateServerUrl.clear();
    FTavroServerUrl.clear();
    FNorvelContactInformationUrl.clear();
    FTranslateLanguageList = MakeRc<TRcTranslateLanguageList>();
    FTranslateLanguageList->Add(TRcTranslateLanguage::CreateAndAutoRelease("英文", 2));
    FNorvelMailSizeLimit = 5;
    FApplicationVersion = "<none>";
    FProductCategoryList.clear();
    FCustomerLevelList = {"普通", "重要"};
    FTemplateList = {"1=信封", "2=内容", "3=签名"};
    FMainFormTitle.clear();
    FAccountInfoTemplateList = MakeRc<TRcAccountInfoTemplateList>();
    FLanguageFileName = kLanguageFileName;
    FApplicationExitNeedClearAllData = false;
    FQuillmarLanguage = "ChineseSimp";
    FMsgList.clear();
    FQuillmarAppId.clear();

    std::lock_guard lock(FPreferencesMutex);
    FDebugSwitch = false;
    FDefaultQm = false;
    FDefaultRun = false;
    FStatusBarVisible = true;
    FMailPreviewVisible = true;
    FMailEncoding = "UTF-8";
    FEmailRemind = true;
    FQuillmarSkinFile = "mainframe_change_skin_button00";
    FDefaultAccountId.Reset();
}

void TConfigManager::Load()
{
    auto trace = TLog::MEnterExit(lolDebug, lolDebug, "配置加载");
    // The lists are built from autoreleased entries.
    TRetainCountObjectAutoReleasePool pool;
    SetDefaults();
    ReadBaseConfig(ReadExpected(FBaseConfigPath / FBaseConfigFileName));
    ReadMessageFile();
    for (const char* file : {"TranslateLanguage.ini", "ProductCategory.ini", "CustomerLevel.ini",
                             "AccountInfoTemplate.ini", "Template.ini"})
        ReadListSections(ReadOptional(FProgramFolder / file), true);
    const bool debug = FindCmdLineSwitch(FArgs, "NorvelQmcDebug");

    FDataPath = ResolveDataFolder(FBaseDataPathFlag, FProgramFolder);
    SetCurrentDataPath(FDataPath);

    for (const char* file : {"TranslateLanguage.ini", "ProductCategory.ini", "CustomerLevel.ini", "Template.ini"})
        ReadListSections(ReadOptional(FDataPath / file), false);
    ReadUserConfigFile();

    for (std::string* url : {&FNorvelServerUrl, &FAppUpdateServerUrl, &FTavroServerUrl})
        if (!url->empty() && url->back() != '/')
            *url += '/';

    ReadUserConfigTable();
    FMainFormTitle = FormatMsg("MailPwoerName", {FApplicationVersion});
    SetDebugSwitch(debug);
}

std::filesystem::path TConfigManager::UpdaterProgram() const
{
    const std::string updater = Trimmed(FUpdater);
    if (updater.empty())
        return {};
    const std::filesystem::path path(updater);
    return path.is_absolute() ? path : FProgramFolder / path;
}

void TConfigManager::ReadBaseConfig(const TIniFile& aIni)
{
    OverrideString(aIni, "NorvelServer", "Url", FNorvelServerUrl);
    OverrideString(aIni, "NorvelServer", "FileManagerServerUrl", FNorvelFileManagerServerUrl);
    OverrideString(aIni, "NorvelServer", "AppUpdateServerUrl", FAppUpdateServerUrl);
    OverrideString(aIni, "NorvelServer", "TavroServerUrl", FTavroServerUrl);
    FNorvelMailSizeLimit = aIni.ReadInteger("NorvelServer", "MailSizeLimit", FNorvelMailSizeLimit);
    if (auto flag = aIni.Find("Application", "BaseDataPath"))
        FBaseDataPathFlag = AsciiLower(*flag);
    OverrideString(aIni, "Application", "Version", FApplicationVersion);
    OverrideString(aIni, "Application", "Updater", FUpdater);
    OverrideString(aIni, "Application", "NorvelContactInformationUrl", FNorvelContactInformationUrl);
    OverrideString(aIni, "Application", "AppLanguage", FQuillmarLanguage);
    ReadListSections(aIni, true);
}

void TConfigManager::ReadListSections(const TIniFile& aIni, bool aWithPresets)
{
    if (aIni.SectionExists("TranslateLanguage")) {
        FTranslateLanguageList->Clear();
        for (const auto& [key, value] : aIni.ReadSectionValues("TranslateLanguage")) {
            const std::string name = Trimmed(key, " \t");
            const std::size_t digits = value.find_first_not_of("0123456789");
            const std::string number = value.substr(0, digits);
            if (name.empty() || number.empty() || number.size() > 9 || FTranslateLanguageList->IndexOfName(name) >= 0)
                continue;
            FTranslateLanguageList->Add(TRcTranslateLanguage::CreateAndAutoRelease(name, std::stoi(number)));
        }
    }
    for (auto [section, list] : {std::pair{"ProductCategory", &FProductCategoryList},
                                 std::pair{"CustomerLevel", &FCustomerLevelList}}) {
        if (!aIni.SectionExists(section))
            continue;
        list->clear();
        for (const auto& key : aIni.ReadSection(section))
            if (!Trimmed(key, " \t").empty())
                list->push_back(Trimmed(key, " \t"));
    }
    if (aIni.SectionExists("Template")) {
        FTemplateList.clear();
        std::set<std::string> numbers;
        for (const auto& [key, value] : aIni.ReadSectionValues("Template")) {
            const std::string line = Trimmed(key + "=" + value, " \t");
            if (!numbers.insert(Trimmed(key, " \t")).second) {
                TLog::O(lolError, "模版ID值  " + line + "  重复");
                continue;
            }
            FTemplateList.push_back(line);
        }
    }
    if (aWithPresets && aIni.SectionExists("AccountInfoTemplate")) {
        FAccountInfoTemplateList->Clear();
        for (const auto& key : aIni.ReadSection("AccountInfoTemplate")) {
            const std::string domain = AsciiLower(Trimmed(key, " \t"));
            const std::string section = "AccountInfoTemplate." + domain;
            if (domain.empty() || FAccountInfoTemplateList->IndexOfDomain(domain) >= 0 || !aIni.SectionExists(section))
                continue;
            auto* preset = RcCreateAndAutoRelease<TRcAccountInfoTemplate>();
            preset->FDomain = domain;
            preset->FPop3 = aIni.ReadString(section, "Pop3", "pop3." + domain);
            preset->FPop3UseSsl = aIni.ReadBool(section, "Pop3UseSsl", false);
            preset->FPop3Port = aIni.ReadInteger(section, "Pop3Port", preset->FPop3UseSsl ? 995 : 110);
            preset->FSmtp = aIni.ReadString(section, "Smtp", "smtp." + domain);
            preset->FSmtpUseSsl = aIni.ReadBool(section, "SmtpUseSsl", false);
            preset->FSmtpPort = aIni.ReadInteger(section, "SmtpPort", preset->FSmtpUseSsl ? 465 : 25);
            preset->FUserNameMode =
                SameTextAscii(aIni.ReadString(section, "UserNameMode", "name"), "NameDomain") ? unmNameDomain : unmName;
            FAccountInfoTemplateList->Add(preset);
        }
    }
}
