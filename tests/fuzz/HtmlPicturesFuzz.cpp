// Pages from strangers as the program reads them: picture references found
// and spliced, "cid:" references rewritten, the body's text and the
// summary taken out. Nothing may crash, hang or leak; picture references
// lie inside the page, in order, each right after its '=', and splice back
// exactly; texts come out as UTF-8.
#include "FuzzEntry.h"
#include "PictureReferenceChecks.h"
#include "FuzzUtf8.h"

#include "Business/Html/BodyText.h"
#include "Business/Html/CidReferences.h"
#include "Business/Html/PictureReferences.h"
#include "Business/Server/Mail/MailSummary.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

void ExpectUtf8(const std::string& aText)
{
    if (!IsUtf8(aText))
        std::abort();
}

} // namespace

QUILLMAR_FUZZ_ENTRY(FuzzHtmlPictures)
{
    const std::string_view page(reinterpret_cast<const char*>(aData), aSize);
    CheckPictureReferences(page);
    PercentDecode(page.substr(0, 512));
    // With nothing to replace, a page stays byte for byte.
    if (ReplaceCidReferences(page, {}, TCidQuotes::Replace) != page)
        std::abort();
    ReplaceCidReferences(page, {{"part1@x", "/tmp/a b.png"}, {"", "empty"}}, TCidQuotes::Replace);
    ReplaceCidReferences(page, {{"part1@x", "\"q\""}}, TCidQuotes::Keep);
    const std::string text = HtmlBodyText(page, 200);
    if (IsUtf8(page)) {
        // Valid pages give valid text, at most 200 characters of it.
        ExpectUtf8(text);
        std::size_t codePoints = 0;
        for (unsigned char c : text)
            codePoints += (c & 0xC0) != 0x80;
        if (codePoints > 200)
            std::abort();
        ExpectUtf8(MailSummaryOf(page));
    } else {
        MailSummaryOf(page);
    }
    return 0;
}
