// What an SMTP server sends back: the lines of one reply ("250-…" …
// "250 …"). They either form a reply or raise the one malformed-reply
// error, never anything else; a reply has a three-digit code and as many
// text lines as it came in.
#include "FuzzEntry.h"

#include "Business/Server/Mail/SmtpClient.h"
#include "Business/Server/Mail/TransportErrors.h"

#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

QUILLMAR_FUZZ_ENTRY(FuzzSmtpReply)
{
    std::string_view rest(reinterpret_cast<const char*>(aData), aSize);
    std::vector<std::string> lines;
    while (!rest.empty() && lines.size() < 1000) {
        const std::size_t end = rest.find('\n');
        std::string line(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
    }
    try {
        const TServerReply reply = ParseSmtpReply(lines);
        if (reply.NumericCode() < 100 || reply.NumericCode() > 999 || reply.Lines().size() != lines.size())
            std::abort();
        reply.FormattedText();
        reply.IsSuccess();
    } catch (const EMalformedReplyError&) {
    }
    return 0;
}
