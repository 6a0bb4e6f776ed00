#include "PictureReferences.h"
#include "Runtime/Hex.h"

#include <algorithm>
#include <cstring>
#include <gumbo.h>
#include <memory>

namespace {

void Walk(const GumboNode* aNode, std::string_view aHtml, std::vector<TPictureReference>& aOut)
{
    if (aNode->type != GUMBO_NODE_ELEMENT && aNode->type != GUMBO_NODE_TEMPLATE)
        return;
    const GumboElement& element = aNode->v.element;
    const bool image = element.tag == GUMBO_TAG_IMG;
    for (unsigned i = 0; i < element.attributes.length; ++i) {
        const auto* attribute = static_cast<const GumboAttribute*>(element.attributes.data[i]);
        const bool wanted = image ? std::strcmp(attribute->name, "src") == 0
                                  : std::strcmp(attribute->name, "background") == 0;
        // A valueless attribute has nothing to rewrite: gumbo then points
        // its value at the attribute's name, which must stay as written.
        if (!wanted || !attribute->original_value.data || attribute->original_value.length == 0 ||
            attribute->original_value.data == attribute->original_name.data)
            continue;
        if (attribute->original_value.data < aHtml.data())
            continue;
        const std::size_t offset = static_cast<std::size_t>(attribute->original_value.data - aHtml.data());
        if (offset + attribute->original_value.length > aHtml.size())
            continue;
        aOut.push_back({offset, attribute->original_value.length, attribute->value});
    }
    for (unsigned i = 0; i < element.children.length; ++i)
        Walk(static_cast<const GumboNode*>(element.children.data[i]), aHtml, aOut);
}

} // namespace

std::vector<TPictureReference> FindPictureReferences(std::string_view aHtml)
{
    std::vector<TPictureReference> references;
    std::unique_ptr<GumboOutput, void (*)(GumboOutput*)> output(
        gumbo_parse_with_options(&kGumboDefaultOptions, aHtml.data(), aHtml.size()),
        [](GumboOutput* aOutput) { gumbo_destroy_output(&kGumboDefaultOptions, aOutput); });
    if (output)
        Walk(output->root, aHtml, references);
    std::sort(references.begin(), references.end(),
              [](const TPictureReference& a, const TPictureReference& b) { return a.Offset < b.Offset; });
    // A formatting element that the parser opens again (a <b> across a
    // paragraph) repeats the same written attributes: one reference each,
    // and none that overlaps the one before.
    std::vector<TPictureReference> distinct;
    for (auto& reference : references)
        if (distinct.empty() || reference.Offset >= distinct.back().Offset + distinct.back().Length)
            distinct.push_back(std::move(reference));
    return distinct;
}

std::string ReplacePictureReferences(std::string_view aHtml, const std::vector<TPictureReference>& aReferences,
                                     const std::vector<std::pair<std::size_t, std::string>>& aReplacements)
{
    std::vector<std::pair<std::size_t, std::string>> ordered = aReplacements;
    std::sort(ordered.begin(), ordered.end(), [&](const auto& a, const auto& b) {
        return aReferences[a.first].Offset < aReferences[b.first].Offset;
    });
    std::string out;
    std::size_t at = 0;
    for (const auto& [index, value] : ordered) {
        const TPictureReference& reference = aReferences[index];
        if (reference.Offset < at)
            continue;
        out += aHtml.substr(at, reference.Offset - at);
        out += '"';
        for (char c : value) {
            if (c == '"')
                out += "&quot;";
            else if (c == '&')
                out += "&amp;";
            else
                out += c;
        }
        out += '"';
        at = reference.Offset + reference.Length;
    }
    out += aHtml.substr(at);
    return out;
}

std::string PercentDecode(std::string_view aText)
{
    std::string out;
    for (std::size_t i = 0; i < aText.size(); ++i) {
        if (aText[i] == '%' && i + 2 < aText.size() && HexDigitValue(aText[i + 1]) >= 0 && HexDigitValue(aText[i + 2]) >= 0) {
            out += static_cast<char>(HexDigitValue(aText[i + 1]) * 16 + HexDigitValue(aText[i + 2]));
            i += 2;
        } else {
            out += aText[i];
        }
    }
    return out;
}
