#include "IniFile.h"

#include "AsciiText.h"
#include "Errors.h"
#include "FileHandle.h"
#include "FileSync.h"
#include "ScopeGuard.h"
#include "TextConvert.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <fstream>
#include <iterator>
#include <cstring>
#include <memory>
#include <vector>

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::string Convert(std::string_view aBytes, const char* aFrom)
{
    return CharsetToUtf8(aBytes, aFrom, false).value_or(std::string(aBytes));
}

} // namespace

std::string DecodeTextToUtf8(std::string_view aBytes)
{
    if (aBytes.starts_with("\xEF\xBB\xBF"))
        return std::string(aBytes.substr(3));
    if (aBytes.starts_with("\xFF\xFE"))
        return Convert(aBytes.substr(2), "UTF-16LE");
    if (aBytes.starts_with("\xFE\xFF"))
        return Convert(aBytes.substr(2), "UTF-16BE");
    if (IsValidUtf8(aBytes))
        return std::string(aBytes);
    return Convert(aBytes, "GB18030");
}

TIniFile TIniFile::LoadFromFile(const std::string& aPath)
{
    std::ifstream in(aPath, std::ios::binary);
    if (!in)
        return {};
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return LoadFromText(bytes);
}

TIniFile TIniFile::LoadFromText(std::string_view aBytes)
{
    TIniFile ini;
    const std::string text = DecodeTextToUtf8(aBytes);
    std::string_view rest = text;
    TSection* current = nullptr;
    while (!rest.empty()) {
        const std::size_t end = rest.find_first_of("\r\n");
        std::string_view line = rest.substr(0, end);
        if (end == std::string_view::npos) {
            rest = {};
        } else {
            const std::size_t skip = (rest[end] == '\r' && end + 1 < rest.size() && rest[end + 1] == '\n') ? 2 : 1;
            rest.remove_prefix(end + skip);
        }
        line = Trim(line);
        if (line.empty() || line.front() == ';')
            continue;
        if (line.front() == '[') {
            const std::size_t close = line.find(']');
            if (close == std::string_view::npos)
                continue;
            ini.FSections.push_back({std::string(Trim(line.substr(1, close - 1))), {}});
            current = &ini.FSections.back();
            continue;
        }
        const std::size_t eq = line.find('=');
        if (!current || eq == std::string_view::npos)
            continue;
        std::string_view key = Trim(line.substr(0, eq));
        std::string_view value = Trim(line.substr(eq + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        current->Entries.push_back({std::string(key), std::string(value)});
    }
    return ini;
}

bool TIniFile::SectionExists(std::string_view aSection) const
{
    for (const auto& section : FSections)
        if (SameTextAscii(section.Name, aSection))
            return true;
    return false;
}

std::optional<std::string> TIniFile::Find(std::string_view aSection, std::string_view aKey) const
{
    for (const auto& section : FSections) {
        if (!SameTextAscii(section.Name, aSection))
            continue;
        for (const auto& entry : section.Entries)
            if (SameTextAscii(entry.Key, aKey))
                return entry.Value;
    }
    return std::nullopt;
}

std::string TIniFile::ReadString(std::string_view aSection, std::string_view aKey,
                                 std::string_view aDefault) const
{
    auto value = Find(aSection, aKey);
    return value ? *value : std::string(aDefault);
}

int TIniFile::ReadInteger(std::string_view aSection, std::string_view aKey, int aDefault) const
{
    const auto value = Find(aSection, aKey);
    if (!value || value->empty())
        return aDefault;
    char* end = nullptr;
    errno = 0;
    const long number = std::strtol(value->c_str(), &end, 10);
    if (*end != '\0' || errno == ERANGE || number < INT_MIN || number > INT_MAX)
        return aDefault;
    return static_cast<int>(number);
}

bool TIniFile::ReadBool(std::string_view aSection, std::string_view aKey, bool aDefault) const
{
    const auto value = Find(aSection, aKey);
    return value ? StrToBoolDef(*value, aDefault) : aDefault;
}

bool StrToBoolDef(std::string_view aText, bool aDefault)
{
    if (SameTextAscii(aText, "true"))
        return true;
    if (SameTextAscii(aText, "false"))
        return false;
    const std::string text(aText);
    char* end = nullptr;
    const long number = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0')
        return aDefault;
    return number != 0;
}

std::vector<std::string> TIniFile::ReadSection(std::string_view aSection) const
{
    std::vector<std::string> keys;
    for (const auto& [key, value] : ReadSectionValues(aSection))
        keys.push_back(key);
    return keys;
}

std::vector<std::pair<std::string, std::string>> TIniFile::ReadSectionValues(std::string_view aSection) const
{
    std::vector<std::pair<std::string, std::string>> values;
    for (const auto& section : FSections)
        if (SameTextAscii(section.Name, aSection))
            for (const auto& entry : section.Entries)
                values.emplace_back(entry.Key, entry.Value);
    return values;
}

namespace {

// Lines of a text, without their line ends.
std::vector<std::string> SplitLines(std::string_view aText)
{
    std::vector<std::string> lines;
    while (!aText.empty()) {
        const std::size_t end = aText.find_first_of("\r\n");
        lines.emplace_back(aText.substr(0, end));
        if (end == std::string_view::npos)
            break;
        const std::size_t skip = (aText[end] == '\r' && end + 1 < aText.size() && aText[end + 1] == '\n') ? 2 : 1;
        aText.remove_prefix(end + skip);
    }
    return lines;
}

// The section name of a "[name]" line, if it is one.
std::optional<std::string_view> SectionOf(std::string_view aLine)
{
    aLine = Trim(aLine);
    if (aLine.empty() || aLine.front() != '[')
        return std::nullopt;
    const std::size_t close = aLine.find(']');
    if (close == std::string_view::npos)
        return std::nullopt;
    return Trim(aLine.substr(1, close - 1));
}

bool IsKeyLine(std::string_view aLine, std::string_view aKey)
{
    const std::string_view trimmed = Trim(aLine);
    if (trimmed.empty() || trimmed.front() == ';')
        return false;
    const std::size_t eq = trimmed.find('=');
    return eq != std::string_view::npos && SameTextAscii(Trim(trimmed.substr(0, eq)), aKey);
}

// Writers of one file take turns, threads and processes alike (the
// command-line tool shares the data folder): each holds the file's lock
// from reading it to renaming the new text into place, so no update is
// lost. The lock lives in a file of its own beside it, because the file
// itself is replaced.
class TIniWriteLock {
public:
    explicit TIniWriteLock(const std::string& aPath)
        : FFd(::open((aPath + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600))
    {
        if (!FFd)
            throw Exception("不能写入配置文件 " + aPath + ": " + std::strerror(errno));
        while (::flock(FFd.Get(), LOCK_EX) != 0)
            if (errno != EINTR)
                throw Exception("不能写入配置文件 " + aPath + ": " + std::strerror(errno));
    }

private:
    TFileHandle FFd;   // closing it releases the lock
};

// A fresh temporary beside the file (never a name that may already exist,
// nor one a symbolic link leads away from), synced, renamed over the file,
// then the folder synced so the new name survives a power loss.
void WriteFileAtomically(const std::string& aPath, const std::string& aText)
{
    struct stat st {};
    const mode_t mode = ::stat(aPath.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0600;
    std::string temp = aPath + ".XXXXXX";
    TFileHandle fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (!fd)
        throw Exception("不能写入配置文件 " + aPath + ": " + std::strerror(errno));
    bool renamed = false;
    const TOnFailure removeTemp([&]() noexcept {
        if (!renamed)
            ::unlink(temp.c_str());
    });
    if (::fchmod(fd.Get(), mode) != 0)
        throw Exception("不能写入配置文件 " + aPath + ": " + std::strerror(errno));
    std::size_t written = 0;
    while (written < aText.size()) {
        const ssize_t n = ::write(fd.Get(), aText.data() + written, aText.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw Exception("不能写入配置文件 " + aPath + ": " + std::strerror(errno));
        written += static_cast<std::size_t>(n);
    }
    fd.Reset();
    SyncFile(temp);
    if (std::rename(temp.c_str(), aPath.c_str()) != 0)
        throw Exception("不能写入配置文件 " + aPath + ": " + std::strerror(errno));
    renamed = true;
    const std::filesystem::path folder = std::filesystem::path(aPath).parent_path();
    SyncFolder(folder.empty() ? std::filesystem::path(".") : folder);
}

} // namespace

void WriteIniString(const std::string& aPath, std::string_view aSection, std::string_view aKey, std::string_view aValue)
{
    const TIniWriteLock lock(aPath);
    std::string bytes;
    if (std::ifstream in{aPath, std::ios::binary})
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    std::vector<std::string> lines = SplitLines(DecodeTextToUtf8(bytes));
    // A line break in a value would write lines of its own.
    std::string entry = std::string(aKey) + "=" + std::string(aValue);
    for (char& c : entry)
        if (c == '\r' || c == '\n')
            c = ' ';

    std::optional<std::size_t> sectionStart, lastInSection;
    bool done = false;
    for (std::size_t i = 0; i < lines.size() && !done; ++i) {
        if (auto section = SectionOf(lines[i])) {
            if (sectionStart)
                break;   // past the end of the first matching section
            if (SameTextAscii(*section, aSection)) {
                sectionStart = i;
                lastInSection = i;
            }
            continue;
        }
        if (!sectionStart)
            continue;
        if (!Trim(lines[i]).empty())
            lastInSection = i;
        if (IsKeyLine(lines[i], aKey)) {
            lines[i] = entry;
            done = true;
        }
    }
    if (!done) {
        if (lastInSection) {
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(*lastInSection) + 1, entry);
        } else {
            if (!lines.empty() && !Trim(lines.back()).empty())
                lines.emplace_back();
            std::string header(1, '[');
            header.append(aSection);
            header += ']';
            lines.push_back(std::move(header));
            lines.push_back(entry);
        }
    }
    std::string text;
    for (const auto& line : lines) {
        text += line;
        text += '\n';
    }
    WriteFileAtomically(aPath, text);
}
