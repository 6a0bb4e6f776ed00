#include "DataFolder.h"

#include "Runtime/IniFile.h"

#include <cstdlib>

namespace {

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

std::filesystem::path ResolveDataFolder(const TIniFile& aBaseConfig, const std::filesystem::path& aProgramFolder)
{
    const std::string flag = aBaseConfig.ReadString("Application", "BaseDataPath", "");
    std::filesystem::path chosen;
    if (SameTextAscii(flag, "evt"))
        chosen = EnvironmentFolder();
    else if (SameTextAscii(flag, "exe"))
        chosen = aProgramFolder;
    else if (SameTextAscii(flag, "home"))
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
