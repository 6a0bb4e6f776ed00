// Messages from and to bytes.
#pragma once

#include <string>
#include <string_view>

#include "GMimePtr.h"

// Any bytes; nullptr when nothing resembling a message is there.
TGObject<GMimeMessage> ParseMessage(std::string_view aBytes);
// The message as it would be written to a file.
std::string SerialiseMessage(GMimeMessage* aMessage);
// A header's text decoded by our own rules from its raw bytes (GMime's
// decoded value has already guessed a charset for raw 8-bit bytes); ""
// when absent.
std::string HeaderText(GMimeObject* aObject, const char* aName);

// The decoded content of a leaf part (for an attached message, the
// message as written).
std::string DecodedContentOf(GMimeObject* aPart);
