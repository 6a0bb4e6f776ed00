// Any bytes taken apart as a message (the parser, then every part taken
// out as the program stores it): nothing may crash, hang or leak. Built
// with libFuzzer by ./build.sh fuzz; in the test suite the same entry
// point replays the corpus. Header words and pages have targets of their
// own (HeaderFuzz, HtmlPicturesFuzz); this one still runs the quick checks
// of both, so its older corpus keeps exercising them.
#include "FuzzEntry.h"
#include "PictureReferenceChecks.h"

#include "Business/Mime/HeaderCoding.h"
#include "Business/Mime/MessageBuilder.h"
#include "Business/Mime/MessageIo.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

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
