// The headers the program writes on the mails it composes: its own
// encoding of header text, replies and forwards, read receipts.
#pragma once

#include <string>
#include <vector>

#include "AddressList.h"

typedef struct _GMimeObject GMimeObject;

// Sets a header to text encoded by our own coder (UTF-8 B-words), so the
// library picks neither the charset nor Q or B. Control characters are
// removed first.
void SetEncodedHeader(GMimeObject* aObject, const char* aName, const std::string& aText);
void SetAddressHeader(GMimeObject* aObject, const char* aName, const std::vector<TAddressItem>& aItems);

std::string ReplySubject(const std::string& aSourceSubject);     // "Re: …"
std::string ForwardSubject(const std::string& aSourceSubject);   // "Fw: …"

// Who a reply goes to: the source's Reply-To addresses (each once), else
// its From; reply to all adds To and Cc not yet there; then the user's own
// address is removed while more than one recipient remains. Addresses
// compare trimmed, ignoring case.
std::vector<TAddressItem> ReplyRecipients(const std::vector<TAddressItem>& aReplyTo,
                                          const std::vector<TAddressItem>& aFrom,
                                          const std::vector<TAddressItem>& aTo,
                                          const std::vector<TAddressItem>& aCc, bool aReplyAll,
                                          const std::string& aOwnAddress);

// The four lines of the disposition notification of a read receipt.
std::string ReadReceiptReport(const std::string& aFromAddress, const std::string& aOriginalMessageId);

// Text put into generated HTML (receipt pages, quoted header lines).
std::string EscapeHtml(const std::string& aText);
