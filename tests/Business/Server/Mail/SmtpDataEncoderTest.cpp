// What goes after DATA: line ends, leading dots, the Bcc field, X-Mailer;
// the same whatever the pieces the file is read in.
#include "Business/Server/Mail/SmtpDataEncoder.h"

#include <gtest/gtest.h>

namespace {

std::string Encoded(std::string_view aMessage, std::size_t aPiece)
{
    TSmtpDataEncoder encoder;
    std::string out;
    for (std::size_t at = 0; at < aMessage.size(); at += aPiece)
        encoder.Put(aMessage.substr(at, aPiece), out);
    encoder.Finish(out);
    return out;
}

TEST(SmtpDataEncoderTest, LineEndsDotsBccAndMailer)
{
    const std::string mailer = "X-Mailer: Norvel Quillmar 2\r\n";
    struct TCase {
        const char* Name;
        std::string Message;
        std::string Data;
    } cases[] = {
        {"plain", "Subject: a\r\n\r\nbody\r\n", "Subject: a\r\n" + mailer + "\r\nbody\r\n"},
        {"bare line ends", "Subject: a\n\nline\rnext\n", "Subject: a\r\n" + mailer + "\r\nline\r\nnext\r\n"},
        {"no final line end", "Subject: a\r\n\r\nlast", "Subject: a\r\n" + mailer + "\r\nlast\r\n"},
        {"leading dots", "Subject: a\r\n\r\n.\r\n..x\r\n.end", "Subject: a\r\n" + mailer + "\r\n..\r\n...x\r\n..end\r\n"},
        {"bcc with folded lines",
         "To: a@x\r\nBcc: hidden@x,\r\n\tother@x\r\nSubject: s\r\n\r\nBcc: in the body stays\r\n",
         "To: a@x\r\nSubject: s\r\n" + mailer + "\r\nBcc: in the body stays\r\n"},
        {"bcc in any case, last field", "To: a@x\r\nBCC : h@x\r\n\r\nb\r\n", "To: a@x\r\n" + mailer + "\r\nb\r\n"},
        {"own mailer kept", "X-Mailer: other\r\n\r\nb\r\n", "X-Mailer: other\r\n\r\nb\r\n"},
        {"header only", "Subject: a\r\nBcc: h@x", "Subject: a\r\n" + mailer},
        {"bcc-like names stay", "Bccx: 1\r\nX-Bcc: 2\r\n\r\n", "Bccx: 1\r\nX-Bcc: 2\r\n" + mailer + "\r\n"},
    };
    for (const TCase& c : cases)
        for (std::size_t piece : {std::size_t{1}, std::size_t{2}, std::size_t{7}, c.Message.size() + 1}) {
            SCOPED_TRACE(std::string(c.Name) + ", pieces of " + std::to_string(piece));
            EXPECT_EQ(Encoded(c.Message, piece), c.Data);
        }
}

} // namespace
