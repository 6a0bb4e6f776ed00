// What a POP3 server sends back on a line: status lines and UIDL lines.
// Each line either parses or raises the one malformed-reply error, never
// anything else; a parsed UIDL line has a positive number and a uid
// without control characters, a parsed status line is "+OK" or "-ERR".
#include "FuzzEntry.h"

#include "Business/Server/Mail/Pop3Client.h"
#include "Business/Server/Mail/TransportErrors.h"

#include <cstdlib>
#include <string_view>

QUILLMAR_FUZZ_ENTRY(FuzzPop3Reply)
{
    std::string_view rest(reinterpret_cast<const char*>(aData), aSize);
    // Each line of the input is one line from the server.
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        try {
            const TServerReply reply = ParsePop3StatusLine(line);
            if (reply.Code() != "+OK" && reply.Code() != "-ERR")
                std::abort();
            reply.FormattedText();
        } catch (const EMalformedReplyError&) {
        }
        try {
            const TUidlEntry entry = ParseUidlLine(line);
            if (entry.Number <= 0 || entry.Uid.empty())
                std::abort();
            for (char c : entry.Uid)
                if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
                    std::abort();
        } catch (const EMalformedReplyError&) {
        }
    }
    return 0;
}
