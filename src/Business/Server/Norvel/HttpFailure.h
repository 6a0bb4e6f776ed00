// A request to the maker's services that did not bring a whole 2xx reply,
// raised as the transport error it is, so FormatTransportError reports it
// like a mail server's failure: the HTTP status the server answered with,
// or what broke the connection, or a cancel.
#pragma once

#include "Business/Http/HttpRequest.h"

[[noreturn]] void RaiseHttpFailure(const THttpResult& aResult);
