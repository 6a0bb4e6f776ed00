// Messages from and to bytes.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "GMimePtr.h"

// Any bytes; nullptr when nothing resembling a message is there.
TGObject<GMimeMessage> ParseMessage(std::string_view aBytes);
// The message as it would be written to a file.
std::string SerialiseMessage(GMimeMessage* aMessage);
// The message written straight into a new file (0600), so a large
// attachment is never held whole in memory.
void WriteMessageToFile(GMimeMessage* aMessage, const std::filesystem::path& aFile);
// A header's text decoded by our own rules from its raw bytes (GMime's
// decoded value has already guessed a charset for raw 8-bit bytes); ""
// when absent.
std::string HeaderText(GMimeObject* aObject, const char* aName);
// The addresses of an address field (From, To, Cc, Bcc), in order, those
// without an address left out.
std::vector<std::string> HeaderAddresses(GMimeObject* aObject, const char* aName);

// The boundaries of the multiparts around a part of a parsed message, in
// any order. An attached message (message/rfc822 part) ends at the first
// line that is one of them: given them, it comes back exactly as it was
// in the mail, byte for byte (when GMime kept the bytes it parsed, as it
// does for a seekable stream).
using TEnclosingBoundaries = std::vector<std::string>;

// Streams the decoded content of a part into a new file (0600), never
// holding it whole in memory.
void WriteDecodedContentToFile(GMimeObject* aPart, const std::filesystem::path& aFile,
                               const TEnclosingBoundaries& aAround);

// The decoded content of a part.
std::string DecodedContentOf(GMimeObject* aPart, const TEnclosingBoundaries& aAround);
// The same where the part's place is not known: an attached message is
// then GMime's writing of it, with the line ends it came with.
std::string DecodedContentOf(GMimeObject* aPart);
