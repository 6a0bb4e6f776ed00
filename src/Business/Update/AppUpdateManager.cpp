#include "AppUpdateManager.h"

#include "UpdateHandOver.h"
#include "Business/Data/ConfigManager.h"
#include "Business/Data/DataFolder.h"
#include "Business/Data/WholeFile.h"
#include "Runtime/AsciiText.h"
#include "Runtime/Log.h"

#include <nlohmann/json.hpp>

#include <cctype>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr const char* kInfoFileName = "info.json";

std::string ServerBase()
{
    TConfigManager* config = TConfigManager::ConfigManager();
    return config ? Trimmed(config->AppUpdateServerUrl()) : std::string();
}

// The version list of update information, or nothing when the text is not
// update information.
const nlohmann::json* VersionListOf(const nlohmann::json& aInfo)
{
    if (!aInfo.is_object())
        return nullptr;
    const auto it = aInfo.find("VersionList");
    return it != aInfo.end() && it->is_array() ? &*it : nullptr;
}

std::string TextMember(const nlohmann::json& aElement, const char* aName)
{
    if (!aElement.is_object())
        return {};
    const auto it = aElement.find(aName);
    return it != aElement.end() && it->is_string() ? it->get<std::string>() : std::string();
}

bool FlagMember(const nlohmann::json& aElement, const char* aName)
{
    if (!aElement.is_object())
        return false;
    const auto it = aElement.find(aName);
    return it != aElement.end() && it->is_boolean() && it->get<bool>();
}

// A path under the server's install folder: no scheme, no way out of it,
// nothing a URL would read otherwise.
bool IsPlainRelativePath(const std::string& aPath)
{
    if (aPath.empty() || aPath.front() == '/')
        return false;
    for (char c : aPath) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= ' ' || u >= 0x7F || c == ':' || c == '\\' || c == '?' || c == '#')
            return false;
    }
    std::size_t start = 0;
    while (start <= aPath.size()) {
        const std::size_t end = std::min(aPath.find('/', start), aPath.size());
        const std::string_view part = std::string_view(aPath).substr(start, end - start);
        if (part == ".." || part == ".")
            return false;
        start = end + 1;
    }
    return true;
}

bool IsSha256Hex(const std::string& aText)
{
    if (aText.size() != 64)
        return false;
    for (char c : aText)
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

} // namespace

TAppUpdateManager::TAppUpdateManager()
{
    FDownloadOptions.ConnectTimeoutMs = 2000;
    FDownloadOptions.IdleTimeoutMs = 3000;
    FDownloadOptions.TotalTimeoutMs = 30000;
    FDownloadOptions.MaxRedirects = 0;
    FDownloadOptions.MaxBodyBytes = 1024 * 1024;
}

TRcRef<THttpRequest> TAppUpdateManager::NewRequest(const THttpOptions& aOptions)
{
    auto http = MakeRc<THttpRequest>(aOptions);
    std::lock_guard lock(FMutex);
    if (FCancelled)
        http->Cancel();
    FRequest = http;
    return http;
}

void TAppUpdateManager::Cancel()
{
    std::lock_guard lock(FMutex);
    FCancelled = true;
    if (FRequest)
        FRequest->Cancel();
}

TVersionCheckResult TAppUpdateManager::CheckForUpdate(const std::string& aVersion)
{
    TVersionCheckResult result;
    DownLoadUpdateInfoFile();
    if (!LocalUpdateInfoFileExist()) {
        TLog::O(lolInfo, "没有应用程序升级本地信息文件。");
        return result;
    }
    CheckVersion(aVersion, result);
    if (result.OldFlag && !result.SetupSha256.empty()) {
        THttpOptions options = FDownloadOptions;
        options.TotalTimeoutMs = 0;   // a package of any size, as long as bytes keep coming
        options.IdleTimeoutMs = 30000;
        options.MaxRedirects = 5;
        TRcRef<THttpRequest> http = NewRequest(options);
        if (!FetchVerifiedSetupPackage(result, UpdateFolder() / "Install", *http))
            result = TVersionCheckResult();
    }
    return result;
}

fs::path TAppUpdateManager::UpdateFolder()
{
    return CurrentDataPath() / "Update";
}

void TAppUpdateManager::DownLoadUpdateInfoFile()
{
    const std::string base = ServerBase();
    if (base.empty())
        return;
    TRcRef<THttpRequest> http = NewRequest(FDownloadOptions);
    std::string url = base;
    url += "Update/info.json";
    const THttpResult reply = http->Get(url);
    if (!reply.Ok) {
        TLog::O(lolWorn, "下载 升级信息文件 时发生 异常：%s - %s", {"EHttpError", reply.Error});
        return;
    }
    if (reply.Body.empty())
        return;
    // Whatever answered (a proxy's page, a half-written file) never takes
    // the place of good information.
    if (!VersionListOf(nlohmann::json::parse(reply.Body, nullptr, false))) {
        TLog::O(lolWorn, "下载 升级信息文件 时发生 异常：%s - %s", {"EParseError", "不是升级信息"});
        return;
    }
    try {
        const fs::path folder = UpdateFolder();
        fs::create_directories(folder);
        const fs::path part = folder / "info.json.part";
        WriteWholeFile(part, reply.Body);
        fs::rename(part, folder / kInfoFileName);
    } catch (const std::exception&) {
        // The copy there was stays; the check runs on it.
    }
}

bool TAppUpdateManager::LocalUpdateInfoFileExist() const
{
    std::error_code ec;
    return fs::is_regular_file(UpdateFolder() / kInfoFileName, ec);
}

void TAppUpdateManager::CheckVersion(const std::string& aVersion, TVersionCheckResult& aResult) const
{
    aResult = TVersionCheckResult();
    TVersionStruct running;
    if (!ParseVersion(aVersion, running))
        return;
    const std::string base = ServerBase();
    if (base.empty() || !LocalUpdateInfoFileExist())
        return;
    try {
        const nlohmann::json info = nlohmann::json::parse(ReadWholeFile(UpdateFolder() / kInfoFileName), nullptr, false);
        const nlohmann::json* list = VersionListOf(info);
        if (!list || list->empty())
            return;
        const nlohmann::json& newest = list->front();
        const std::string setupUrl = TextMember(newest, "SetupUrl");
        if (setupUrl.empty())
            return;
        TVersionStruct published;
        if (!ParseVersion(TextMember(newest, "Version"), published) || CompareVersion(running, published) >= 0)
            return;
        const std::string sha256 = AsciiLower(TextMember(newest, "SHA256"));
        if (!IsPlainRelativePath(setupUrl) || (!sha256.empty() && !IsSha256Hex(sha256))) {
            TLog::O(lolWorn, "升级信息文件中的安装包无效：%s", {setupUrl});
            return;
        }
        aResult.Version = published.Version;
        aResult.OldFlag = true;
        aResult.ShortDescribe = TextMember(newest, "ShortDescribe");
        aResult.SetupUrl = base;
        aResult.SetupUrl += "Update/Install/";
        aResult.SetupUrl += setupUrl;
        aResult.SetupSha256 = sha256;
        // Compulsory when a listed version newer than the running one says
        // so, or when the running one is older than every listed version.
        aResult.ForceFlag = true;
        for (const nlohmann::json& element : *list) {
            const std::string text = TextMember(element, "Version");
            if (text.empty()) {
                aResult.OldFlag = false;
                aResult.ForceFlag = false;
                return;
            }
            // Versions the running one already has or passed end the scan
            // before their flag is read: an old compulsory release forces
            // nothing on those who are past it.
            TVersionStruct version;
            if (ParseVersion(text, version) && CompareVersion(version, running) <= 0) {
                aResult.ForceFlag = false;
                return;
            }
            if (FlagMember(element, "ForceInstallFlag"))
                return;
        }
    } catch (const std::exception& e) {
        TLog::O(lolWorn, "分析 升级信息文件 时发生 异常：%s - %s", {"Exception", e.what()});
        aResult.OldFlag = false;
    }
}

std::string UpgradeHandOverJson(const TVersionCheckResult& aResult, const std::string& aSavePath)
{
    nlohmann::ordered_json handOver;
    handOver["Url"] = aResult.SetupUrl;
    handOver["SavePath"] = aSavePath;
    handOver["ShortDescribe"] = aResult.ShortDescribe;
    handOver["DoExec"] = true;
    return handOver.dump(2, ' ', true, nlohmann::ordered_json::error_handler_t::replace);
}
