// A multipart/form-data body split into its parts, every part header kept.
//
// cpp-httplib's own multipart reader hands out only a part's name, file
// name and content type, and the tests must see the rest as well (the
// "Content-Transfer-Encoding: 7bit" of the encoded fields), so the server
// reads the raw body and splits it here.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "FakeMakerServer.h"

// The boundary of a "multipart/form-data; boundary=..." content type, or
// none for any other type.
std::optional<std::string> MultipartBoundary(std::string_view aContentType);

// Appends the parts of aBody to aParts, in order; false when the body is
// not well formed (the parts read so far stay).
bool ParseMultipart(std::string_view aBody, std::string_view aBoundary, std::vector<TFakePart>& aParts);
