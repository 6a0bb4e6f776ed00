// Transport settings of an account's POP3 and SMTP servers.
#pragma once

#include <functional>

#include "Business/Account/Account.h"
#include "LineTransport.h"

// Host, port, the account's TLS mode (chosen, or by the port rule) and its
// certificate choice; timeouts stay at the transport's defaults.
TTransportSettings Pop3TransportSettings(const TAccountSettings& aAccount);
TTransportSettings SmtpTransportSettings(const TAccountSettings& aAccount);

// A change a caller makes to the settings an account gives (a test's short
// timeouts and its own certificate authority).
using TTransportTuning = std::function<void(TTransportSettings&)>;
