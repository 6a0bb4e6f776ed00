#include "CidReferences.h"

#include "Runtime/AsciiText.h"

#include <cctype>
#include <set>
#include <unordered_map>

bool ContinuesContentId(char aChar)
{
    const auto c = static_cast<unsigned char>(aChar);
    return std::isalnum(c) || c == '.' || c == '@' || c == '_' || c == '-' || c == '$' || c == '%' || c == '+' ||
           c == '=' || c == '~' || c >= 0x80;
}

std::string ReplaceCidReferences(std::string_view aHtml, const std::vector<TCidReplacement>& aReplacements,
                                 TCidQuotes aQuotes)
{
    std::unordered_map<std::string, std::size_t> entries;   // lower-case id → first entry
    std::set<std::size_t> lengths;
    for (std::size_t i = 0; i < aReplacements.size(); ++i) {
        if (aReplacements[i].ContentId.empty())
            continue;
        entries.emplace(AsciiLower(aReplacements[i].ContentId), i);
        lengths.insert(aReplacements[i].ContentId.size());
    }
    if (entries.empty())
        return std::string(aHtml);

    const std::string lower = AsciiLower(aHtml);
    const auto entryOf = [&](std::size_t aAt, std::size_t aLength) -> std::size_t {
        const auto it = entries.find(lower.substr(aAt, aLength));
        return it == entries.end() ? aReplacements.size() : it->second;
    };
    std::string out;
    out.reserve(aHtml.size());
    std::size_t copied = 0;
    for (std::size_t at = lower.find("cid:"); at != std::string::npos; at = lower.find("cid:", at)) {
        const std::size_t idAt = at + 4;
        // The earliest entry of those that match here, and the span it takes.
        std::size_t best = aReplacements.size(), begin = at, end = idAt;
        if (aQuotes == TCidQuotes::Replace && at > 0 && (aHtml[at - 1] == '"' || aHtml[at - 1] == '\'')) {
            const std::size_t close = aHtml.find(aHtml[at - 1], idAt);
            if (close != std::string_view::npos) {
                const std::size_t entry = entryOf(idAt, close - idAt);
                if (entry < best) {
                    best = entry;
                    begin = at - 1;
                    end = close + 1;
                }
            }
        }
        for (const std::size_t length : lengths) {
            const std::size_t idEnd = idAt + length;
            if (idEnd > aHtml.size() || (idEnd < aHtml.size() && ContinuesContentId(aHtml[idEnd])))
                continue;
            const std::size_t entry = entryOf(idAt, length);
            if (entry < best) {
                best = entry;
                begin = at;
                end = idEnd;
            }
        }
        if (best == aReplacements.size()) {
            at = idAt;
            continue;
        }
        out.append(aHtml.substr(copied, begin - copied));
        out.append(aReplacements[best].With);
        copied = at = end;
    }
    out.append(aHtml.substr(copied));
    return out;
}
