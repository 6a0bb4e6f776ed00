// Starting with the desktop: the autostart entry of the XDG desktops.
#include "ConfigManager.h"

#include <cstdlib>
#include <fstream>

namespace {

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
