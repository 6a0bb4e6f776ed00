// TServerReply: one reply of a mail or web server, kept as the last reply
// of a client so that errors can be explained with what the server said.
#pragma once

#include <string>
#include <vector>

enum TReplyKind {
    rkPop3,     // "+OK" or "-ERR", optionally an extended response code "[AUTH]"
    rkSmtp,     // a three-digit code, optionally an enhanced status code "5.7.8"
    rkNumeric,  // any other protocol with numeric codes (HTTP status)
    rkOther,    // a reply with a textual code
};

class TServerReply {
public:
    static TServerReply Pop3(std::string aCode, std::string aExtendedCode, std::string aText);
    static TServerReply Smtp(int aCode, std::string aEnhancedCode, std::vector<std::string> aLines);
    static TServerReply Numeric(int aCode, std::vector<std::string> aLines);
    static TServerReply Other(std::string aCode, std::vector<std::string> aLines);

    TReplyKind Kind() const { return FKind; }
    // "+OK" / "-ERR", or the number as text.
    const std::string& Code() const { return FCode; }
    // SMTP and numeric replies; 0 otherwise.
    int NumericCode() const { return FNumericCode; }
    // POP3: the extended response code with its brackets ("[IN-USE]");
    // SMTP: the enhanced status code ("5.7.8"); empty when there is none.
    const std::string& ExtendedCode() const { return FExtendedCode; }
    // The text after the code(s), one entry per reply line.
    const std::vector<std::string>& Lines() const { return FLines; }
    // The lines joined with "\n".
    std::string Text() const;

    // POP3 "+OK", a numeric code below 400.
    bool IsSuccess() const;
    // The reply as the server sent it, one line per reply line (for logs).
    std::string FormattedText() const;
    // The kind of reply, as the log names it.
    const char* ClassName() const;

private:
    TServerReply(TReplyKind aKind, std::string aCode, int aNumericCode, std::string aExtendedCode,
                 std::vector<std::string> aLines);

    TReplyKind FKind;
    std::string FCode;
    int FNumericCode;
    std::string FExtendedCode;
    std::vector<std::string> FLines;
};
