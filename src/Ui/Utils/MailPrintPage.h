// The printable page of a mail: a header block (subject, senders,
// recipients, date and time) between two rules, then the mail's body.
#pragma once

#include <string>

class TRcMailComplex;

struct TMailPrintFields {
    std::string Subject;
    std::string Senders;      // the From addresses, ", " between them
    std::string Recipients;   // the To addresses, ", " between them
    std::string Date;         // "yyyy-mm-dd", empty without a date
    std::string Time;         // "hh:nn:ss"
};

TMailPrintFields MailPrintFieldsOf(TRcMailComplex* aMailComplex);

// The page: every field is escaped; the body is the mail's own page, put
// inline below the header block so that a long mail prints whole (a frame
// would be cut at its own height).
std::string MakeMailPrintPage(const TMailPrintFields& aFields, const std::string& aBodyHtml);
