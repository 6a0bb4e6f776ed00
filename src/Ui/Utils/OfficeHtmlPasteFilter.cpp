#include "OfficeHtmlPasteFilter.h"

#include <cstdio>
#include <limits>

namespace {

constexpr std::string_view kOfficeNamespace = "xmlns:o=\"urn:schemas-microsoft-com:office:office\"";
constexpr std::string_view kStartFragment = "<!--StartFragment-->";
constexpr std::string_view kEndFragment = "<!--EndFragment-->";
constexpr std::string_view kIfNotVml = "<![if !vml]>";
constexpr std::string_view kEndIf = "<![endif]>";
constexpr std::string_view kVmlOpen = "<!--[if gte vml 1]>";
constexpr std::string_view kVmlClose = "<![endif]--><![if !vml]>";
constexpr std::size_t npos = std::string_view::npos;

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::size_t FindNoCase(std::string_view aText, std::string_view aWhat, std::size_t aFrom)
{
    if (aWhat.empty() || aFrom > aText.size() || aText.size() - aFrom < aWhat.size())
        return npos;
    const char first = Lower(aWhat.front());
    for (std::size_t i = aFrom; i + aWhat.size() <= aText.size(); ++i) {
        if (Lower(aText[i]) != first)
            continue;
        std::size_t k = 1;
        while (k < aWhat.size() && Lower(aText[i + k]) == Lower(aWhat[k]))
            ++k;
        if (k == aWhat.size())
            return i;
    }
    return npos;
}

// "first .* last" with "." matching line breaks: the span from the first
// opener to the end of the last closer after it.
bool FindSpan(std::string_view aText, std::string_view aOpen, std::string_view aClose, std::size_t& aBegin,
              std::size_t& aEnd)
{
    const std::size_t begin = aText.find(aOpen);
    if (begin == npos)
        return false;
    const std::size_t close = aText.rfind(aClose);
    if (close == npos || close < begin + aOpen.size())
        return false;
    aBegin = begin;
    aEnd = close + aClose.size();
    return true;
}

// A header line "aKey:digits" standing alone on its line (LF, CR LF or CR
// ends it); its value, if it fits the data at all.
std::optional<std::size_t> HeaderNumber(std::string_view aData, std::string_view aKey)
{
    std::size_t lineStart = 0;
    while (lineStart < aData.size()) {
        std::size_t lineEnd = aData.find_first_of("\r\n", lineStart);
        if (lineEnd == npos)
            lineEnd = aData.size();
        const std::string_view line = aData.substr(lineStart, lineEnd - lineStart);
        if (line.size() > aKey.size() && line.substr(0, aKey.size()) == aKey && line[aKey.size()] == ':') {
            const std::string_view digits = line.substr(aKey.size() + 1);
            std::size_t value = 0;
            bool ok = !digits.empty();
            for (char c : digits) {
                if (c < '0' || c > '9' || value > (std::numeric_limits<std::size_t>::max() - 9) / 10) {
                    ok = false;
                    break;
                }
                value = value * 10 + static_cast<std::size_t>(c - '0');
            }
            if (ok)
                return value;
        }
        lineStart = lineEnd + 1;
    }
    return std::nullopt;
}

// Every VML block with its plain alternative replaced by that alternative.
// A block is the shortest run from an opener to "<![endif]--><![if !vml]>",
// then the shortest run to "<![endif]>"; all of it compared ignoring case.
std::string ReplaceVmlBlocks(std::string_view aHtml, bool& aReplaced)
{
    std::string out;
    out.reserve(aHtml.size());
    std::size_t done = 0;
    aReplaced = false;
    std::size_t open = FindNoCase(aHtml, kVmlOpen, 0);
    while (open != npos) {
        const std::size_t close = FindNoCase(aHtml, kVmlClose, open + kVmlOpen.size());
        if (close == npos)
            break;
        const std::size_t alternative = close + kVmlClose.size();
        const std::size_t end = FindNoCase(aHtml, kEndIf, alternative);
        if (end == npos)
            break;
        out.append(aHtml.substr(done, open - done));
        out.append(aHtml.substr(alternative, end - alternative));
        done = end + kEndIf.size();
        aReplaced = true;
        open = FindNoCase(aHtml, kVmlOpen, done);
    }
    out.append(aHtml.substr(done));
    return out;
}

std::string TenDigits(std::size_t aValue)
{
    char text[32];
    std::snprintf(text, sizeof text, "%010zu", aValue);
    return text;
}

} // namespace

std::optional<std::string> FilterOfficeClipboardHtml(std::string_view aData)
{
    std::size_t begin = 0, end = 0;
    if (aData.find(kOfficeNamespace) == npos || !FindSpan(aData, kStartFragment, kEndFragment, begin, end) ||
        !FindSpan(aData, kIfNotVml, kEndIf, begin, end))
        return std::nullopt;
    const auto startHtml = HeaderNumber(aData, "StartHTML");
    const auto endHtml = HeaderNumber(aData, "EndHTML");
    if (!startHtml || !endHtml || *startHtml > *endHtml || *endHtml > aData.size())
        return std::nullopt;

    bool replaced = false;
    std::string html = ReplaceVmlBlocks(aData.substr(*startHtml, *endHtml - *startHtml), replaced);
    html += "    ";
    std::size_t fragmentBegin = 0, fragmentEnd = 0;
    if (!FindSpan(html, kStartFragment, kEndFragment, fragmentBegin, fragmentEnd))
        return std::nullopt;

    // Five lines and an empty one: always 107 bytes.
    constexpr std::size_t kHeaderSize = 107;
    std::string data = "Version:1.0\r\nStartHTML:" + TenDigits(kHeaderSize) + "\r\nEndHTML:" +
                       TenDigits(kHeaderSize + html.size()) + "\r\nStartFragment:" +
                       TenDigits(kHeaderSize + fragmentBegin) + "\r\nEndFragment:" +
                       TenDigits(kHeaderSize + fragmentEnd) + "\r\n\r\n";
    data += html;
    return data;
}

std::optional<std::string> ClipboardHtmlFragment(std::string_view aData)
{
    const auto begin = HeaderNumber(aData, "StartFragment");
    const auto end = HeaderNumber(aData, "EndFragment");
    if (!begin || !end || *begin > *end || *end > aData.size())
        return std::nullopt;
    return std::string(aData.substr(*begin, *end - *begin));
}

std::optional<std::string> FilterOfficeHtml(std::string_view aHtml)
{
    if (aHtml.find(kOfficeNamespace) == npos)
        return std::nullopt;
    bool replaced = false;
    std::string html = ReplaceVmlBlocks(aHtml, replaced);
    if (!replaced)
        return std::nullopt;
    return html;
}
