// How the account connection test names a failure: by the step and the
// reply code first, by the server's words only where the code leaves it
// open. (The common cases run against real servers in AccountCheckTest.)
#include "Business/Server/Mail/EmailTestFailure.h"
#include "Business/Server/Mail/TransportErrors.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

std::shared_ptr<std::exception> Pop3Refusal(const char* aCode, const char* aText)
{
    return std::make_shared<EPop3ReplyError>(TServerReply::Pop3("-ERR", aCode, aText));
}

std::shared_ptr<std::exception> SmtpRefusal(int aCode, const char* aEnhanced, const char* aText)
{
    return std::make_shared<ESmtpReplyError>(TServerReply::Smtp(aCode, aEnhanced, {aText}));
}

TEST(EmailTestFailureTest, Pop3)
{
    const TEmailTestFailure user{etConnectPop3, es_CheckUserError, "ConnectedUserError"};
    const TEmailTestFailure password{etConnectPop3, es_CheckPwdError, "ConnectedError_CancelInput"};
    const TEmailTestFailure connect{etConnectPop3, es_ConnectErrorPop3, "ConnectedError_errorEmailparam"};
    const TEmailTestFailure receive{etReceive, es_ReceiveError, "ConnectedError_Receiveerror"};
    struct TCase {
        const char* Name;
        std::shared_ptr<std::exception> Error;
        const char* Command;
        TEmailTestFailure Expected;
    } cases[] = {
        {"Dovecot's wrong password", Pop3Refusal("[AUTH]", "Authentication failed."), "PASS", password},
        {"USER refused with [AUTH]", Pop3Refusal("[AUTH]", "no such user"), "USER", user},
        {"USER refused, no code", Pop3Refusal("", "unknown"), "USER", user},
        {"PASS refused, no code", Pop3Refusal("", "sorry"), "PASS", password},
        {"PASS: old server's words", Pop3Refusal("", "Invalid password or username"), "PASS", password},
        {"PASS: authorization failed", Pop3Refusal("", "authorization failed"), "PASS", user},
        {"mailbox in use", Pop3Refusal("[IN-USE]", "Mailbox locked"), "PASS", connect},
        {"server trouble", Pop3Refusal("[SYS/TEMP]", "Try again later"), "PASS", connect},
        {"too soon", Pop3Refusal("[LOGIN-DELAY]", "Wait"), "USER", connect},
        {"STLS refused", Pop3Refusal("", "TLS unavailable"), "STLS", connect},
        {"greeting refused", Pop3Refusal("", "go away"), "", connect},
        {"a timeout while connecting", std::make_shared<ETimeoutError>("timed out"), "", connect},
        {"a bad certificate", std::make_shared<ETlsCertificateError>("certificate verify failed"), "", connect},
        {"STAT refused", Pop3Refusal("", "no"), "STAT", receive},
        {"STAT drops", std::make_shared<EConnectionClosed>("closed"), "STAT", receive},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(ClassifyPop3TestError(*c.Error, c.Command), c.Expected);
    }
}

TEST(EmailTestFailureTest, Smtp)
{
    const TEmailTestFailure login{etConnectSmtp, es_ConnectErrorSmtp, "ConnectedUserError"};
    const TEmailTestFailure user{etConnectSmtp, es_CheckUserError, "ConnectedUserError"};
    const TEmailTestFailure password{etConnectSmtp, es_CheckPwdError, "ConnectedError_CancelInput"};
    const TEmailTestFailure connect{etConnectSmtp, es_ConnectErrorSmtp, kSmtpConnectErrorKey};
    const TEmailTestFailure send{etSendMail, es_SendError, "ConnectedSuccess_SendMailError"};
    struct TCase {
        const char* Name;
        std::shared_ptr<std::exception> Error;
        const char* Command;
        bool LoggedIn;
        TEmailTestFailure Expected;
    } cases[] = {
        {"535", SmtpRefusal(535, "5.7.8", "Authentication credentials invalid"), "AUTH", false, login},
        {"5.7.8 under another code", SmtpRefusal(554, "5.7.8", "no"), "AUTH", false, login},
        {"words only", SmtpRefusal(550, "", "Authentication failed"), "AUTH", false, login},
        {"unknown user, in Chinese", SmtpRefusal(550, "", "登录失败，用户不存在，login failed"), "AUTH", false, user},
        {"wrong password, in Chinese", SmtpRefusal(550, "", "登录失败，密码错误，login failed"), "AUTH", false,
         password},
        {"temporary", SmtpRefusal(454, "4.7.0", "Temporary authentication failure"), "AUTH", false, connect},
        {"TLS first", SmtpRefusal(530, "5.7.0", "Must issue a STARTTLS command first"), "AUTH", false, connect},
        {"STARTTLS refused", SmtpRefusal(454, "4.7.0", "TLS not available"), "STARTTLS", false, connect},
        {"greeting refused", SmtpRefusal(554, "", "no service"), "", false, connect},
        {"refused connection", std::make_shared<ESocketError>("Connection refused"), "", false, connect},
        {"sender refused", SmtpRefusal(550, "5.7.1", "Authentication failed"), "MAIL", true, send},
        {"dropped after login", std::make_shared<EConnectionClosed>("closed"), "DATA", true, send},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(ClassifySmtpTestError(*c.Error, c.Command, c.LoggedIn), c.Expected);
    }
}

} // namespace
