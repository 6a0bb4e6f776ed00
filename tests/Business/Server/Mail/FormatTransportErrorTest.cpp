#include "Business/Server/Mail/FormatTransportError.h"
#include "Business/Server/Mail/TransportErrors.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>

namespace {

struct TCase {
    const char* Name;
    std::function<void()> Raise;
    std::optional<TServerReply> LastReply;
    std::string Expected;
};

} // namespace

TEST(FormatTransportErrorTest, TextsByErrorAndLastReply)
{
    const TServerReply ok = TServerReply::Pop3("+OK", "", "Logged in.");
    const TServerReply inUse = TServerReply::Pop3("-ERR", "[IN-USE]", "Mailbox is locked");
    const TServerReply smtpRefused = TServerReply::Smtp(451, "4.3.0", {"Try again later"});
    const TServerReply smtpMultiLine = TServerReply::Smtp(554, "5.7.1", {"Message refused", "Policy violation"});
    const TServerReply smtpOk = TServerReply::Smtp(250, "2.0.0", {"OK"});
    const TServerReply http = TServerReply::Numeric(503, {"Service Unavailable"});
    const TServerReply other = TServerReply::Other("BAD", {"what?"});
    const TCase cases[] = {
        {"POP3 refusal with an extended code",
         [] { throw EPop3ReplyError(TServerReply::Pop3("-ERR", "[AUTH]", "Authentication failed.")); }, ok,
         "-ERR [AUTH] Authentication failed."},
        {"POP3 refusal without one", [] { throw EPop3ReplyError(TServerReply::Pop3("-ERR", "", "No such message")); },
         std::nullopt, "-ERR No such message"},
        {"POP3 refusal without text", [] { throw EPop3ReplyError(TServerReply::Pop3("-ERR", "", "")); }, std::nullopt,
         "-ERR"},
        {"SMTP refusal with an enhanced code",
         [] { throw ESmtpReplyError(TServerReply::Smtp(535, "5.7.8", {"Authentication credentials invalid"})); },
         std::nullopt, "535 5.7.8 Authentication credentials invalid"},
        {"SMTP refusal without a code", [] { throw ESmtpReplyError(TServerReply::Smtp(0, "", {"odd"})); },
         std::nullopt, "odd"},
        {"SMTP refusal of several lines",
         [] { throw ESmtpReplyError(TServerReply::Smtp(550, "5.1.1", {"No such user", "here"})); }, std::nullopt,
         "\r\n  550 5.1.1\r\n  No such user\r\n  here\r\n"},
        {"HTTP error: its message, no code", [] { throw EHttpProtocolError(500, "HTTP/1.1 500 Internal Server Error"); },
         http, "HTTP/1.1 500 Internal Server Error"},
        {"malformed reply: its message, even after a failed reply",
         [] { throw EMalformedReplyError("Malformed UIDL line \"x\""); }, inUse, "Malformed UIDL line \"x\""},
        {"socket error with no reply yet", [] { throw ESocketError("Connection to h:110 failed: Connection refused"); },
         std::nullopt, "Connection to h:110 failed: Connection refused"},
        {"socket error after a success", [] { throw EConnectionClosed("Connection closed by h:110"); }, ok,
         "Connection closed by h:110"},
        {"socket error after an SMTP success", [] { throw ETimeoutError("Read from h:25 timed out after 1 s"); },
         smtpOk, "Read from h:25 timed out after 1 s"},
        {"after a POP3 refusal: the reply", [] { throw EConnectionClosed("Connection closed by h:110"); }, inUse,
         "-ERR [IN-USE] Mailbox is locked"},
        {"after an SMTP refusal: the reply", [] { throw ETimeoutError("timed out"); }, smtpRefused,
         "451 4.3.0 Try again later"},
        {"after an SMTP refusal of several lines", [] { throw ETransportCancelled(); }, smtpMultiLine,
         "\r\n  554 5.7.1\r\n  Message refused\r\n  Policy violation\r\n"},
        {"after a numeric refusal", [] { throw std::runtime_error("x"); }, http, "503 Service Unavailable"},
        {"after a textual refusal", [] { throw std::runtime_error("x"); }, other, "BAD what?"},
        {"several lines without a code", [] { throw ESocketError("first\nsecond"); }, std::nullopt,
         "\r\n  first\r\n  second\r\n"},
        {"an empty message without a code", [] { throw ESocketError(""); }, std::nullopt, ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        try {
            c.Raise();
            FAIL() << "raised nothing";
        } catch (const std::exception& e) {
            EXPECT_EQ(FormatTransportError("POP3 ", e, c.LastReply ? &*c.LastReply : nullptr), c.Expected);
        }
    }
}
