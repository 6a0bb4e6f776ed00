// Header text in and out of RFC 2047 encoded words.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "AddressList.h"

// A header value as the program writes it: CR, LF and every other control
// character removed (a tab becomes a blank), so no value can start a
// header of its own.
std::string SanitizeHeaderText(std::string_view aText);

// Text that needs it becomes UTF-8 B-words ("=?utf-8?B?…?="), each short
// enough for a line, split only between characters and folded onto
// continuation lines; plain ASCII stays as it is. Sanitised first.
std::string EncodeHeaderText(std::string_view aText);

// An address list for To, Cc, From…: names encoded as above (or quoted
// when they need it), addresses as they are.
std::string EncodeAddressList(const std::vector<TAddressItem>& aItems);

// Decodes encoded words, joining consecutive words of one charset and
// encoding first, so a character split across two words decodes whole;
// words of different charsets stay apart. Bare 8-bit text is taken as
// UTF-8, else GB18030, else Latin-1.
std::string DecodeHeaderText(std::string_view aRaw);
