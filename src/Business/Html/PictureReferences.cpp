#include "PictureReferences.h"
#include "Runtime/Hex.h"

#include <algorithm>
#include <cstring>
#include <gumbo.h>
#include <memory>
#include <optional>
#include <utility>

namespace {

bool IsTagBlank(char c)
{
    // The tokenizer's white space; a CR counts, as it reads CR and CRLF as
    // LF.
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

// Where an attribute's value is written, quotes included, found by reading
// the page from the end of the attribute's written name as the HTML
// tokenizer does. Nothing for a valueless or empty attribute. gumbo's own
// span of the value is not used: it starts after a character reference
// that opens an unquoted value ("src=&amp;x").
std::optional<std::pair<std::size_t, std::size_t>> WrittenValue(std::string_view aHtml, std::size_t aNameEnd)
{
    std::size_t at = aNameEnd;
    while (at < aHtml.size() && IsTagBlank(aHtml[at]))
        ++at;
    if (at == aHtml.size() || aHtml[at] != '=')
        return std::nullopt;   // '/', '>' or the next attribute: no value
    ++at;
    while (at < aHtml.size() && IsTagBlank(aHtml[at]))
        ++at;
    if (at == aHtml.size() || aHtml[at] == '>')
        return std::nullopt;
    const std::size_t start = at;
    if (aHtml[at] == '"' || aHtml[at] == '\'') {
        const std::size_t close = aHtml.find(aHtml[at], at + 1);
        if (close == std::string_view::npos)
            return std::nullopt;
        return std::make_pair(start, close + 1 - start);
    }
    while (at < aHtml.size() && !IsTagBlank(aHtml[at]) && aHtml[at] != '>')
        ++at;
    return std::make_pair(start, at - start);
}

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
        const GumboStringPiece& name = attribute->original_name;
        if (!wanted || !name.data || name.data < aHtml.data() || name.data > aHtml.data() + aHtml.size() ||
            name.length > aHtml.size() - static_cast<std::size_t>(name.data - aHtml.data()))
            continue;
        const auto value = WrittenValue(aHtml, static_cast<std::size_t>(name.data - aHtml.data()) + name.length);
        if (value)
            aOut.push_back({value->first, value->second, attribute->value});
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
