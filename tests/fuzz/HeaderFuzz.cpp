// Header text from strangers: encoded words (RFC 2047, charsets named by
// the sender), raw 8-bit bytes, address lists. Nothing may crash or hang;
// what comes out is always UTF-8; what the program writes back decodes to
// the same text and the same addresses.
//
// Input: the first line names a charset for ToUtf8, the rest is the text.
#include "FuzzEntry.h"
#include "FuzzUtf8.h"

#include "Business/Mime/AddressList.h"
#include "Business/Mime/Charset.h"
#include "Business/Mime/HeaderCoding.h"

#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void ExpectUtf8(const std::string& aText)
{
    if (!IsUtf8(aText))
        std::abort();
}

// Blanks collapsed: folding may turn a run of blanks into one.
std::string Squeezed(std::string_view aText)
{
    std::string out;
    for (char c : aText) {
        if (c == ' ' && (out.empty() || out.back() == ' '))
            continue;
        out += c;
    }
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

} // namespace

QUILLMAR_FUZZ_ENTRY(FuzzHeader)
{
    const std::string_view bytes(reinterpret_cast<const char*>(aData), aSize);
    if (bytes.size() > 8192)
        return 0;   // header values are short; longer inputs only slow the search
    const std::size_t newline = bytes.find('\n');
    const std::string_view charset = newline == std::string_view::npos ? std::string_view() : bytes.substr(0, newline);
    const std::string_view text = newline == std::string_view::npos ? bytes : bytes.substr(newline + 1);

    CanonicalCharset(charset);
    ExpectUtf8(ToUtf8(text, charset));
    ExpectUtf8(RawHeaderToUtf8(text));
    const std::string decoded = DecodeHeaderText(text);
    ExpectUtf8(decoded);

    // What the program writes is one line of printable text that decodes
    // back to the sanitised value.
    const std::string sane = SanitizeHeaderText(decoded);
    for (char c : sane)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            std::abort();
    if (Squeezed(DecodeHeaderText(EncodeHeaderText(sane))) != Squeezed(sane))
        std::abort();

    const auto items = ParseAddressList(decoded);
    for (const auto& item : items) {
        ExpectUtf8(item.Name);
        ExpectUtf8(item.Address);
    }
    IsValidEmail(decoded);
    return 0;
}
