#include "BodyText.h"

#include <gumbo.h>

#include <memory>
#include <vector>

namespace {

class TTextGatherer {
public:
    explicit TTextGatherer(std::size_t aMax) : FMax(aMax) {}

    bool Full() const { return FCount >= FMax; }
    std::string Take() { return std::move(FText); }

    void Append(const char* aText)
    {
        for (const unsigned char* p = reinterpret_cast<const unsigned char*>(aText); *p && !Full();) {
            std::size_t length = 1;
            if (*p >= 0xF0)
                length = 4;
            else if (*p >= 0xE0)
                length = 3;
            else if (*p >= 0xC0)
                length = 2;
            std::size_t taken = 0;
            while (taken < length && p[taken])
                ++taken;
            FText.append(reinterpret_cast<const char*>(p), taken);
            p += taken;
            ++FCount;
        }
    }

private:
    std::size_t FMax;
    std::size_t FCount = 0;
    std::string FText;
};

// The parser always builds document > html > body.
const GumboNode* ChildElement(const GumboVector& aChildren, GumboTag aTag)
{
    for (unsigned i = 0; i < aChildren.length; ++i) {
        const auto* child = static_cast<const GumboNode*>(aChildren.data[i]);
        if (child->type == GUMBO_NODE_ELEMENT && child->v.element.tag == aTag)
            return child;
    }
    return nullptr;
}

const GumboNode* FindBody(const GumboNode* aDocument)
{
    const GumboNode* html = ChildElement(aDocument->v.document.children, GUMBO_TAG_HTML);
    return html ? ChildElement(html->v.element.children, GUMBO_TAG_BODY) : nullptr;
}

// Iterative: a hostile page nests elements deeper than any stack.
void Gather(const GumboNode* aRoot, TTextGatherer& aText)
{
    std::vector<std::pair<const GumboNode*, unsigned>> stack{{aRoot, 0}};
    while (!stack.empty() && !aText.Full()) {
        auto& [node, next] = stack.back();
        const GumboVector& children = node->v.element.children;
        if (next >= children.length) {
            stack.pop_back();
            continue;
        }
        const auto* child = static_cast<const GumboNode*>(children.data[next++]);
        switch (child->type) {
        case GUMBO_NODE_TEXT:
        case GUMBO_NODE_WHITESPACE:
        case GUMBO_NODE_CDATA: aText.Append(child->v.text.text); break;
        case GUMBO_NODE_ELEMENT:
        case GUMBO_NODE_TEMPLATE: {
            const GumboTag tag = child->v.element.tag;
            if (tag != GUMBO_TAG_SCRIPT && tag != GUMBO_TAG_STYLE && tag != GUMBO_TAG_TEMPLATE &&
                tag != GUMBO_TAG_NOSCRIPT)
                stack.emplace_back(child, 0);
            break;
        }
        default: break;
        }
    }
}

} // namespace

std::string HtmlBodyText(std::string_view aHtml, std::size_t aMaxCodePoints)
{
    TTextGatherer text(aMaxCodePoints);
    if (aMaxCodePoints == 0)
        return {};
    std::unique_ptr<GumboOutput, void (*)(GumboOutput*)> output(
        gumbo_parse_with_options(&kGumboDefaultOptions, aHtml.data(), aHtml.size()),
        [](GumboOutput* aOutput) { gumbo_destroy_output(&kGumboDefaultOptions, aOutput); });
    if (!output)
        return {};
    if (const GumboNode* body = FindBody(output->document))
        Gather(body, text);
    return text.Take();
}
