#include "ConfigManager.h"

#include "DataFolder.h"
#include "EncryDes.h"
#include "Business/Http/HttpJsonReply.h"
#include "Business/Http/HttpRequest.h"
#include "SqliteDatabase.h"
#include "UserConfig.h"
#include "Runtime/AutoReleasePool.h"
#include "Runtime/GuidId.h"
#include "Runtime/IniFile.h"
#include "Runtime/Log.h"
#include "Runtime/ProgramPaths.h"
#include "Runtime/RunableCancelList.h"
#include "Runtime/RcRef.h"
#include "Runtime/AsciiText.h"

#include <cctype>
#include <cstdio>
#include <optional>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <set>
#include <unistd.h>

namespace {

// Reads an INI file that should be there; says so when it is not, or when
// nothing in it can be read.
TIniFile ReadExpected(const std::filesystem::path& aPath)
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

// The shell-quoted program path for a desktop entry's Exec key.
std::string DesktopExec(const std::string& aProgram)
{
    std::string quoted = "\"";
    for (char c : aProgram) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    // The value is itself a string with escapes, and % starts a field code.
    std::string value;
    for (char c : quoted) {
        if (c == '\\')
            value += '\\';
        if (c == '%')
            value += '%';
        value += c;
    }
    return value;
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
    OverrideString(aIni, "Application", "NorvelContactInformationUrl", FNorvelContactInformationUrl);
    OverrideString(aIni, "Application", "AppLanguage", FQuillmarLanguage);
    ReadListSections(aIni, true);
}

void TConfigManager::ReadMessageFile()
{
    const TIniFile ini = ReadExpected(FProgramFolder / FLanguageFileName);
    for (const auto& [key, text] : ini.ReadSectionValues("Language"))
        FMsgList.emplace(AsciiLower(key), text);   // the first of a key wins
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

void TConfigManager::ReadUserConfigFile()
{
    const TIniFile ini = ReadOptional(UserConfigFile());
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

std::string TConfigManager::GetMsg(const std::string& aKey) const
{
    auto it = FMsgList.find(AsciiLower(aKey));
    return it == FMsgList.end() ? std::string() : it->second;
}

bool TConfigManager::HasMsg(const std::string& aKey) const
{
    return FMsgList.count(AsciiLower(aKey)) > 0;
}

std::string TConfigManager::FormatMsg(const std::string& aKey, std::initializer_list<TFormatArg> aArgs) const
{
    const std::string text = GetMsg(aKey);
    try {
        return FormatText(text, aArgs);
    } catch (const EFormatError&) {
        TLog::O(lolWorn, "消息文本(%s)与参数不符：%s", {aKey, text});
        std::string shown = text;
        for (const TFormatArg& arg : aArgs) {
            shown += ' ';
            switch (arg.Kind()) {
            case TFormatArg::TKind::Signed: shown += std::to_string(arg.Signed()); break;
            case TFormatArg::TKind::Unsigned: shown += std::to_string(arg.Unsigned()); break;
            case TFormatArg::TKind::Float: shown += std::to_string(arg.Float()); break;
            case TFormatArg::TKind::Text: shown += arg.Text(); break;
            case TFormatArg::TKind::Pointer: break;
            }
        }
        return shown;
    }
}

bool TConfigManager::DefaultQm() const
{
    std::lock_guard lock(FPreferencesMutex);
    return FDefaultQm;
}

bool TConfigManager::DefaultRun() const
{
    std::lock_guard lock(FPreferencesMutex);
    return FDefaultRun;
}

bool TConfigManager::StatusBarVisible() const
{
    std::lock_guard lock(FPreferencesMutex);
    return FStatusBarVisible;
}

bool TConfigManager::MailPreviewVisible() const
{
    std::lock_guard lock(FPreferencesMutex);
    return FMailPreviewVisible;
}

bool TConfigManager::EmailRemind() const
{
    std::lock_guard lock(FPreferencesMutex);
    return FEmailRemind;
}

bool TConfigManager::DebugSwitch() const
{
    std::lock_guard lock(FPreferencesMutex);
    return FDebugSwitch;
}

std::string TConfigManager::MailEncoding() const
{
    std::lock_guard lock(FPreferencesMutex);
    return FMailEncoding;
}

std::string TConfigManager::QuillmarSkinFile() const
{
    std::lock_guard lock(FPreferencesMutex);
    return FQuillmarSkinFile;
}

TRcRef<TRcResId> TConfigManager::DefaultAccountId() const
{
    std::lock_guard lock(FPreferencesMutex);
    return FDefaultAccountId;
}

void TConfigManager::WritePreference(const char* aKey, const std::string& aValue)
{
    WriteIniString(UserConfigFile().string(), "PreferSet", aKey, aValue);
}

void TConfigManager::WriteUserConfigRow(const char* aKey, const std::string& aValue)
{
    TSqliteDbUserConfig::Save(FDataPath, MakeRc<TRcUserConfig>(aKey, aValue).Get());
}

void TConfigManager::SetStatusBarVisible(bool aValue)
{
    WritePreference("StatusBarVisible", aValue ? "1" : "0");
    {
        std::lock_guard lock(FPreferencesMutex);
        FStatusBarVisible = aValue;
    }
    FObservable->NotifyChanged();
}

void TConfigManager::SetMailPreviewVisible(bool aValue)
{
    WritePreference("MailPreviewVisible", aValue ? "1" : "0");
    {
        std::lock_guard lock(FPreferencesMutex);
        FMailPreviewVisible = aValue;
    }
    FObservable->NotifyChanged();
}

void TConfigManager::SetQuillmarSkinFile(const std::string& aValue)
{
    WritePreference("QuillmarSkinFile", aValue);
    std::lock_guard lock(FPreferencesMutex);
    FQuillmarSkinFile = aValue;
}

void TConfigManager::SetDefaultAccountId(TRcResId* aValue)
{
    WritePreference("DefaultAccountId", aValue ? aValue->Id() : std::string());
    std::lock_guard lock(FPreferencesMutex);
    FDefaultAccountId = TRcRef<TRcResId>::Retain(aValue);
}

void TConfigManager::SetDefaultQm(bool aValue)
{
    WriteUserConfigRow("DefaultQm", UserConfigBool(aValue));
    std::lock_guard lock(FPreferencesMutex);
    FDefaultQm = aValue;
}

void TConfigManager::SetDefaultRun(bool aValue)
{
    WriteUserConfigRow("DefaultRun", UserConfigBool(aValue));
    std::lock_guard lock(FPreferencesMutex);
    FDefaultRun = aValue;
}

void TConfigManager::SetEmailRemind(bool aValue)
{
    WriteUserConfigRow("EmailRemind", UserConfigBool(aValue));
    std::lock_guard lock(FPreferencesMutex);
    FEmailRemind = aValue;
}

void TConfigManager::SetMailEncoding(const std::string& aValue)
{
    WriteUserConfigRow("MailEncoding", aValue);
    std::lock_guard lock(FPreferencesMutex);
    FMailEncoding = aValue;
}

void TConfigManager::SetDebugSwitch(bool aValue)
{
    {
        std::lock_guard lock(FPreferencesMutex);
        FDebugSwitch = aValue;
    }
    if (aValue)
        TLog::SetThreshold(lolDebug);
}

std::filesystem::path TConfigManager::AutostartFile()
{
    std::filesystem::path config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/')
        config = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        config = std::filesystem::path(home) / ".config";
    else
        throw Exception("不能确定用户配置文件夹");
    return config / "autostart" / "quillmar.desktop";
}

void TConfigManager::UpdateRegEditRun(bool aRun)
{
    const auto file = AutostartFile();
    std::error_code ec;
    if (!aRun) {
        std::filesystem::remove(file, ec);
        return;
    }
    std::filesystem::create_directories(file.parent_path(), ec);
    const auto program = std::filesystem::read_symlink("/proc/self/exe", ec);
    std::ofstream out(file, std::ios::trunc);
    out << "[Desktop Entry]\nType=Application\nName=Quillmar\nExec=" << DesktopExec(program.string())
        << "\nX-GNOME-Autostart-enabled=true\n";
    if (!out)
        throw Exception("不能写入自动启动文件 " + file.string());
}

namespace {

// "yyyy-MM-dd hh:mm:ss.zzz", the time and the milliseconds optional.
std::optional<TDateTime> ParseRegistrationTime(const std::string& aText)
{
    TDateTimeParts p;
    char rest[8] = {};
    const int fields = std::sscanf(aText.c_str(), "%4d-%2d-%2d %2d:%2d:%2d.%3d%7s", &p.Year, &p.Month, &p.Day, &p.Hour,
                                   &p.Minute, &p.Second, &p.Millisecond, rest);
    if (!(fields == 3 || fields == 6 || fields == 7))
        return std::nullopt;
    if (p.Month < 1 || p.Month > 12 || p.Day < 1 || p.Day > 31 || p.Hour > 23 || p.Minute > 59 || p.Second > 59 ||
        p.Hour < 0 || p.Minute < 0 || p.Second < 0 || p.Millisecond < 0)
        return std::nullopt;
    return EncodeDateTime(p);
}

} // namespace

TDateTime TConfigManager::GetEmailTavroREGDateTime(const std::string& aEmail, const std::string& aPwd,
                                                   std::string& aError, TRunableCancelList* aCancelList) const
{
    return GetEmailTavroREGDateTime(aEmail, aPwd, aError, aCancelList, THttpOptions{});
}

TDateTime TConfigManager::GetEmailTavroREGDateTime(const std::string& aEmail, const std::string& aPwd,
                                                   std::string& aError, TRunableCancelList* aCancelList,
                                                   const THttpOptions& aOptions) const
{
    const TDateTime before = Now();
    aError.clear();
    if (FNorvelServerUrl.empty()) {
        aError = kServiceOff;
        return before;
    }
    std::string password;
    try {
        password = EncryDes(aPwd);
    } catch (const std::exception& e) {
        aError = e.what();
        return before;
    }
    auto http = MakeRc<THttpRequest>(aOptions);
    struct TRegistration {
        TRunableCancelList* List;
        IRunableCancel* Request;
        ~TRegistration()
        {
            if (List)
                List->UnRegister(Request);
        }
    } registration{aCancelList, http.Get()};
    if (aCancelList)
        aCancelList->Register(http.Get());
    const THttpResult result =
        http->PostForm(FNorvelServerUrl + "mailOprAction!getUserRegistrTime.action",
                       {THttpField::Plain("user_email", aEmail), THttpField::Plain("user_password", password)});
    if (!result.Ok)
        TLog::O(lolWorn, "注册时间查询失败：%s", {result.Error});
    // A failed request leaves no reply: that reads as "not JSON" below.
    const THttpJsonReply reply = THttpJsonReply::Parse(result.Ok ? result.Body : std::string());
    if (!reply.IsJson()) {
        aError = GetMsg("TavroServerError");
        return before;
    }
    const std::string info = reply.InfoText();
    if (reply.ResultBool()) {
        if (auto time = ParseRegistrationTime(info))
            return *time;
        aError = "注册时间的格式不正确：" + info;
        return before;
    }
    // A key of the message texts, or else the platform's own words.
    aError = HasMsg(info) ? GetMsg(info) : info;
    if (aError.empty())
        aError = GetMsg("TavroServerError");
    return before;
}
