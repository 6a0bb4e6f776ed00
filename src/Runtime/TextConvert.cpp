#include "TextConvert.h"

#include <cerrno>
#include <cstdint>
#include <iconv.h>
#include <memory>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point at aText[i], advancing i; invalid input gives
// U+FFFD and advances one byte.
char32_t NextCodePoint(std::string_view aText, std::size_t& i)
{
    const auto c = static_cast<unsigned char>(aText[i]);
    if (c < 0x80) {
        ++i;
        return c;
    }
    std::size_t len;
    char32_t code, min;
    if ((c & 0xE0) == 0xC0)
        len = 2, code = c & 0x1F, min = 0x80;
    else if ((c & 0xF0) == 0xE0)
        len = 3, code = c & 0x0F, min = 0x800;
    else if ((c & 0xF8) == 0xF0)
        len = 4, code = c & 0x07, min = 0x10000;
    else {
        ++i;
        return kReplacement;
    }
    if (i + len > aText.size()) {
        ++i;
        return kReplacement;
    }
    for (std::size_t k = 1; k < len; ++k) {
        const auto cc = static_cast<unsigned char>(aText[i + k]);
        if ((cc & 0xC0) != 0x80) {
            ++i;
            return kReplacement;
        }
        code = (code << 6) | (cc & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        ++i;
        return kReplacement;
    }
    i += len;
    return code;
}

} // namespace

void AppendUtf8(std::string& aOut, char32_t aCode)
{
    if (aCode > 0x10FFFF || (aCode >= 0xD800 && aCode <= 0xDFFF))
        aCode = kReplacement;
    if (aCode < 0x80) {
        aOut += static_cast<char>(aCode);
    } else if (aCode < 0x800) {
        aOut += static_cast<char>(0xC0 | (aCode >> 6));
        aOut += static_cast<char>(0x80 | (aCode & 0x3F));
    } else if (aCode < 0x10000) {
        aOut += static_cast<char>(0xE0 | (aCode >> 12));
        aOut += static_cast<char>(0x80 | ((aCode >> 6) & 0x3F));
        aOut += static_cast<char>(0x80 | (aCode & 0x3F));
    } else {
        aOut += static_cast<char>(0xF0 | (aCode >> 18));
        aOut += static_cast<char>(0x80 | ((aCode >> 12) & 0x3F));
        aOut += static_cast<char>(0x80 | ((aCode >> 6) & 0x3F));
        aOut += static_cast<char>(0x80 | (aCode & 0x3F));
    }
}

bool IsValidUtf8(std::string_view aText)
{
    for (std::size_t i = 0; i < aText.size();) {
        const std::size_t at = i;
        if (NextCodePoint(aText, i) == kReplacement && !(i - at == 3 && aText.substr(at, 3) == "\xEF\xBF\xBD"))
            return false;
    }
    return true;
}

std::u16string Utf8ToUtf16(std::string_view aText)
{
    std::u16string out;
    out.reserve(aText.size());
    for (std::size_t i = 0; i < aText.size();) {
        const char32_t code = NextCodePoint(aText, i);
        if (code >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(code);
        }
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view aText)
{
    std::string out;
    out.reserve(aText.size() * 3);
    for (std::size_t i = 0; i < aText.size(); ++i) {
        char32_t code = aText[i];
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < aText.size() && aText[i + 1] >= 0xDC00 && aText[i + 1] <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (aText[i + 1] - 0xDC00);
            ++i;
        } else if (code >= 0xD800 && code <= 0xDFFF) {
            code = kReplacement;
        }
        AppendUtf8(out, code);
    }
    return out;
}

std::optional<std::string> CharsetToUtf8(std::string_view aBytes, const std::string& aCharset, bool aStrict)
{
    iconv_t cd = iconv_open("UTF-8", aCharset.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::unique_ptr<void, int (*)(iconv_t)> guard(cd, iconv_close);
    // UTF-16 skips whole units past a bad one.
    const std::size_t unit = aCharset.rfind("UTF-16", 0) == 0 ? 2 : 1;
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
        if (rc != static_cast<std::size_t>(-1) || errno == E2BIG)
            continue;
        if (aStrict)
            return std::nullopt;
        out += "\xEF\xBF\xBD";
        const std::size_t skip = std::min(unit, left);
        src += skip;
        left -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    // glibc's converters pass some invalid sequences through unchanged (from
    // "UTF-8", the old five- and six-byte forms and code points past
    // U+10FFFF): what leaves here is UTF-8 whatever iconv let by.
    if (!IsValidUtf8(out)) {
        if (aStrict)
            return std::nullopt;
        out = ValidUtf8(out);
    }
    return out;
}

std::string ValidUtf8(std::string_view aText)
{
    std::string out;
    out.reserve(aText.size());
    for (std::size_t i = 0; i < aText.size();)
        AppendUtf8(out, NextCodePoint(aText, i));
    return out;
}
