#include "IniFile.h"

#include "TextConvert.h"

#include <cerrno>
#include <fstream>
#include <iconv.h>
#include <iterator>
#include <memory>

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

// Converts with iconv; undecodable bytes become U+FFFD rather than losing
// the rest of the file.
std::string Convert(std::string_view aBytes, const char* aFrom)
{
    iconv_t cd = iconv_open("UTF-8", aFrom);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::string(aBytes);
    std::unique_ptr<void, int (*)(iconv_t)> guard(cd, iconv_close);
    std::string out;
    std::string in(aBytes);
    char* src = in.data();
    std::size_t srcLeft = in.size();
    char buffer[4096];
    while (srcLeft > 0) {
        char* dst = buffer;
        std::size_t dstLeft = sizeof buffer;
        const std::size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buffer, sizeof buffer - dstLeft);
        if (rc == static_cast<std::size_t>(-1)) {
            if (errno == E2BIG)
                continue;
            out += "\xEF\xBF\xBD";
            // Skip one unit: two bytes for UTF-16, one otherwise.
            const std::size_t skip = std::string_view(aFrom).starts_with("UTF-16") ? 2 : 1;
            const std::size_t n = std::min(skip, srcLeft);
            src += n;
            srcLeft -= n;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    return out;
}

} // namespace

bool SameTextAscii(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

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
