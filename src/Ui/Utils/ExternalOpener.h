// Handing an address to the desktop (its browser, its mail program): only
// http, https and mailto, through xdg-open started directly (never through
// a shell).
#pragma once

#include <functional>
#include <string>

// Whether aUrl is one the desktop may be given: an http, https or mailto
// address (scheme in any case) without blanks or control characters.
bool IsExternalUrlAllowed(const std::string& aUrl);

// Starts the opener for aUrl; false when the address is not allowed or the
// opener could not be started. Never waits for it.
bool OpenExternalUrl(const std::string& aUrl);

// The opener in use instead of xdg-open (tests; empty restores xdg-open);
// the previous one.
using TExternalOpener = std::function<bool(const std::string& aUrl)>;
TExternalOpener SetExternalOpener(TExternalOpener aOpener);
