#include "LogSink.h"

#include "DateTime.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

thread_local std::string tThreadName;
thread_local int tIndent = 0;

bool WriteAll(int aFd, std::string_view aText)
{
    while (!aText.empty()) {
        const ssize_t n = ::write(aFd, aText.data(), aText.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        aText.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::string StartStamp()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y%m%d%H%M%S", &local);
    return buffer;
}

TFileHandle OpenForAppend(const std::filesystem::path& aPath)
{
    return TFileHandle(::open(aPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600));
}

} // namespace

bool TLogSink::Open(const std::filesystem::path& aFolder, bool aMirrorToStderr)
{
    std::lock_guard lock(FMutex);
    FFile.Reset();
    std::error_code ec;
    std::filesystem::create_directories(aFolder, ec);
    FPath = aFolder / (StartStamp() + ".csl");
    FFile = OpenForAppend(FPath);
    if (!FFile)
        return false;
    struct stat st {};
    FSize = ::fstat(FFile.Get(), &st) == 0 ? static_cast<std::size_t>(st.st_size) : 0;
    FRollCount = 0;
    FMirror = aMirrorToStderr;
    return true;
}

void TLogSink::Close()
{
    std::lock_guard lock(FMutex);
    FFile.Reset();
}

bool TLogSink::IsOpen() const
{
    std::lock_guard lock(FMutex);
    return FFile.Valid();
}

std::filesystem::path TLogSink::FilePath() const
{
    std::lock_guard lock(FMutex);
    return FPath;
}

void TLogSink::SetThreadName(std::string aName)
{
    tThreadName = std::move(aName);
}

const std::string& TLogSink::ThreadName()
{
    if (tThreadName.empty()) {
        tThreadName = '[';
        tThreadName += std::to_string(::gettid());
        tThreadName += ']';
    }
    return tThreadName;
}

void TLogSink::Line(TLogCategory aCategory, std::string_view aText)
{
    Write(aCategory, tIndent, aText);
}

void TLogSink::Enter(TLogCategory aCategory, std::string_view aName)
{
    Write(aCategory, tIndent, std::string("-> ").append(aName));
    ++tIndent;
}

void TLogSink::Exit(TLogCategory aCategory, std::string_view aName)
{
    if (tIndent > 0)
        --tIndent;
    Write(aCategory, tIndent, std::string("<- ").append(aName));
}

void TLogSink::Separator(TLogCategory aCategory, bool aReset)
{
    if (aReset)
        tIndent = 0;
    Write(aCategory, tIndent, aReset ? "========================================" : "----------------------------------------");
}

void TLogSink::Write(TLogCategory aCategory, int aIndent, std::string_view aText)
{
    std::string line = FormatDateTimeIso(Now());
    line += ' ';
    line += static_cast<char>(aCategory);
    line += ' ';
    line += ThreadName();
    line += "  ";
    line.append(static_cast<std::size_t>(aIndent) * 2, ' ');
    line += aText;
    line += '\n';

    std::lock_guard lock(FMutex);
    if (!FFile)
        return;
    if (FSize + line.size() > kMaxFileBytes && FSize > 0)
        RollOverLocked();
    if (FFile && WriteAll(FFile.Get(), line))
        FSize += line.size();
    if (FMirror)
        WriteAll(STDERR_FILENO, line);
}

void TLogSink::RollOverLocked()
{
    // The full file is left as it is; the run goes on in "name(n).csl".
    const auto folder = FPath.parent_path();
    const auto stem = FPath.stem().string();
    const auto base = stem.substr(0, stem.find('('));
    for (;;) {
        auto next = folder / (base + "(" + std::to_string(++FRollCount) + ").csl");
        if (std::filesystem::exists(next))
            continue;
        FFile = OpenForAppend(next);
        FPath = next;
        FSize = 0;
        return;
    }
}
