#include "Charset.h"

#include "Runtime/AsciiText.h"
#include "Runtime/TextConvert.h"


namespace {

bool Convert(std::string_view aBytes, const std::string& aFrom, std::string& aOut)
{
    auto converted = CharsetToUtf8(aBytes, aFrom, true);
    if (!converted)
        return false;
    aOut = std::move(*converted);
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
