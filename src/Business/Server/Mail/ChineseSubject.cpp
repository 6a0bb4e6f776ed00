#include "ChineseSubject.h"

#include <cstdint>
#include <vector>

namespace {

// Code points of UTF-8 text; a broken byte counts as one character.
std::vector<uint32_t> CodePoints(std::string_view aText)
{
    std::vector<uint32_t> points;
    for (std::size_t i = 0; i < aText.size();) {
        const auto c = static_cast<unsigned char>(aText[i]);
        std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        if (i + length > aText.size())
            length = 1;
        uint32_t point = length == 1 ? c : c & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k)
            point = (point << 6) | (static_cast<unsigned char>(aText[i + k]) & 0x3F);
        points.push_back(point);
        i += length;
    }
    return points;
}

} // namespace

bool HasChineseSubject(std::string_view aSubject)
{
    const std::vector<uint32_t> points = CodePoints(aSubject);
    int chinese = 0;
    for (uint32_t point : points) {
        if (point < 0x4E00 || point > 0x9FA5)
            continue;
        ++chinese;
        if (chinese > 3 || chinese * 5 >= static_cast<int>(points.size()))
            return true;
    }
    return false;
}
