// The maker's services' replies: any body is read leniently, and no reader
// may throw, crash or hang, whatever "result" and "info" hold.
#include "FuzzEntry.h"

#include "Business/Http/HttpJsonReply.h"

#include <cstdlib>
#include <string_view>

QUILLMAR_FUZZ_ENTRY(FuzzJsonReply)
{
    const std::string_view body(reinterpret_cast<const char*>(aData), aSize);
    const THttpJsonReply reply = THttpJsonReply::Parse(body);
    if (!reply.IsJson() && (reply.HasResult() || !reply.InfoText().empty() || reply.InfoJson()))
        std::abort();
    reply.ResultBool();
    reply.ResultInt();
    reply.ResultText();
    reply.InfoText();
    if (const auto info = reply.InfoJson(); info && !info->is_object() && !info->is_array())
        std::abort();
    return 0;
}
