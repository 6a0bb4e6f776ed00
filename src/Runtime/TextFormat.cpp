#include "TextFormat.h"

#include "TextConvert.h"

#include <algorithm>
#include <cstdio>

namespace {

struct TDirective {
    bool LeftAlign = false;
    bool ZeroPad = false;
    int Width = 0;
    int Precision = -1;
    char Type = 0;
};

void Pad(std::string& aOut, std::string_view aText, const TDirective& aDir)
{
    const std::size_t width = static_cast<std::size_t>(aDir.Width);
    if (aText.size() >= width) {
        aOut += aText;
        return;
    }
    const std::size_t fill = width - aText.size();
    if (aDir.LeftAlign) {
        aOut += aText;
        aOut.append(fill, ' ');
    } else if (aDir.ZeroPad && aDir.Type != 's' && aDir.Type != 'c') {
        // Zeros go after a sign.
        std::size_t sign = (!aText.empty() && (aText[0] == '-' || aText[0] == '+')) ? 1 : 0;
        aOut += aText.substr(0, sign);
        aOut.append(fill, '0');
        aOut += aText.substr(sign);
    } else {
        aOut.append(fill, ' ');
        aOut += aText;
    }
}

// Formats one number with snprintf from a fixed, fully checked directive.
template <class V>
std::string Number(const char* aConv, int aPrecision, V aValue)
{
    char directive[16];
    if (aPrecision >= 0)
        std::snprintf(directive, sizeof directive, "%%.%d%s", aPrecision, aConv);
    else
        std::snprintf(directive, sizeof directive, "%%%s", aConv);
    char buffer[512];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    int n = std::snprintf(buffer, sizeof buffer, directive, aValue);
#pragma GCC diagnostic pop
    if (n < 0)
        return {};
    return std::string(buffer, std::min<std::size_t>(static_cast<std::size_t>(n), sizeof buffer - 1));
}

} // namespace

std::string FormatText(std::string_view aFormat, std::initializer_list<TFormatArg> aArgs)
{
    using TKind = TFormatArg::TKind;
    std::string out;
    out.reserve(aFormat.size() + 16 * aArgs.size());
    auto next = aArgs.begin();
    std::size_t i = 0;
    while (i < aFormat.size()) {
        const char ch = aFormat[i++];
        if (ch != '%') {
            out += ch;
            continue;
        }
        if (i >= aFormat.size())
            throw EFormatError(aFormat);
        if (aFormat[i] == '%') {
            out += '%';
            ++i;
            continue;
        }
        TDirective dir;
        for (; i < aFormat.size() && (aFormat[i] == '-' || aFormat[i] == '0'); ++i)
            (aFormat[i] == '-' ? dir.LeftAlign : dir.ZeroPad) = true;
        for (; i < aFormat.size() && aFormat[i] >= '0' && aFormat[i] <= '9'; ++i)
            dir.Width = std::min(dir.Width * 10 + (aFormat[i] - '0'), 1024);
        if (i < aFormat.size() && aFormat[i] == '.') {
            dir.Precision = 0;
            for (++i; i < aFormat.size() && aFormat[i] >= '0' && aFormat[i] <= '9'; ++i)
                dir.Precision = std::min(dir.Precision * 10 + (aFormat[i] - '0'), 64);
        }
        if (i >= aFormat.size() || next == aArgs.end())
            throw EFormatError(aFormat);
        dir.Type = aFormat[i++];
        const TFormatArg& arg = *next++;
        const bool integral = arg.Kind() == TKind::Signed || arg.Kind() == TKind::Unsigned;
        std::string text;
        switch (dir.Type) {
        case 'd':
        case 'i':
            if (!integral)
                throw EFormatError(aFormat);
            text = arg.Kind() == TKind::Signed ? Number("lld", -1, static_cast<long long>(arg.Signed()))
                                               : Number("llu", -1, static_cast<unsigned long long>(arg.Unsigned()));
            break;
        case 'u':
        case 'x':
        case 'X': {
            if (!integral)
                throw EFormatError(aFormat);
            const auto value = arg.Kind() == TKind::Signed ? static_cast<unsigned long long>(arg.Signed())
                                                           : static_cast<unsigned long long>(arg.Unsigned());
            text = Number(dir.Type == 'u' ? "llu" : dir.Type == 'x' ? "llx" : "llX", -1, value);
            break;
        }
        case 'f':
        case 'e':
        case 'g': {
            double value;
            if (arg.Kind() == TKind::Float)
                value = arg.Float();
            else if (arg.Kind() == TKind::Signed)
                value = static_cast<double>(arg.Signed());
            else if (arg.Kind() == TKind::Unsigned)
                value = static_cast<double>(arg.Unsigned());
            else
                throw EFormatError(aFormat);
            const char conv[2] = {dir.Type, 0};
            text = Number(conv, dir.Precision, value);
            break;
        }
        case 's':
            if (arg.Kind() != TKind::Text)
                throw EFormatError(aFormat);
            text = arg.Text();
            if (dir.Precision >= 0 && text.size() > static_cast<std::size_t>(dir.Precision)) {
                // Cut at a character boundary, never inside a UTF-8 sequence.
                std::size_t cut = static_cast<std::size_t>(dir.Precision);
                while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
                    --cut;
                text.resize(cut);
            }
            break;
        case 'c':
            if (!integral)
                throw EFormatError(aFormat);
            AppendUtf8(text, static_cast<char32_t>(arg.Kind() == TKind::Signed ? arg.Signed() : arg.Unsigned()) & 0x1FFFFF);
            break;
        case 'p':
            if (arg.Kind() != TKind::Pointer)
                throw EFormatError(aFormat);
            {
                char buffer[2 * sizeof(void*) + 1];
                std::snprintf(buffer, sizeof buffer, "%0*llX", int(2 * sizeof(void*)),
                              static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(arg.Pointer())));
                text = buffer;
            }
            break;
        default:
            throw EFormatError(aFormat);
        }
        Pad(out, text, dir);
    }
    return out;
}
