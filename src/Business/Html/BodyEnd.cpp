#include "BodyEnd.h"

#include <gumbo.h>

#include <memory>

namespace {

struct TGumboOutputDeleter {
    void operator()(GumboOutput* aOutput) const { gumbo_destroy_output(&kGumboDefaultOptions, aOutput); }
};

// The written end tag of an element, as an offset; npos when it was implied.
std::size_t EndTagOffset(const GumboNode* aNode, std::string_view aHtml)
{
    if (!aNode || aNode->type != GUMBO_NODE_ELEMENT)
        return std::string_view::npos;
    const GumboStringPiece& tag = aNode->v.element.original_end_tag;
    if (!tag.data || tag.length == 0 || tag.data < aHtml.data() || tag.data >= aHtml.data() + aHtml.size())
        return std::string_view::npos;
    return static_cast<std::size_t>(tag.data - aHtml.data());
}

} // namespace

std::size_t BodyEndOffset(std::string_view aHtml)
{
    std::unique_ptr<GumboOutput, TGumboOutputDeleter> output(
        gumbo_parse_with_options(&kGumboDefaultOptions, aHtml.data(), aHtml.size()));
    if (!output)
        return aHtml.size();
    const GumboNode* root = output->root;
    const GumboNode* body = nullptr;
    if (root && root->type == GUMBO_NODE_ELEMENT) {
        const GumboVector& children = root->v.element.children;
        for (unsigned i = 0; i < children.length; ++i) {
            const auto* child = static_cast<const GumboNode*>(children.data[i]);
            if (child->type == GUMBO_NODE_ELEMENT && child->v.element.tag == GUMBO_TAG_BODY)
                body = child;
        }
    }
    std::size_t at = EndTagOffset(body, aHtml);
    if (at == std::string_view::npos)
        at = EndTagOffset(root, aHtml);
    return at == std::string_view::npos ? aHtml.size() : at;
}

std::string InsertAtBodyEnd(std::string_view aHtml, std::string_view aFragment)
{
    const std::size_t at = BodyEndOffset(aHtml);
    std::string out;
    out.reserve(aHtml.size() + aFragment.size());
    out.append(aHtml.substr(0, at)).append(aFragment).append(aHtml.substr(at));
    return out;
}
