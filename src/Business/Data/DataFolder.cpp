#include "DataFolder.h"

#include "Runtime/AsciiText.h"
#include "Runtime/Errors.h"
#include "Runtime/IniFile.h"
#include "Runtime/ProgramPaths.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sys/stat.h>

namespace {

std::mutex gDataPathMutex;
std::filesystem::path gDataPath;

std::filesystem::path EnvironmentFolder()
{
    const char* value = std::getenv("QMC2FOLDER");
    return value && *value ? std::filesystem::path(value) : std::filesystem::path();
}

} // namespace

std::filesystem::path ApplicationDataFolder()
{
    // Relative values are invalid by the XDG rules and are ignored.
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data == '/')
        return std::filesystem::path(data) / "Quillmar 3 Mail";
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::filesystem::path(home) / ".local" / "share" / "Quillmar 3 Mail";
    return {};
}

std::string BaseDataPathFlag(const TIniFile& aBaseConfig)
{
    return aBaseConfig.ReadString("Application", "BaseDataPath", "");
}

std::filesystem::path ResolveDataFolder(std::string_view aFlag, const std::filesystem::path& aProgramFolder)
{
    std::filesystem::path chosen;
    if (SameTextAscii(aFlag, "evt"))
        chosen = EnvironmentFolder();
    else if (SameTextAscii(aFlag, "exe"))
        chosen = aProgramFolder;
    else if (SameTextAscii(aFlag, "home"))
        chosen = ApplicationDataFolder();

    std::error_code ec;
    if (chosen.empty())
        chosen = EnvironmentFolder();
    if (chosen.empty() && std::filesystem::is_directory(aProgramFolder / "Accounts", ec))
        chosen = aProgramFolder;
    if (chosen.empty())
        chosen = ApplicationDataFolder();
    if (chosen.empty())
        chosen = aProgramFolder;
    return chosen;
}

std::filesystem::path CurrentDataPath()
{
    std::lock_guard lock(gDataPathMutex);
    if (gDataPath.empty()) {
        const auto program = ProgramFolder();
        gDataPath = ResolveDataFolder(BaseDataPathFlag(TIniFile::LoadFromFile(program / kBaseConfigFileName)), program);
        CreatePrivateFolder(gDataPath);
    }
    return gDataPath;
}

void SetCurrentDataPath(const std::filesystem::path& aDataPath)
{
    CreatePrivateFolder(aDataPath);
    std::lock_guard lock(gDataPathMutex);
    gDataPath = aDataPath;
}

void CreatePrivateFolder(const std::filesystem::path& aFolder)
{
    std::error_code ec;
    if (std::filesystem::is_directory(aFolder, ec))
        return;
    if (aFolder.has_parent_path() && aFolder.parent_path() != aFolder)
        CreatePrivateFolder(aFolder.parent_path());
    if (::mkdir(aFolder.c_str(), 0700) != 0 && errno != EEXIST)
        throw Exception("不能创建文件夹 " + aFolder.string() + ": " + std::strerror(errno));
}
