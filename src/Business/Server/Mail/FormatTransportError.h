// FormatTransportError: the one text every transport job reports for a
// failed connection, login or transfer.
#pragma once

#include <exception>
#include <string>
#include <string_view>

#include "ServerReply.h"

// Logs the failure at Warning under aLogPrefix (with the error's class and
// message and the client's last reply), then builds the text for the user:
// - a reply error shows the server's code with the error's message:
//   "-ERR [AUTH] Authentication failed.", "535 5.7.8 Bad credentials";
// - any other error is its own message when the last reply is missing or
//   a success, otherwise the last reply's code and text;
// - a message of several lines becomes an indented block that starts on a
//   new line, the code on a line of its own, CR LF after every line.
// aLastReply may be null (no reply yet).
std::string FormatTransportError(std::string_view aLogPrefix, const std::exception& aError,
                                 const TServerReply* aLastReply);
