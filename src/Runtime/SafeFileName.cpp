#include "SafeFileName.h"

#include <vector>

namespace {

constexpr std::size_t kMaxExtensionBytes = 16;

bool IsSeparator(char c)
{
    return c == '/' || c == '\\';
}

// The length of aText's longest prefix of at most aBytes that does not end
// inside a UTF-8 sequence.
std::size_t CharacterBoundary(std::string_view aText, std::size_t aBytes)
{
    if (aBytes >= aText.size())
        return aText.size();
    while (aBytes > 0 && (static_cast<unsigned char>(aText[aBytes]) & 0xC0) == 0x80)
        --aBytes;
    return aBytes;
}

} // namespace

std::string SafeFileName(std::string_view aName, std::string_view aFallback)
{
    std::string name;
    std::size_t at = 0;
    while (at <= aName.size()) {
        std::size_t end = at;
        while (end < aName.size() && !IsSeparator(aName[end]))
            ++end;
        // No component may be hidden or special, nor look like another.
        std::string_view part = aName.substr(at, end - at);
        const std::size_t first = part.find_first_not_of(". ");
        part.remove_prefix(first == std::string_view::npos ? part.size() : first);
        const std::size_t last = part.find_last_not_of(". ");
        part.remove_suffix(part.size() - (last == std::string_view::npos ? 0 : last + 1));
        if (!part.empty()) {
            if (!name.empty())
                name += '_';
            name += part;
        }
        at = end + 1;
    }
    for (char& c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F)
            c = '_';
    }

    if (name.size() > kMaxFileNameBytes) {
        const std::size_t dot = name.rfind('.');
        const std::string extension =
            dot != std::string::npos && name.size() - dot <= kMaxExtensionBytes ? name.substr(dot) : std::string();
        const std::string stem = name.substr(0, name.size() - extension.size());
        name = stem.substr(0, CharacterBoundary(stem, kMaxFileNameBytes - extension.size())) + extension;
    }
    return name.empty() ? std::string(aFallback) : name;
}

std::string NumberedFileName(std::string_view aSafeName, int aNumber)
{
    if (aNumber <= 0)
        return std::string(aSafeName);
    const std::size_t dot = aSafeName.rfind('.');
    const bool hasExtension =
        dot != std::string_view::npos && dot > 0 && aSafeName.size() - dot <= kMaxExtensionBytes;
    const std::string_view stem = hasExtension ? aSafeName.substr(0, dot) : aSafeName;
    std::string suffix = " (";
    suffix.append(std::to_string(aNumber)).append(")");
    if (hasExtension)
        suffix.append(aSafeName.substr(dot));
    std::string name(stem.substr(0, CharacterBoundary(stem, kMaxFileNameBytes - suffix.size())));
    return name.append(suffix);
}
