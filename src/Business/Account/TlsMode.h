// How a mail connection of an account is secured.
#pragma once

#include <string_view>

enum TTlsMode {
    tlsmNone = 0,      // plain text
    tlsmImplicit = 1,  // TLS from the first byte (POP3 995, SMTP 465)
    tlsmStartTls = 2,  // plain greeting, then STLS / STARTTLS, which must succeed
};

enum TMailProtocol { mpPop3, mpSmtp };

// The mode an account gets when none was chosen: with SSL on, implicit TLS
// on the protocol's TLS port (995 for POP3, 465 for SMTP) and STARTTLS on
// any other port; with SSL off, none.
TTlsMode DefaultTlsMode(TMailProtocol aProtocol, bool aUseSsl, int aPort);

// "tlsmNone", "tlsmImplicit", "tlsmStartTls", as stored in the Info table.
const char* TlsModeText(TTlsMode aMode);
// The mode named by aText (any letter case); false for any other text.
bool TlsModeFromText(std::string_view aText, TTlsMode& aMode);
