#include "HttpText.h"
#include "Runtime/Hex.h"

namespace {

void AppendPercent(std::string& aOut, unsigned char aByte)
{
    aOut += '%';
    AppendHexByte(aOut, aByte);
}

bool Unreserved(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}

} // namespace

std::string HttpUrlEncodeParam(std::string_view aValue)
{
    std::string out;
    out.reserve(aValue.size() * 3);
    for (const char ch : aValue) {
        const auto c = static_cast<unsigned char>(ch);
        if (Unreserved(c))
            out += ch;
        else
            AppendPercent(out, c);
    }
    return out;
}

std::string HttpWireUrl(std::string_view aUrl)
{
    std::string out;
    out.reserve(aUrl.size());
    for (const char ch : aUrl) {
        const auto c = static_cast<unsigned char>(ch);
        if (c <= 0x20 || c >= 0x7F)
            AppendPercent(out, c);
        else
            out += ch;
    }
    return out;
}

std::string HttpUrlForLog(std::string_view aUrl)
{
    aUrl = aUrl.substr(0, aUrl.find_first_of("?#"));
    const auto schemeEnd = aUrl.find("://");
    const auto authorityStart = schemeEnd == std::string_view::npos ? 0 : schemeEnd + 3;
    const auto authorityEnd = aUrl.find('/', authorityStart);
    const auto at = aUrl.substr(0, authorityEnd).rfind('@');
    if (at == std::string_view::npos || at < authorityStart)
        return std::string(aUrl);
    return std::string(aUrl.substr(0, authorityStart)) + std::string(aUrl.substr(at + 1));
}
