#include "UserTextFold.h"

#include "Runtime/AsciiText.h"

#include <glib.h>

#include <algorithm>
#include <memory>

namespace {

struct TGFree {
    void operator()(gchar* aText) const { g_free(aText); }
};
using TGString = std::unique_ptr<gchar, TGFree>;

bool IsAscii(std::string_view aText)
{
    return std::all_of(aText.begin(), aText.end(), [](unsigned char c) { return c < 0x80; });
}

} // namespace

std::string FoldUserText(std::string_view aText)
{
    // Plain ASCII needs neither normalisation nor the Unicode tables.
    if (IsAscii(aText))
        return AsciiLower(aText);
    if (!g_utf8_validate(aText.data(), static_cast<gssize>(aText.size()), nullptr))
        return AsciiLower(aText);
    TGString normal(g_utf8_normalize(aText.data(), static_cast<gssize>(aText.size()), G_NORMALIZE_ALL_COMPOSE));
    if (!normal)
        return AsciiLower(aText);
    TGString folded(g_utf8_casefold(normal.get(), -1));
    // Folding can undo a composition ("ǰ" folds to j and a combining mark).
    TGString again(g_utf8_normalize(folded.get(), -1, G_NORMALIZE_ALL_COMPOSE));
    return again ? std::string(again.get()) : std::string(folded.get());
}

bool ContainsUserText(std::string_view aText, std::string_view aFoldedNeedle)
{
    if (aFoldedNeedle.empty())
        return true;
    return FoldUserText(aText).find(aFoldedNeedle) != std::string::npos;
}
