// Any bytes taken apart as a message (the parser, then every part taken
// out as the program stores it): nothing may crash, hang or leak. Built
// with libFuzzer by ./build.sh fuzz; in the test suite the same entry
// point replays the corpus. Header words and pages have targets of their
// own (HeaderFuzz, HtmlPicturesFuzz); this one still runs the quick checks
// of both, so its older corpus keeps exercising them.
#include "FuzzEntry.h"

#include "Business/Mime/HeaderCoding.h"
#include "Business/Mime/MessageBuilder.h"
#include "Business/Mime/MessageIo.h"
#include "Business/Html/PictureReferences.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

namespace {

void CheckPictureReferences(std::string_view aPage)
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
    
    if (ReplacePictureReferences(aPage, references, replacements).size() !=
        aPage.size() - written + 3 * references.size())
        std::abort();
}

} // namespace

QUILLMAR_FUZZ_ENTRY(FuzzMessage)
{
    const std::string_view bytes(reinterpret_cast<const char*>(aData), aSize);
    TGObject<GMimeMessage> message = ParseMessage(bytes);
    TIdMessageBuilderHtmlEx parts;
    parts.InitByIdMessage(message.get());
    if (message)
        HeaderText(GMIME_OBJECT(message.get()), "Subject");
    DecodeHeaderText(bytes.substr(0, 4096));
    CheckPictureReferences(bytes);
    return 0;
}
