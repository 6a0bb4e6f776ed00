#include "Charset.h"

#include "Runtime/IniFile.h"
#include "Runtime/TextConvert.h"

#include <cerrno>
#include <iconv.h>
#include <memory>

namespace {

// Strict conversion: false when any byte does not decode.
bool Convert(std::string_view aBytes, const std::string& aFrom, std::string& aOut)
{
    iconv_t cd = iconv_open("UTF-8", aFrom.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    std::unique_ptr<void, int (*)(iconv_t)> guard(cd, iconv_close);
    std::string in(aBytes);
    char* src = in.data();
    std::size_t left = in.size();
    std::string out;
    char buffer[4096];
    while (left > 0) {
        char* dst = buffer;
        std::size_t room = sizeof buffer;
        const std::size_t rc = iconv(cd, &src, &left, &dst, &room);
        out.append(buffer, sizeof buffer - room);
        if (rc == static_cast<std::size_t>(-1) && errno != E2BIG)
            return false;
    }
    aOut = std::move(out);
    return true;
}

std::string Latin1(std::string_view aBytes)
{
    std::string out;
    out.reserve(aBytes.size() * 2);
    for (unsigned char c : aBytes)
        AppendUtf8(out, c);
    return out;
}

} // namespace

std::string CanonicalCharset(std::string_view aDeclared)
{
    std::string name(aDeclared);
    while (!name.empty() && (name.back() == ' ' || name.back() == '"'))
        name.pop_back();
    while (!name.empty() && (name.front() == ' ' || name.front() == '"'))
        name.erase(0, 1);
    for (const char* chinese : {"gb2312", "gbk", "x-gbk", "cp936", "gb_2312-80", "euc-cn", "x-euc-cn"})
        if (SameTextAscii(name, chinese))
            return "GB18030";
    for (const char* korean : {"ks_c_5601-1987", "ks_c_5601", "euc-kr"})
        if (SameTextAscii(name, korean))
            return "CP949";
    if (SameTextAscii(name, "utf8"))
        return "UTF-8";
    if (SameTextAscii(name, "big5"))
        return "BIG5-HKSCS";
    return name;
}

std::string ToUtf8(std::string_view aBytes, std::string_view aDeclaredCharset)
{
    const std::string charset = CanonicalCharset(aDeclaredCharset);
    std::string out;
    if (!charset.empty() && !SameTextAscii(charset, "us-ascii") && Convert(aBytes, charset, out))
        return out;
    return RawHeaderToUtf8(aBytes);
}

std::string RawHeaderToUtf8(std::string_view aBytes)
{
    if (IsValidUtf8(aBytes))
        return std::string(aBytes);
    std::string out;
    if (Convert(aBytes, "GB18030", out))
        return out;
    return Latin1(aBytes);
}
