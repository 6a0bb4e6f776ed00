#include "AttachmentSaving.h"

#include "Runtime/Errors.h"
#include "Runtime/SafeFileName.h"
#include "Runtime/TextFormat.h"

#include <cerrno>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class TFd {
public:
    explicit TFd(int aFd) : FFd(aFd) {}
    ~TFd()
    {
        if (FFd >= 0)
            ::close(FFd);
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int Get() const { return FFd; }
    int Release() { return std::exchange(FFd, -1); }

private:
    int FFd;
};

bool WriteAll(int aFd, const char* aData, std::size_t aSize)
{
    while (aSize > 0) {
        const ssize_t written = ::write(aFd, aData, aSize);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        aData += written;
        aSize -= static_cast<std::size_t>(written);
    }
    return true;
}

} // namespace

std::filesystem::path SaveAttachmentAs(const std::filesystem::path& aSource, const std::filesystem::path& aFolder,
                                       const std::string& aName)
{
    return SaveFileAs(aSource, aFolder, aName, "attachment.dat", "附件");
}

std::filesystem::path SaveFileAs(const std::filesystem::path& aSource, const std::filesystem::path& aFolder,
                                 const std::string& aName, std::string_view aFallback, const std::string& aWhat)
{
    TFd source(::open(aSource.c_str(), O_RDONLY | O_CLOEXEC));
    if (source.Get() < 0)
        throw Exception(FormatText("%s文件不能读取：%s", {aWhat, std::strerror(errno)}));
    const std::string safe = SafeFileName(aName, aFallback);

    // Created exclusively: an existing file is never touched, and a file
    // made between the check and the write cannot be overwritten either.
    std::filesystem::path target;
    int fd = -1;
    for (int n = 0; n < 10000 && fd < 0; ++n) {
        target = aFolder / NumberedFileName(safe, n);
        fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (fd < 0 && errno != EEXIST)
            throw Exception(FormatText("%s不能保存到 %s：%s", {aWhat, aFolder.string(), std::strerror(errno)}));
    }
    if (fd < 0)
        throw Exception(FormatText("%s不能保存到 %s：没有空闲的文件名", {aWhat, aFolder.string()}));
    TFd out(fd);
    // No execute bits, whatever the umask or the name says.
    ::fchmod(out.Get(), 0644);

    char buffer[65536];
    bool ok = true;
    for (;;) {
        const ssize_t got = ::read(source.Get(), buffer, sizeof buffer);
        if (got == 0)
            break;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            ok = false;
            break;
        }
        if (!WriteAll(out.Get(), buffer, static_cast<std::size_t>(got))) {
            ok = false;
            break;
        }
    }
    if (ok && ::close(out.Release()) != 0)
        ok = false;
    if (!ok) {
        const std::string error = std::strerror(errno);
        std::error_code ec;
        std::filesystem::remove(target, ec);
        throw Exception(FormatText("%s保存失败：%s", {aWhat, error}));
    }
    return target;
}
