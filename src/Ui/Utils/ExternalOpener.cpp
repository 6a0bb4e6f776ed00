#include "ExternalOpener.h"

#include "Runtime/Log.h"

#include <mutex>
#include <thread>

#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace {

std::mutex gOpenerLock;
TExternalOpener gOpener;

bool StartsWithNoCase(const std::string& aText, const char* aPrefix)
{
    std::size_t i = 0;
    for (; aPrefix[i]; ++i) {
        if (i >= aText.size())
            return false;
        char c = aText[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != aPrefix[i])
            return false;
    }
    return true;
}

bool SpawnXdgOpen(const std::string& aUrl)
{
    // "--" is not understood by xdg-open; an address that starts with a
    // scheme cannot be taken for an option anyway.
    std::string program = "xdg-open";
    std::string argument = aUrl;
    char* argv[] = {program.data(), argument.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv, environ) != 0) {
        TLog::O(lolWorn, "不能启动 xdg-open 打开链接");
        return false;
    }
    // Reaped in the background: the GUI thread never waits on the desktop.
    std::thread([pid] {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return true;
}

} // namespace

bool IsExternalUrlAllowed(const std::string& aUrl)
{
    for (unsigned char c : aUrl)
        if (c <= ' ' || c == 0x7F)
            return false;
    return StartsWithNoCase(aUrl, "http://") || StartsWithNoCase(aUrl, "https://") || StartsWithNoCase(aUrl, "mailto:");
}

bool OpenExternalUrl(const std::string& aUrl)
{
    if (!IsExternalUrlAllowed(aUrl)) {
        TLog::O(lolWorn, "拒绝打开链接（只打开 http、https 和 mailto）");
        return false;
    }
    TExternalOpener opener;
    {
        std::lock_guard lock(gOpenerLock);
        opener = gOpener;
    }
    return opener ? opener(aUrl) : SpawnXdgOpen(aUrl);
}

TExternalOpener SetExternalOpener(TExternalOpener aOpener)
{
    std::lock_guard lock(gOpenerLock);
    std::swap(gOpener, aOpener);
    return aOpener;
}
