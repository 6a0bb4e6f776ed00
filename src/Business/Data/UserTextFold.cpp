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

namespace {

// Normalised and folded with GLib: the part of a text that is not plain ASCII.
void FoldByGlib(std::string_view aText, std::string& aOut)
{
    TGString normal(g_utf8_normalize(aText.data(), static_cast<gssize>(aText.size()), G_NORMALIZE_ALL_COMPOSE));
    if (!normal) {
        aOut += AsciiLower(aText);
        return;
    }
    TGString folded(g_utf8_casefold(normal.get(), -1));
    // Folding can undo a composition ("ǰ" folds to j and a combining mark).
    TGString again(g_utf8_normalize(folded.get(), -1, G_NORMALIZE_ALL_COMPOSE));
    aOut += again ? again.get() : folded.get();
}

} // namespace

std::string FoldUserText(std::string_view aText)
{
    // Plain ASCII needs neither normalisation nor the Unicode tables.
    if (IsAscii(aText))
        return AsciiLower(aText);
    if (!g_utf8_validate(aText.data(), static_cast<gssize>(aText.size()), nullptr))
        return AsciiLower(aText);
    // Mail subjects and addresses are mostly ASCII with a few other
    // characters: only the runs holding those go through the tables (a
    // search folds every row of a folder). An ASCII character followed by
    // another ASCII character cannot combine with anything, so the runs
    // fold alone exactly as the whole text would; the ASCII character just
    // before a run joins it (a combining mark may follow it).
    std::string out;
    out.reserve(aText.size());
    std::size_t i = 0;
    const std::size_t n = aText.size();
    auto ascii = [&](std::size_t k) { return static_cast<unsigned char>(aText[k]) < 0x80; };
    while (i < n) {
        if (ascii(i) && (i + 1 == n || ascii(i + 1))) {
            const char c = aText[i++];
            out += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
            continue;
        }
        // A run: from here up to the next ASCII character that is followed
        // by ASCII (or ends the text).
        std::size_t end = i + 1;
        while (end < n && !(ascii(end) && (end + 1 == n || ascii(end + 1))))
            ++end;
        FoldByGlib(aText.substr(i, end - i), out);
        i = end;
    }
    return out;
}

bool ContainsUserText(std::string_view aText, std::string_view aFoldedNeedle)
{
    if (aFoldedNeedle.empty())
        return true;
    return FoldUserText(aText).find(aFoldedNeedle) != std::string::npos;
}
