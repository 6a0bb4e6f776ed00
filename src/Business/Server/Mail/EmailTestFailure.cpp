#include "EmailTestFailure.h"

#include "TransportErrors.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace {

bool Contains(std::string_view aText, std::string_view aPart)
{
    return std::search(aText.begin(), aText.end(), aPart.begin(), aPart.end(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           }) != aText.end();
}

constexpr TEmailTestFailure kPop3UserError{etConnectPop3, es_CheckUserError, "ConnectedUserError"};
constexpr TEmailTestFailure kPop3PasswordError{etConnectPop3, es_CheckPwdError, "ConnectedError_CancelInput"};
constexpr TEmailTestFailure kPop3ConnectError{etConnectPop3, es_ConnectErrorPop3, "ConnectedError_errorEmailparam"};
constexpr TEmailTestFailure kPop3ReceiveError{etReceive, es_ReceiveError, "ConnectedError_Receiveerror"};
constexpr TEmailTestFailure kSmtpUserError{etConnectSmtp, es_CheckUserError, "ConnectedUserError"};
constexpr TEmailTestFailure kSmtpPasswordError{etConnectSmtp, es_CheckPwdError, "ConnectedError_CancelInput"};
constexpr TEmailTestFailure kSmtpLoginError{etConnectSmtp, es_ConnectErrorSmtp, "ConnectedUserError"};
constexpr TEmailTestFailure kSmtpConnectError{etConnectSmtp, es_ConnectErrorSmtp, kSmtpConnectErrorKey};
constexpr TEmailTestFailure kSmtpSendError{etSendMail, es_SendError, "ConnectedSuccess_SendMailError"};

// A refused USER or PASS. Codes that say the login itself was fine but the
// server cannot take it now (RFC 2449, RFC 3206) are not the user's fault.
TEmailTestFailure Pop3LoginRefusal(const EPop3ReplyError& aError, bool aPassword)
{
    const std::string& code = aError.Reply().ExtendedCode();
    if (code == "[IN-USE]" || code == "[LOGIN-DELAY]" || code.rfind("[SYS/", 0) == 0)
        return kPop3ConnectError;
    if (code == "[AUTH]")
        return aPassword ? kPop3PasswordError : kPop3UserError;
    const std::string text = aError.Reply().Text();
    if (Contains(text, "authorization failed"))
        return kPop3UserError;
    if (Contains(text, "Unable to log on") || Contains(text, "Invalid password or username"))
        return kPop3PasswordError;
    return aPassword ? kPop3PasswordError : kPop3UserError;
}

} // namespace

TEmailTestFailure ClassifyPop3TestError(const std::exception& aError, const std::string& aLastCommand)
{
    if (aLastCommand == "STAT")
        return kPop3ReceiveError;
    if (const auto* refusal = dynamic_cast<const EPop3ReplyError*>(&aError)) {
        if (aLastCommand == "USER")
            return Pop3LoginRefusal(*refusal, false);
        if (aLastCommand == "PASS")
            return Pop3LoginRefusal(*refusal, true);
    }
    // Unreachable, refused greeting or STLS, a certificate that does not
    // verify, a timeout, a reply that breaks the protocol.
    return kPop3ConnectError;
}

TEmailTestFailure ClassifySmtpTestError(const std::exception& aError, const std::string& aLastCommand,
                                        bool aLoggedIn)
{
    if (aLoggedIn)
        return kSmtpSendError;
    const auto* refusal = dynamic_cast<const ESmtpReplyError*>(&aError);
    if (!refusal || aLastCommand != "AUTH")
        return kSmtpConnectError;
    const TServerReply& reply = refusal->Reply();
    // 535 and 5.7.8: the credentials are wrong (RFC 4954).
    if (reply.NumericCode() == 535 || reply.ExtendedCode() == "5.7.8")
        return kSmtpLoginError;
    const std::string text = reply.Text();
    if (Contains(text, "登录失败，用户不存在"))
        return kSmtpUserError;
    if (Contains(text, "登录失败，密码错误"))
        return kSmtpPasswordError;
    if (Contains(text, "Authentication failed") || Contains(text, "authentication credentials invalid"))
        return kSmtpLoginError;
    // A temporary failure, a method the server will not take, TLS asked
    // for first: the settings or the server, not the password.
    return kSmtpConnectError;
}
