#include "UpdateHandOver.h"

#include "Business/Data/WholeFile.h"
#include "Runtime/Log.h"
#include "Runtime/SafeFileName.h"

#include <openssl/evp.h>

#include <array>
#include <fstream>
#include <memory>

namespace fs = std::filesystem;

bool FileHasSha256(const fs::path& aFile, const std::string& aHex)
{
    std::ifstream in(aFile, std::ios::binary);
    std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    if (!in || !context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1)
        return false;
    std::array<char, 64 * 1024> buffer;
    while (in) {
        in.read(buffer.data(), buffer.size());
        if (in.gcount() > 0 && EVP_DigestUpdate(context.get(), buffer.data(), static_cast<size_t>(in.gcount())) != 1)
            return false;
    }
    if (in.bad())
        return false;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_DigestFinal_ex(context.get(), digest, &size) != 1)
        return false;
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < size; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 0x0F];
    }
    return hex == aHex;
}

bool FetchVerifiedSetupPackage(const TVersionCheckResult& aResult, const fs::path& aInstallFolder, THttpRequest& aHttp)
{
    const std::string name = SafeFileName(aResult.SetupUrl.substr(aResult.SetupUrl.find_last_of('/') + 1), "setup");
    const fs::path file = aInstallFolder / name;
    std::error_code ec;
    fs::create_directories(aInstallFolder, ec);
    const THttpResult reply = aHttp.GetToFile(aResult.SetupUrl, file);
    if (!reply.Ok) {
        TLog::O(lolWorn, "下载升级安装包失败：%s", {reply.Error});
        return false;
    }
    if (!FileHasSha256(file, aResult.SetupSha256)) {
        fs::remove(file, ec);
        TLog::O(lolWorn, "升级安装包校验失败：%s", {aResult.SetupUrl});
        return false;
    }
    return true;
}

fs::path PrepareUpdateHandOver(const TVersionCheckResult& aResult, const fs::path& aUpdater)
{
    const fs::path folder = TAppUpdateManager::UpdateFolder();
    fs::create_directories(folder);
    fs::remove(folder / "AppUpgrade.json");
    const fs::path copy = folder / aUpdater.filename();
    fs::copy_file(aUpdater, copy, fs::copy_options::overwrite_existing);
    fs::permissions(copy, fs::perms::owner_all, fs::perm_options::replace);
    WriteWholeFile(folder / "AppUpgrade.json", UpgradeHandOverJson(aResult, (folder / "Install").string()));
    return copy;
}
