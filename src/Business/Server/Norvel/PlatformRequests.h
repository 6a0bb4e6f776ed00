// The requests to the maker's platform, one blocking call each.
//
// The platform fetches each account's mail for translation on its side,
// so it is told the account's servers and credentials, its name lists and
// subject keywords, and its receive mode; it also takes re-translation
// requests and the list of addresses a client works with.
//
// Every request is a multipart/form-data POST to the platform's address
// followed by the request's path, with its fields in a fixed order, each
// either plain or percent-encoded (THttpField::Plain / Encoded). Replies
// are JSON objects with "result" and "info", and each request reads them
// its own way (Boolean, or the text compared with "0"), as written at each
// function below.
//
// These functions never throw: every outcome is a TPlatformReply. With no
// platform address the service is off: nothing is sent and the reply
// fails with TConfigManager::kServiceOff. A reply that is not a JSON
// object with a "result" is never read as a success, whatever the request
// would otherwise compare (an error page must not pass for "not 0").
//
// They block the calling thread; TServerDriver runs them on worker
// threads (PlatformRequestRunner.h).
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "Business/Http/HttpRequest.h"

struct TAccountSettings;
class TRunableCancelList;

struct TPlatformReply {
    bool Result = false;
    // Why it failed, in the words the user sees; some successes carry a
    // text of the platform's too (ReTranslation).
    std::string ErrorText;
    // GetNameListMailFilterToTavro: the "info" as it came (a JSON text).
    std::string Data;
    // Ended by a cancel before a whole reply came.
    bool Cancelled = false;
};

struct TPlatformContext {
    // The platform's address, each path appended to it unchanged; empty:
    // the service is off.
    std::string BaseUrl;
    THttpOptions Options;
    // Holds the running request, so another thread can cancel it.
    TRunableCancelList* CancelList = nullptr;
    // Set by a canceller before it cancels the list: a request that starts
    // after that is not sent (a cancel that came before the request was
    // registered would otherwise be lost).
    const std::atomic<bool>* Cancelled = nullptr;
    // A message text by key, "" for an unknown key (TConfigManager::GetMsg).
    std::function<std::string(const std::string& aKey)> MessageText;
};

// The texts these requests fail with, from the platform's own client.
inline constexpr const char* kNameListSaveFailed = "Quillmar服务器连接失败，请稍后重新保存";
inline constexpr const char* kReceiveModeUnreachable = "服务器网络不通，请稍后再试";
inline constexpr const char* kReceiveModeBadReply = "服务器返回内容格式错误";
inline constexpr const char* kReTranslationFailed = "Quillmar服务器连接失败，请稍后重试";

// The account's servers and credentials (the SMTP password enciphered with
// EncryDes), all plain. "result" is read as a Boolean. A failed post or a
// reply that is not JSON fails with the text of "TavroServerError"; false
// fails with the text whose key is "info" (an unknown key: "info" itself;
// none: "TavroServerError"'s text).
TPlatformReply SaveMailInfoToTavro(const TPlatformContext& aContext, const TAccountSettings& aAccount);

// The account's name lists and subject keywords, encoded. "result" "0"
// fails with the "info" text; any other result succeeds. A failed post or
// an unreadable reply fails with kNameListSaveFailed.
TPlatformReply SaveNameListMailFilterToTavro(const TPlatformContext& aContext, const std::string& aEmail,
                                             const std::string& aBlackList, const std::string& aWhiteList,
                                             const std::string& aKeywords);

// The platform's copy of the lists, encoded address. "result" other than
// "0": succeeds with Data = "info" as it came (an object or a text holding
// JSON; the caller parses it). "0": fails with the text whose key is
// "info" (or "info" itself), maybe empty. A failed post or an unreadable
// reply fails with the text of "TavroServerError", Data empty.
TPlatformReply GetNameListMailFilterToTavro(const TPlatformContext& aContext, const std::string& aEmail);

// The account's receive mode, aMode "0" (all mail) or "1" (foreign mail
// only), plain. "result" is read as a Boolean; false fails with the text
// whose key is "info" (or "info" itself, or "TavroServerError"'s text). A
// failed post fails with kReceiveModeUnreachable, a reply that is not
// JSON with kReceiveModeBadReply.
TPlatformReply SaveReceiveMailTypeToTavro(const TPlatformContext& aContext, const std::string& aEmail,
                                          const std::string& aMode);

// The client's id and the addresses it works with (AppMessageEmailList),
// plain. The reply is not read: Result says only whether the post went
// through.
TPlatformReply SaveAppMessageToTavro(const TPlatformContext& aContext, const std::string& aAppId,
                                     const std::string& aAddressList);

// Asks for a mail to be translated again, encoded; aReason from
// ReTranslationReason. Result: "result" is not the text "0". ErrorText:
// the text whose key is "info", else "info" itself, else empty (a
// success may carry one too; callers show it when not empty). A failed
// post or an unreadable reply fails with kReTranslationFailed.
TPlatformReply ReTranslation(const TPlatformContext& aContext, const std::string& aEmail,
                             const std::string& aMailUid, const std::string& aReason);

// The reason of a re-translation: the preset reasons 1, 2 and 3 as "1",
// "2", "3"; 4 is the user's own text, "4," followed by it, the whole
// trimmed (so blanks leading the text stay, trailing ones go). Throws
// std::invalid_argument for any other choice.
std::string ReTranslationReason(int aChoice, std::string_view aOwnText = {});

// The addresses of all accounts as the platform takes them: joined with
// ",", nothing after the last.
std::string AppMessageEmailList(const std::vector<std::string>& aEmails);
