// Read receipts the user agrees to send: where the sender asked for one,
// and the receipt itself, queued for SMTP like any other mail.
#pragma once

#include <string>

#include "Runtime/DateTime.h"

class TRcMailComplex;
class TRcResPath;

// The address a mail's sender asked the receipt at (its header
// Disposition-Notification-To, the first address); "" when it asks for
// none or the header holds no usable address.
std::string ReadReceiptAddress(TRcMailComplex* aComplex);

// The configured texts of a receipt (the message list's ReceiptSubject,
// ReceiptMailTitle, ReceiptSorceSubiect and ReceiptMemo).
struct TReadReceiptTexts {
    std::string Subject;         // put before the mail's subject
    std::string MailTitle;       // "your mail was read by:"
    std::string SourceSubject;   // "subject:"
    std::string Memo;            // "read at:"
};

// A receipt for the mail shown with aShownSubject and Message-ID
// aMessageId, from the account aAccountResPath to aReceiptAddress, read at
// aNow: stored in the drafts as read, then moved into the sending folder
// for the next send job. Its path there. An address that is not one plain
// e-mail address raises before anything is stored.
TRcResPath* QueueReadReceipt(TRcResPath* aAccountResPath, const TReadReceiptTexts& aTexts,
                             const std::string& aShownSubject, const std::string& aMessageId,
                             const std::string& aReceiptAddress, TDateTime aNow);
