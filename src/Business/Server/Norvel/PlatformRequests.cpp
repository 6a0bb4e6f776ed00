#include "PlatformRequests.h"

#include "Business/Account/Account.h"
#include "Business/Data/ConfigManager.h"
#include "Business/Data/EncryDes.h"
#include "Business/Http/HttpJsonReply.h"
#include "Runtime/AsciiText.h"
#include "Runtime/Log.h"
#include "Runtime/RunableCancelList.h"

#include <exception>
#include <stdexcept>

namespace {

// Every path is appended to the platform's address as it stands; the
// trailing "?" of some is an empty query the server never sees.
constexpr const char* kSaveMailInfoPath = "mailOprAction!saveUserMailInfo.action?";
constexpr const char* kSaveNameListPath = "mailOprAction!setUserExtraInfo.action";
constexpr const char* kGetNameListPath = "mailOprAction!getUserExtraInfo.action";
constexpr const char* kReceiveModePath = "mailOprAction!setMailReceiveState.action?";
constexpr const char* kAppMessagePath = "mailOprAction!setClientLoginInfo.action?";
// The platform's own client sent this one with a blank after it, which is
// no part of the route.
constexpr const char* kReTranslationPath = "mailOprAction!reTranslation.action";

std::string Msg(const TPlatformContext& aContext, const std::string& aKey)
{
    return aContext.MessageText ? aContext.MessageText(aKey) : std::string();
}

// "info" as a key of the message texts, or, when it names none, the
// platform's own words.
std::string MsgOrInfo(const TPlatformContext& aContext, const std::string& aInfo)
{
    std::string text = Msg(aContext, aInfo);
    if (text.empty() && !Trimmed(aInfo, kControlsAndSpace).empty())
        text = aInfo;
    return text;
}

// A failure the user is shown never comes without words.
std::string NotEmpty(const TPlatformContext& aContext, std::string aText)
{
    return aText.empty() ? Msg(aContext, "TavroServerError") : aText;
}

TPlatformReply ServiceOff()
{
    TPlatformReply reply;
    reply.ErrorText = TConfigManager::kServiceOff;
    return reply;
}

struct TPosted {
    THttpResult Http;
    THttpJsonReply Reply;
    // A 2xx reply that is a JSON object with a "result": the only kind any
    // request reads.
    bool Readable() const { return Http.Ok && Reply.IsJson() && Reply.HasResult(); }
};

TPosted Post(const TPlatformContext& aContext, const char* aPath, const std::vector<THttpField>& aFields)
{
    auto http = MakeRc<THttpRequest>(aContext.Options);
    // The flag is looked at after registering: a canceller sets it before
    // it cancels the list, so one of the two reaches this request.
    const TRunableCancelRegistration registration(aContext.CancelList, http.Get(),
                                                  aContext.Cancelled && aContext.Cancelled->load());
    std::string url = aContext.BaseUrl;
    url.append(aPath);
    TPosted posted;
    posted.Http = http->PostForm(url, aFields);
    // A failed request leaves no reply to read.
    posted.Reply = THttpJsonReply::Parse(posted.Http.Ok ? posted.Http.Body : std::string());
    return posted;
}

// The common ending of a failed post: the request's own text, and whether
// a cancel ended it.
TPlatformReply Failed(const TPosted& aPosted, std::string aText)
{
    TPlatformReply reply;
    reply.ErrorText = std::move(aText);
    reply.Cancelled = aPosted.Http.Cancelled;
    return reply;
}

void LogFailure(const char* aRequest, const TPosted& aPosted)
{
    if (!aPosted.Http.Ok)
        TLog::O(lolWorn, "平台请求 %s 失败：%s", {aRequest, aPosted.Http.Error});
    else if (!aPosted.Readable())
        TLog::O(lolWorn, "平台请求 %s 的回复无法读取", {aRequest});
}

} // namespace

TPlatformReply SaveMailInfoToTavro(const TPlatformContext& aContext, const TAccountSettings& aAccount)
{
    if (aContext.BaseUrl.empty())
        return ServiceOff();
    std::string password;
    try {
        password = EncryDes(aAccount.FSmtpPassword);
    } catch (const std::exception& e) {
        TPlatformReply reply;
        reply.ErrorText = e.what();
        return reply;
    }
    const TPosted posted =
        Post(aContext, kSaveMailInfoPath,
             {THttpField::Plain("smtp_host", aAccount.FSmtpHost),
              // The platform names the account by its display name here.
              THttpField::Plain("smtp_username", aAccount.FName), THttpField::Plain("smtp_password", password),
              THttpField::Plain("smtp_auth", "1"), THttpField::Plain("smtp_useremail", aAccount.FEmail),
              THttpField::Plain("smtp_port", std::to_string(aAccount.FSmtpPort)),
              THttpField::Plain("smtp_use_ssl", aAccount.FSmtpUseSsl ? "1" : "0"),
              THttpField::Plain("pop3_host", aAccount.FPop3Host),
              THttpField::Plain("pop3_port", std::to_string(aAccount.FPop3Port)),
              THttpField::Plain("pop3_use_ssl", aAccount.FPop3UseSsl ? "1" : "0"),
              THttpField::Plain("server_verify", "1")});
    LogFailure("SaveMailInfoToTavro", posted);
    if (!posted.Readable())
        return Failed(posted, Msg(aContext, "TavroServerError"));
    TPlatformReply reply;
    reply.Result = posted.Reply.ResultBool();
    if (!reply.Result)
        reply.ErrorText = NotEmpty(aContext, MsgOrInfo(aContext, posted.Reply.InfoText()));
    return reply;
}

TPlatformReply SaveNameListMailFilterToTavro(const TPlatformContext& aContext, const std::string& aEmail,
                                             const std::string& aBlackList, const std::string& aWhiteList,
                                             const std::string& aKeywords)
{
    if (aContext.BaseUrl.empty())
        return ServiceOff();
    const TPosted posted = Post(aContext, kSaveNameListPath,
                                {THttpField::Encoded("email_user", aEmail), THttpField::Encoded("whitelist", aWhiteList),
                                 THttpField::Encoded("blacklist", aBlackList),
                                 THttpField::Encoded("keywords", aKeywords)});
    LogFailure("SaveNameListMailFilterToTavro", posted);
    if (!posted.Readable())
        return Failed(posted, kNameListSaveFailed);
    TPlatformReply reply;
    reply.Result = posted.Reply.ResultText() != "0";
    if (!reply.Result)
        reply.ErrorText = NotEmpty(aContext, posted.Reply.InfoText());
    return reply;
}

TPlatformReply GetNameListMailFilterToTavro(const TPlatformContext& aContext, const std::string& aEmail)
{
    if (aContext.BaseUrl.empty())
        return ServiceOff();
    const TPosted posted = Post(aContext, kGetNameListPath, {THttpField::Encoded("email_user", aEmail)});
    LogFailure("GetNameListMailFilterToTavro", posted);
    if (!posted.Readable())
        return Failed(posted, Msg(aContext, "TavroServerError"));
    TPlatformReply reply;
    reply.Result = posted.Reply.ResultText() != "0";
    if (reply.Result)
        reply.Data = posted.Reply.InfoText();
    else
        reply.ErrorText = MsgOrInfo(aContext, posted.Reply.InfoText());
    return reply;
}

TPlatformReply SaveReceiveMailTypeToTavro(const TPlatformContext& aContext, const std::string& aEmail,
                                          const std::string& aMode)
{
    if (aContext.BaseUrl.empty())
        return ServiceOff();
    const TPosted posted = Post(aContext, kReceiveModePath,
                                {THttpField::Plain("email_user", aEmail), THttpField::Plain("isReceive", aMode)});
    LogFailure("SaveReceiveMailTypeToTavro", posted);
    if (!posted.Http.Ok)
        return Failed(posted, kReceiveModeUnreachable);
    if (!posted.Readable())
        return Failed(posted, kReceiveModeBadReply);
    TPlatformReply reply;
    reply.Result = posted.Reply.ResultBool();
    if (!reply.Result)
        reply.ErrorText = NotEmpty(aContext, MsgOrInfo(aContext, posted.Reply.InfoText()));
    return reply;
}

TPlatformReply SaveAppMessageToTavro(const TPlatformContext& aContext, const std::string& aAppId,
                                     const std::string& aAddressList)
{
    if (aContext.BaseUrl.empty())
        return ServiceOff();
    const TPosted posted =
        Post(aContext, kAppMessagePath,
             {THttpField::Plain("clientID", aAppId), THttpField::Plain("emailList", aAddressList),
              THttpField::Plain("type", "1")});
    TPlatformReply reply;
    reply.Result = posted.Http.Ok;
    reply.ErrorText = posted.Http.Error;
    reply.Cancelled = posted.Http.Cancelled;
    return reply;
}

TPlatformReply ReTranslation(const TPlatformContext& aContext, const std::string& aEmail,
                             const std::string& aMailUid, const std::string& aReason)
{
    if (aContext.BaseUrl.empty())
        return ServiceOff();
    const TPosted posted =
        Post(aContext, kReTranslationPath,
             {THttpField::Encoded("mail_uid", aMailUid), THttpField::Encoded("user_email", aEmail),
              THttpField::Encoded("retranslate_reason", aReason)});
    LogFailure("ReTranslation", posted);
    if (!posted.Readable())
        return Failed(posted, kReTranslationFailed);
    TPlatformReply reply;
    reply.Result = posted.Reply.ResultText() != "0";
    reply.ErrorText = MsgOrInfo(aContext, posted.Reply.InfoText());
    return reply;
}

std::string ReTranslationReason(int aChoice, std::string_view aOwnText)
{
    if (aChoice >= 1 && aChoice <= 3)
        return std::to_string(aChoice);
    if (aChoice != 4) {
        std::string message = "no re-translation reason ";
        message.append(std::to_string(aChoice));
        throw std::invalid_argument(message);
    }
    std::string reason = "4,";
    reason.append(aOwnText);
    return Trimmed(reason, kControlsAndSpace);
}

std::string AppMessageEmailList(const std::vector<std::string>& aEmails)
{
    std::string list;
    for (std::size_t i = 0; i < aEmails.size(); ++i) {
        if (i > 0)
            list += ',';
        list += aEmails[i];
    }
    return list;
}
