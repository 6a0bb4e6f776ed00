#include "ProgramPaths.h"

#include <cstdlib>
#include <pwd.h>
#include <system_error>
#include <unistd.h>

std::filesystem::path ProgramFolder()
{
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        return std::filesystem::current_path(ec);
    return exe.parent_path();
}

namespace {

std::filesystem::path HomeFolder()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return "/tmp";
}

} // namespace

std::filesystem::path UserStateFolder()
{
    // Relative values are invalid by the XDG rules and are ignored.
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state == '/')
        return state;
    return HomeFolder() / ".local" / "state";
}
