#include "InstanceLock.h"

#include "Runtime/Log.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A folder only this user can write, that is not a link.
bool IsPrivateFolder(const std::filesystem::path& aFolder)
{
    struct stat st {};
    return ::lstat(aFolder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
           (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

} // namespace

std::filesystem::path TInstanceLock::RuntimeFolder()
{
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime == '/') {
        if (IsPrivateFolder(runtime))
            return runtime;
    }
    const std::filesystem::path fallback = "/tmp/quillmar-" + std::to_string(::getuid());
    if (::mkdir(fallback.c_str(), 0700) != 0 && errno != EEXIST)
        return {};
    return IsPrivateFolder(fallback) ? fallback : std::filesystem::path();
}

bool TInstanceLock::Acquire(const std::string& aProgram)
{
    const auto folder = RuntimeFolder();
    if (folder.empty()) {
        TLog::O(lolWorn, "没有私有的运行文件夹，不检查是否已有实例在运行");
        return true;
    }
    const auto path = folder / kLockName;
    FLock.Reset(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!FLock) {
        TLog::O(lolWorn, "不能打开实例锁文件 %s", {path.string()});
        return true;
    }
    if (::flock(FLock.Get(), LOCK_EX | LOCK_NB) != 0) {
        FLock.Reset();
        return false;
    }
    // Who we are, for the one that finds the lock taken.
    const std::string holder = aProgram + " (pid " + std::to_string(::getpid()) + ")\n";
    if (::ftruncate(FLock.Get(), 0) != 0 || ::pwrite(FLock.Get(), holder.data(), holder.size(), 0) < 0)
        TLog::O(lolWorn, "不能写入实例锁文件 %s", {path.string()});
    return true;
}

std::string TInstanceLock::Holder()
{
    const auto folder = RuntimeFolder();
    if (folder.empty())
        return {};
    TFileHandle file(::open((folder / kLockName).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (!file)
        return {};
    char buffer[128] = {};
    const ssize_t n = ::read(file.Get(), buffer, sizeof buffer - 1);
    std::string holder(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
    while (!holder.empty() && (holder.back() == '\n' || holder.back() == '\r'))
        holder.pop_back();
    for (char& c : holder)
        if (static_cast<unsigned char>(c) < 0x20)
            c = '?';
    return holder;
}
