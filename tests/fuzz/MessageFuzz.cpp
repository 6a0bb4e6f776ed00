// Any bytes taken apart as a message, and any header text decoded: none
// may crash, hang or leak. Built with libFuzzer by ./build.sh fuzz; in the
// test suite the same entry point replays the corpus.
#include "Business/Mime/HeaderCoding.h"
#include "Business/Mime/MessageBuilder.h"
#include "Business/Mime/MessageIo.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize)
{
    const std::string_view bytes(reinterpret_cast<const char*>(aData), aSize);
    TGObject<GMimeMessage> message = ParseMessage(bytes);
    TIdMessageBuilderHtmlEx parts;
    parts.InitByIdMessage(message.get());
    if (message)
        HeaderText(GMIME_OBJECT(message.get()), "Subject");
    DecodeHeaderText(bytes.substr(0, 4096));
    return 0;
}
