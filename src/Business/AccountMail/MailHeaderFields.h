// The fields of a mail record that come from its message header.
#pragma once

#include <string>
#include <vector>

#include <gmime/gmime.h>

#include "Business/Mime/AddressList.h"
#include "Runtime/DateTime.h"

// Items as one text, comma separated: Name <address>, with the name
// quoted when it holds a character that would split it.
std::string AddressListText(const std::vector<TAddressItem>& aItems);

struct TMailHeaderFields {
    std::string MessageId;
    std::string From;   // the From list as one text
    std::string To;     // To, Cc and Bcc as one text
    std::string Subject;
    bool HasDate = false;
    TDateTime Date = 0;   // local time
};

TMailHeaderFields MailHeaderFieldsOf(GMimeMessage* aMessage);
