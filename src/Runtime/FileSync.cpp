#include "FileSync.h"

#include "Errors.h"
#include "FileHandle.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

namespace {

std::mutex gObserverMutex;
TSyncObserver gObserver;

void Sync(TSyncKind aKind, const std::filesystem::path& aPath, int aFlags, const char* aWhat)
{
    {
        std::lock_guard lock(gObserverMutex);
        if (gObserver)
            gObserver(aKind, aPath);
    }
    TFileHandle fd(::open(aPath.c_str(), aFlags | O_CLOEXEC));
    if (!fd || ::fsync(fd.Get()) != 0)
        throw Exception(std::string(aWhat) + aPath.string() + ": " + std::strerror(errno));
}

} // namespace

void SyncFile(const std::filesystem::path& aPath)
{
    Sync(TSyncKind::File, aPath, O_RDONLY, "不能写入文件 ");
}

void SyncFolder(const std::filesystem::path& aFolder)
{
    Sync(TSyncKind::Folder, aFolder, O_RDONLY | O_DIRECTORY, "不能写入文件夹 ");
}

void SetSyncObserver(TSyncObserver aObserver)
{
    std::lock_guard lock(gObserverMutex);
    gObserver = std::move(aObserver);
}
