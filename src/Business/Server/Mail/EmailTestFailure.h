// Which step of the account connection test failed, and what it means for
// the user, read from the failure.
//
// The step and the server's reply code decide; the reply's words are read
// only where the code leaves it open (servers word the same refusal in many
// ways: Dovecot says "-ERR [AUTH] Authentication failed.", others "Invalid
// password or username").
#pragma once

#include <exception>
#include <string>
#include <string_view>

#include "EmailTestObservable.h"

struct TEmailTestFailure {
    TEmailTask Task = etConnectPop3;
    TEmailTestState State = es_None;
    const char* MessageKey = "";   // the message text shown to the user
    bool operator==(const TEmailTestFailure& aOther) const
    {
        return Task == aOther.Task && State == aOther.State && std::string_view(MessageKey) == aOther.MessageKey;
    }
};

// A failure of the POP3 part; aLastCommand is the POP3 client's (empty
// while connecting).
TEmailTestFailure ClassifyPop3TestError(const std::exception& aError, const std::string& aLastCommand);
// A failure of the SMTP part; aLoggedIn: the login had succeeded, so the
// test mail itself failed.
TEmailTestFailure ClassifySmtpTestError(const std::exception& aError, const std::string& aLastCommand,
                                        bool aLoggedIn);

// The text for a connection that could not be made to the SMTP server.
inline constexpr const char* kSmtpConnectErrorKey = "ConnectedError_errorSmtpparam";
