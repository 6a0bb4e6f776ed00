// Where a page refers to pictures: the src of img elements and the
// background attribute of any element. Found with gumbo and rewritten by
// splicing the original text at the parser's offsets, so everything else
// in the page stays byte for byte as it was.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct TPictureReference {
    std::size_t Offset = 0;   // the attribute's value as written, quotes included
    std::size_t Length = 0;
    std::string Value;        // the value with entities decoded
};

std::vector<TPictureReference> FindPictureReferences(std::string_view aHtml);

// Replaces each reference's written value by the new value, quoted and
// escaped. aReplacements are (index into aReferences, new value).
std::string ReplacePictureReferences(std::string_view aHtml, const std::vector<TPictureReference>& aReferences,
                                     const std::vector<std::pair<std::size_t, std::string>>& aReplacements);

// %XX sequences decoded (a malformed one stays as it is).
std::string PercentDecode(std::string_view aText);
