// Text helpers of the HTTP module: form value encoding and URL forms for
// the wire and for the log.
#pragma once

#include <string>
#include <string_view>

// Percent-encodes a value the way a URL parameter carries it: every byte
// outside A-Z a-z 0-9 - . _ ~ becomes %XX with upper-case hex, so a space
// is "%20" and "+" is "%2B". UTF-8 text stays UTF-8 underneath.
std::string HttpUrlEncodeParam(std::string_view aValue);

// The URL as handed to libcurl: spaces, control characters and non-ASCII
// bytes are percent-encoded (the service paths are used exactly as given,
// and one of them ends in a blank, which libcurl would refuse as it is).
// Everything else, "%" included, is left alone.
std::string HttpWireUrl(std::string_view aUrl);

// The URL fit for a log line: scheme, host, port and path only. The query,
// the fragment and any user:password@ part are dropped, since they may
// carry credentials or form values.
std::string HttpUrlForLog(std::string_view aUrl);
