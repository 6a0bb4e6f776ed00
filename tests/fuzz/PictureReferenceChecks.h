// What the fuzz targets hold every page's picture references to: inside
// the page, in order, each right after its '=', splicing back exactly.
#pragma once

#include "Business/Html/PictureReferences.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

inline void CheckPictureReferences(std::string_view aPage)
{
    const auto references = FindPictureReferences(aPage);
    std::size_t end = 0, written = 0;
    std::vector<std::pair<std::size_t, std::string>> replacements;
    for (std::size_t i = 0; i < references.size(); ++i) {
        const auto& reference = references[i];
        if (reference.Offset < end || reference.Offset + reference.Length > aPage.size())
            std::abort();
        // A value is written after its '=' and the blanks that may follow.
        std::size_t before = reference.Offset;
        while (before > 0 && std::strchr(" \t\n\f\r", aPage[before - 1]))
            --before;
        if (before == 0 || aPage[before - 1] != '=')
            std::abort();
        end = reference.Offset + reference.Length;
        written += reference.Length;
        replacements.emplace_back(i, "x");
    }
    if (ReplacePictureReferences(aPage, references, {}) != aPage)
        std::abort();
    // Each value becomes "x" in double quotes; nothing else moves.
    if (ReplacePictureReferences(aPage, references, replacements).size() !=
        aPage.size() - written + 3 * references.size())
        std::abort();
}
