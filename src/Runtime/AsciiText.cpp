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
