#include "Business/Server/Mail/Pop3Client.h"
#include "Business/Server/Mail/TransportErrors.h"

#include <gtest/gtest.h>

TEST(Pop3ParseTest, StatusLines)
{
    struct TCase {
        std::string Line, Code, Extended, Text;
    };
    const TCase cases[] = {
        {"+OK", "+OK", "", ""},
        {"+OK Dovecot ready.", "+OK", "", "Dovecot ready."},
        {"-ERR [AUTH] Authentication failed.", "-ERR", "[AUTH]", "Authentication failed."},
        {"-ERR [SYS/TEMP] try later", "-ERR", "[SYS/TEMP]", "try later"},
        {"-ERR [IN-USE]", "-ERR", "[IN-USE]", ""},
        {"-err no such message", "-ERR", "", "no such message"},
        {"-ERR [unclosed bracket", "-ERR", "", "[unclosed bracket"},
        {"+OK  two blanks", "+OK", "", "two blanks"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Line);
        const TServerReply reply = ParsePop3StatusLine(c.Line);
        EXPECT_EQ(reply.Kind(), rkPop3);
        EXPECT_EQ(reply.Code(), c.Code);
        EXPECT_EQ(reply.ExtendedCode(), c.Extended);
        EXPECT_EQ(reply.Text(), c.Text);
        EXPECT_EQ(reply.IsSuccess(), c.Code == "+OK");
    }
    for (const char* broken : {"", "OK", "+OKAY", "-ERROR x", "* OK IMAP here", "220 smtp ready"}) {
        SCOPED_TRACE(broken);
        EXPECT_THROW(ParsePop3StatusLine(broken), EMalformedReplyError);
    }
}

TEST(Pop3ParseTest, UidlLinesAreParsedStrictlyAndUidsKeptAsData)
{
    const std::pair<std::string, TUidlEntry> good[] = {
        {"1 1700000000.M1P1.host", {1, "1700000000.M1P1.host"}},
        {"12 a\"b", {12, "a\"b"}},            // a double quote is data
        {"3 abc def", {3, "abc def"}},        // everything after the first blank
        {"7 \xe4\xb8\xad", {7, "\xe4\xb8\xad"}},
        {"2147483647 x", {2147483647, "x"}},
    };
    for (const auto& [line, entry] : good) {
        SCOPED_TRACE(line);
        EXPECT_EQ(ParseUidlLine(line), entry);
    }
    const std::string broken[] = {"", "1", "1 ", "x abc", "0 abc", "-1 abc", "+1 abc", " 1 abc", "1x abc",
                                  "2147483648 abc", "99999999999999999999 abc", "1 a\tb", std::string("1 a\0b", 5),
                                  "1 a\x7f"};
    for (const std::string& line : broken) {
        SCOPED_TRACE(line);
        EXPECT_THROW(ParseUidlLine(line), EMalformedReplyError);
    }
}
