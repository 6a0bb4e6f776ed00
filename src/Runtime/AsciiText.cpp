#include "AsciiText.h"

std::string AsciiLower(std::string_view aText)
{
    std::string lower(aText);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + ('a' - 'A'));
    return lower;
}

std::string Trimmed(std::string_view aText, std::string_view aBlanks)
{
    const std::size_t first = aText.find_first_not_of(aBlanks);
    if (first == std::string_view::npos)
        return {};
    return std::string(aText.substr(first, aText.find_last_not_of(aBlanks) - first + 1));
}

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
