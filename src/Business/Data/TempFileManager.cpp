#include "TempFileManager.h"

#include "DataFolder.h"
#include "Runtime/DateTime.h"
#include "Runtime/Log.h"
#include "Runtime/SafeFileName.h"
#include "Runtime/TextConvert.h"
#include "Runtime/TextFormat.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>

namespace {

constexpr const char* kLockName = ".lock";
constexpr std::size_t kMaxPathUnits = 247;
constexpr std::size_t kMaxNameBytes = 255;

bool IsHeldByAnotherRun(const std::filesystem::path& aRunFolder)
{
    TFileHandle lock(::open((aRunFolder / kLockName).c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW));
    if (!lock)
        return false;
    return ::flock(lock.Get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
}

std::string RandomName()
{
    static thread_local std::mt19937 generator{std::random_device{}()};
    static const char* const kGroups[] = {"0123456789", "ABCDEFGHIJKLMNOPQRSTUVWXYZ", "abcdefghijklmnopqrstuvwxyz"};
    std::string name;
    for (int i = 0; i < 8; ++i) {
        const std::string_view group = kGroups[std::uniform_int_distribution<int>(0, 2)(generator)];
        name += group[std::uniform_int_distribution<std::size_t>(0, group.size() - 1)(generator)];
    }
    return name;
}

std::string TimeStamp()
{
    const TDateTimeParts p = DecodeDateTime(Now());
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "(%02d-%02d-%02d-%02d-%02d-%03d)", p.Month, p.Day, p.Hour, p.Minute, p.Second,
                  p.Millisecond);
    return buffer;
}

bool TooLong(const std::filesystem::path& aFolder, const std::string& aFileName)
{
    return aFileName.size() > kMaxNameBytes || Utf8ToUtf16((aFolder / aFileName).string()).size() > kMaxPathUnits;
}

// Creates the file or folder only if nothing of that name exists; false
// when something does.
bool CreateExclusively(const std::filesystem::path& aPath, bool aDirectory)
{
    if (aDirectory) {
        if (::mkdir(aPath.c_str(), 0700) == 0)
            return true;
    } else {
        const int fd = ::open(aPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            return true;
        }
    }
    if (errno == EEXIST)
        return false;
    throw Exception("不能创建临时文件 " + aPath.string() + ": " + std::strerror(errno));
}

} // namespace

TTempFileManager::TTempFileManager() : TTempFileManager(CurrentDataPath()) {}

TTempFileManager::TTempFileManager(const std::filesystem::path& aDataFolder)
{
    const auto temp = aDataFolder / "Temp";
    CreatePrivateFolder(temp);
    // Runs on one data folder (the client, the command-line tool) sweep and
    // claim their folders one at a time: another run's sweep must never
    // see a folder between its making and its locking.
    TFileHandle sweepLock(::open((temp / kLockName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!sweepLock)
        throw Exception("不能创建临时文件夹 " + temp.string() + ": " + std::strerror(errno));
    while (::flock(sweepLock.Get(), LOCK_EX) != 0)
        if (errno != EINTR)
            throw Exception("不能锁定临时文件夹 " + temp.string() + ": " + std::strerror(errno));
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(temp, ec)) {
        if (entry.path().filename() == kLockName)
            continue;
        if (entry.is_directory(ec) && !entry.is_symlink(ec) && IsHeldByAnotherRun(entry.path()))
            continue;
        std::filesystem::remove_all(entry.path(), ec);
        if (ec)
            TLog::O(lolWorn, "不能删除旧的临时文件 %s：%s", {entry.path().string(), ec.message()});
    }
    for (int n = 1;; ++n) {
        const auto candidate = temp / FormatText("(%d)", {n});
        if (::mkdir(candidate.c_str(), 0700) != 0) {
            if (errno == EEXIST)
                continue;
            throw Exception("不能创建临时文件夹 " + candidate.string() + ": " + std::strerror(errno));
        }
        FTempFolder = candidate;
        break;
    }
    FLock.Reset(::open((FTempFolder / kLockName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!FLock || ::flock(FLock.Get(), LOCK_EX | LOCK_NB) != 0) {
        // An unlocked folder would be swept by the next run that starts.
        const std::string error = std::strerror(errno);
        std::filesystem::remove_all(FTempFolder, ec);
        throw Exception("不能锁定临时文件夹 " + FTempFolder.string() + ": " + error);
    }
}

TTempFileManager::~TTempFileManager()
{
    std::error_code ec;
    std::filesystem::remove_all(FTempFolder, ec);
    if (ec)
        TLog::O(lolWorn, "不能删除临时文件夹 %s：%s", {FTempFolder.string(), ec.message()});
}

std::string TTempFileManager::CleanFileName(const std::string& aName)
{
    // Working files are opened by other programs too: none of the
    // characters other systems refuse in a name.
    std::string clean = SafeFileName(aName, "");
    for (char& c : clean)
        if (std::strchr("\"*:<>?|", c))
            c = '_';
    return clean;
}

std::filesystem::path TTempFileManager::MakeTempFileName(const std::string& aName, bool aHaveTimeFlag)
{
    return MakeName(aName.empty() ? "qmc.tmp" : aName, aHaveTimeFlag, false);
}

std::filesystem::path TTempFileManager::MakeTempDirectoryName(const std::string& aName, bool aHaveTimeFlag)
{
    return MakeName(aName.empty() ? "tmp" : aName, aHaveTimeFlag, true);
}

std::filesystem::path TTempFileManager::MakeName(const std::string& aName, bool aHaveTimeFlag, bool aDirectory)
{
    std::string clean = CleanFileName(aName);
    if (clean.empty())
        clean = aDirectory ? "tmp" : "qmc.tmp";
    const std::size_t dot = clean.rfind('.');
    std::string name = dot == std::string::npos ? clean : clean.substr(0, dot);
    std::string extension = dot == std::string::npos ? std::string() : clean.substr(dot);
    std::string stamp = aHaveTimeFlag ? TimeStamp() : std::string();

    auto shorten = [&] {
        name = RandomName();
        stamp.clear();
        // An extension that alone breaks the limits goes too.
        if (TooLong(FTempFolder, name + "(999)" + extension))
            extension.clear();
    };
    if (TooLong(FTempFolder, name + stamp + extension))
        shorten();
    if (CreateExclusively(FTempFolder / (name + stamp + extension), aDirectory))
        return FTempFolder / (name + stamp + extension);
    for (int counter = 1;; ++counter) {
        const std::string candidate = name + stamp + FormatText("(%d)", {counter}) + extension;
        if (TooLong(FTempFolder, candidate)) {
            shorten();
            counter = 0;
            continue;
        }
        if (CreateExclusively(FTempFolder / candidate, aDirectory))
            return FTempFolder / candidate;
    }
}

std::filesystem::path TSimpleMakeTempFilenameImpl::GetTempFileName(const std::string& aBaseFileName, bool aWithTimeFlag)
{
    TTempFileManager* manager = TTempFileManager::TempFileManager();
    if (!manager)
        throw Exception("临时文件管理器没有创建");
    return manager->MakeTempFileName(aBaseFileName, aWithTimeFlag);
}
