// Messages from and to bytes.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

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

// Streams the decoded content of a leaf part into a new file (0600), never
// holding it whole in memory.
void WriteDecodedContentToFile(GMimeObject* aPart, const std::filesystem::path& aFile);

// The decoded content of a leaf part (for an attached message, the
// message as written).
std::string DecodedContentOf(GMimeObject* aPart);
