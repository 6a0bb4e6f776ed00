#include "BodyText.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>

// One pass over the text, no tree: a tree builder spends time quadratic in
// the nesting depth, and a mail of nested <div>s (a few hundred KiB) would
// hold up receiving for hours. For the text alone tags can be skipped.
namespace {

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether aText at aAt starts with aWord (lower case), ignoring ASCII case.
bool StartsWithNoCase(std::string_view aText, std::size_t aAt, std::string_view aWord)
{
    if (aAt + aWord.size() > aText.size())
        return false;
    for (std::size_t i = 0; i < aWord.size(); ++i)
        if (Lower(aText[aAt + i]) != aWord[i])
            return false;
    return true;
}

// Finds aWord (lower case) at or after aFrom, ignoring ASCII case.
std::size_t FindNoCase(std::string_view aText, std::string_view aWord, std::size_t aFrom)
{
    for (std::size_t at = aFrom; at + aWord.size() <= aText.size(); ++at)
        if (Lower(aText[at]) == aWord[0] && StartsWithNoCase(aText, at, aWord))
            return at;
    return std::string_view::npos;
}

void AppendUtf8(std::string& aOut, uint32_t aPoint)
{
    if (aPoint == 0 || aPoint > 0x10FFFF || (aPoint >= 0xD800 && aPoint <= 0xDFFF))
        aPoint = 0xFFFD;
    if (aPoint < 0x80) {
        aOut.push_back(static_cast<char>(aPoint));
    } else if (aPoint < 0x800) {
        aOut.push_back(static_cast<char>(0xC0 | (aPoint >> 6)));
        aOut.push_back(static_cast<char>(0x80 | (aPoint & 0x3F)));
    } else if (aPoint < 0x10000) {
        aOut.push_back(static_cast<char>(0xE0 | (aPoint >> 12)));
        aOut.push_back(static_cast<char>(0x80 | ((aPoint >> 6) & 0x3F)));
        aOut.push_back(static_cast<char>(0x80 | (aPoint & 0x3F)));
    } else {
        aOut.push_back(static_cast<char>(0xF0 | (aPoint >> 18)));
        aOut.push_back(static_cast<char>(0x80 | ((aPoint >> 12) & 0x3F)));
        aOut.push_back(static_cast<char>(0x80 | ((aPoint >> 6) & 0x3F)));
        aOut.push_back(static_cast<char>(0x80 | (aPoint & 0x3F)));
    }
}

// The named references mail text actually uses; any other stays as written.
struct TEntity {
    const char* Name;
    uint32_t Point;
};
constexpr TEntity kEntities[] = {
    {"amp", '&'},     {"lt", '<'},        {"gt", '>'},        {"quot", '"'},      {"apos", '\''},
    {"nbsp", 0xA0},   {"copy", 0xA9},     {"reg", 0xAE},      {"trade", 0x2122},  {"mdash", 0x2014},
    {"ndash", 0x2013}, {"hellip", 0x2026}, {"lsquo", 0x2018},  {"rsquo", 0x2019},  {"ldquo", 0x201C},
    {"rdquo", 0x201D}, {"middot", 0xB7},   {"bull", 0x2022},   {"euro", 0x20AC},   {"yen", 0xA5},
    {"pound", 0xA3},  {"cent", 0xA2},     {"times", 0xD7},    {"divide", 0xF7},   {"deg", 0xB0},
    {"laquo", 0xAB},  {"raquo", 0xBB},    {"sect", 0xA7},     {"para", 0xB6},     {"shy", 0xAD},
};

// Decodes the reference at aText[aAt] ('&'); returns the length consumed,
// 0 when it is no reference (the '&' is then text).
std::size_t DecodeReference(std::string_view aText, std::size_t aAt, std::string& aOut)
{
    std::size_t at = aAt + 1;
    if (at < aText.size() && aText[at] == '#') {
        ++at;
        const bool hex = at < aText.size() && (aText[at] == 'x' || aText[at] == 'X');
        if (hex)
            ++at;
        uint32_t point = 0;
        std::size_t digits = 0;
        for (; at < aText.size() && digits < 8; ++at, ++digits) {
            const char c = aText[at];
            int value = -1;
            if (c >= '0' && c <= '9')
                value = c - '0';
            else if (hex && Lower(c) >= 'a' && Lower(c) <= 'f')
                value = Lower(c) - 'a' + 10;
            if (value < 0)
                break;
            point = point * (hex ? 16 : 10) + static_cast<uint32_t>(value);
        }
        if (digits == 0)
            return 0;
        if (at < aText.size() && aText[at] == ';')
            ++at;
        AppendUtf8(aOut, point);
        return at - aAt;
    }
    for (const TEntity& entity : kEntities) {
        const std::size_t length = std::strlen(entity.Name);
        if (aText.compare(at, length, entity.Name) == 0) {
            at += length;
            if (at < aText.size() && aText[at] == ';')
                ++at;
            AppendUtf8(aOut, entity.Point);
            return at - aAt;
        }
    }
    return 0;
}

// Elements whose content is not text a reader sees.
constexpr const char* kHidden[] = {"script", "style", "title", "head", "template", "noscript", "textarea"};

// Past the tag that starts at aAt ('<'), quotes in it respected.
std::size_t SkipTag(std::string_view aText, std::size_t aAt)
{
    char quote = 0;
    for (std::size_t at = aAt + 1; at < aText.size(); ++at) {
        const char c = aText[at];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            return at + 1;
        }
    }
    return aText.size();
}

class TGatherer {
public:
    explicit TGatherer(std::size_t aMax) : FMax(aMax) {}
    bool Full() const { return FCount >= FMax; }
    std::string Take() { return std::move(FText); }

    // Adds what aPiece holds, whole characters only, up to the limit.
    void Append(std::string_view aPiece)
    {
        for (std::size_t i = 0; i < aPiece.size() && !Full();) {
            const auto c = static_cast<unsigned char>(aPiece[i]);
            std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
            length = std::min(length, aPiece.size() - i);
            FText.append(aPiece.substr(i, length));
            i += length;
            ++FCount;
        }
    }

private:
    std::size_t FMax;
    std::size_t FCount = 0;
    std::string FText;
};

} // namespace

std::string HtmlBodyText(std::string_view aHtml, std::size_t aMaxCodePoints)
{
    TGatherer text(aMaxCodePoints);
    std::size_t at = 0;
    // With a <body>, only what follows it.
    const std::size_t body = FindNoCase(aHtml, "<body", 0);
    if (body != std::string_view::npos && (body + 5 == aHtml.size() || IsSpace(aHtml[body + 5]) ||
                                           aHtml[body + 5] == '>' || aHtml[body + 5] == '/'))
        at = SkipTag(aHtml, body);
    std::string decoded;
    while (at < aHtml.size() && !text.Full()) {
        const char c = aHtml[at];
        if (c == '&') {
            decoded.clear();
            if (const std::size_t used = DecodeReference(aHtml, at, decoded)) {
                text.Append(decoded);
                at += used;
                continue;
            }
        }
        if (c != '<') {
            const std::size_t next = aHtml.find_first_of("<&", at + 1);
            text.Append(aHtml.substr(at, (next == std::string_view::npos ? aHtml.size() : next) - at));
            at = next == std::string_view::npos ? aHtml.size() : next;
            continue;
        }
        if (aHtml.compare(at, 4, "<!--") == 0) {
            const std::size_t end = aHtml.find("-->", at + 4);
            at = end == std::string_view::npos ? aHtml.size() : end + 3;
            continue;
        }
        const bool letter = at + 1 < aHtml.size() && std::isalpha(static_cast<unsigned char>(aHtml[at + 1]));
        const bool closing = at + 1 < aHtml.size() && aHtml[at + 1] == '/';
        const bool declaration = at + 1 < aHtml.size() && (aHtml[at + 1] == '!' || aHtml[at + 1] == '?');
        if (!letter && !closing && !declaration) {
            text.Append("<");   // a lone '<' is text
            ++at;
            continue;
        }
        const std::size_t end = SkipTag(aHtml, at);
        if (letter) {
            for (const char* hidden : kHidden) {
                const std::size_t length = std::strlen(hidden);
                const std::size_t after = at + 1 + length;
                if (StartsWithNoCase(aHtml, at + 1, hidden) &&
                    (after >= aHtml.size() || IsSpace(aHtml[after]) || aHtml[after] == '>' || aHtml[after] == '/')) {
                    // Its content up to its end tag is not shown.
                    const std::size_t close = FindNoCase(aHtml, std::string("</") + hidden, end);
                    at = close == std::string_view::npos ? aHtml.size() : SkipTag(aHtml, close);
                    break;
                }
            }
            if (at > end)
                continue;
        }
        at = end;
    }
    return text.Take();
}
