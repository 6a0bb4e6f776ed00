// The maker's web platform: the account requests of the configuration
// manager and the server driver. Fields marked "encoded" arrive
// percent-encoded (UTF-8) and are decoded before use; the others are used
// as they come. A request that lacks a field it needs gets the route's
// failure reply. The platform remembers, per email_user, what it was told
// (in memory, for this server's life), so a later question answers it.
//
//   POST /mailOprAction!getUserRegistrTime.action
//        fields user_email, user_password (the DES-enciphered password)
//        → {"result": true, "info": kFakeRegistrationTime}, or, when a
//          field is missing, {"result": false, "info": "TavroServerError"}
//   POST /mailOprAction!saveUserMailInfo.action
//        fields smtp_host, smtp_username, smtp_password, smtp_auth,
//        smtp_useremail, smtp_port, smtp_use_ssl, pop3_host, pop3_port,
//        pop3_use_ssl, server_verify
//        → {"result": true, "info": ""}, or, without smtp_useremail,
//          {"result": false, "info": "TavroServerError"}
//   POST /mailOprAction!setUserExtraInfo.action
//        encoded fields email_user, whitelist, blacklist, keywords;
//        remembers the three texts for email_user
//        → {"result": "1", "info": "保存成功"}, or, without email_user,
//          {"result": "0", "info": "缺少邮箱地址"}
//   POST /mailOprAction!getUserExtraInfo.action
//        encoded field email_user
//        → {"result": "1", "info": "<JSON text of {"blacklist", "whitelist",
//          "keywords" (texts), "receiveforeign" (0 or 1)}>"} for an address
//          the platform was told about, else {"result": "0", "info": ""}
//   POST /mailOprAction!setMailReceiveState.action
//        fields email_user, isReceive ("0" all mail, "1" foreign only);
//        remembers isReceive as the address's "receiveforeign"
//        → {"result": true, "info": ""}, or, without email_user or with
//          another isReceive, {"result": false, "info": "TavroServerError"}
//   POST /mailOprAction!setClientLoginInfo.action
//        fields clientID, emailList, type
//        → {"result": true, "info": ""} (the client does not read it)
//   POST /mailOprAction!reTranslation.action
//        encoded fields mail_uid, user_email, retranslate_reason
//        → {"result": "1", "info": ""}, or, without mail_uid or
//          user_email, {"result": "0", "info": "TavroServerError"}
#include "FakeMakerServer.h"
#include "PlatformRoutes.h"

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace {

// What the platform was told about one address.
struct TFakeUser {
    std::string BlackList;
    std::string WhiteList;
    std::string Keywords;
    int ReceiveForeign = 0;
};

struct TFakePlatform {
    std::mutex Mutex;
    std::map<std::string, TFakeUser> Users;   // by email_user; only ever a key
};

} // namespace

void RegisterPlatformRoutes(TFakeMakerServer& aServer)
{
    auto platform = std::make_shared<TFakePlatform>();

    aServer.AddRoute("POST", "/mailOprAction!getUserRegistrTime.action", [](const TFakeRequest& aRequest) {
        if (!aRequest.Field("user_email") || !aRequest.Field("user_password"))
            return TFakeReply::Json({{"result", false}, {"info", "TavroServerError"}});
        return TFakeReply::Json({{"result", true}, {"info", kFakeRegistrationTime}});
    });

    aServer.AddRoute("POST", "/mailOprAction!saveUserMailInfo.action", [](const TFakeRequest& aRequest) {
        if (!aRequest.Field("smtp_useremail"))
            return TFakeReply::Json({{"result", false}, {"info", "TavroServerError"}});
        return TFakeReply::Json({{"result", true}, {"info", ""}});
    });

    aServer.AddRoute("POST", "/mailOprAction!setUserExtraInfo.action", [platform](const TFakeRequest& aRequest) {
        const auto email = aRequest.EncodedField("email_user");
        if (!email || email->empty())
            return TFakeReply::Json({{"result", "0"}, {"info", "缺少邮箱地址"}});
        std::lock_guard lock(platform->Mutex);
        TFakeUser& user = platform->Users[*email];
        user.WhiteList = aRequest.EncodedField("whitelist").value_or("");
        user.BlackList = aRequest.EncodedField("blacklist").value_or("");
        user.Keywords = aRequest.EncodedField("keywords").value_or("");
        return TFakeReply::Json({{"result", "1"}, {"info", "保存成功"}});
    });

    aServer.AddRoute("POST", "/mailOprAction!getUserExtraInfo.action", [platform](const TFakeRequest& aRequest) {
        const auto email = aRequest.EncodedField("email_user");
        std::lock_guard lock(platform->Mutex);
        const auto it = email ? platform->Users.find(*email) : platform->Users.end();
        if (it == platform->Users.end())
            return TFakeReply::Json({{"result", "0"}, {"info", ""}});
        const nlohmann::json info = {{"blacklist", it->second.BlackList},
                                     {"whitelist", it->second.WhiteList},
                                     {"keywords", it->second.Keywords},
                                     {"receiveforeign", it->second.ReceiveForeign}};
        return TFakeReply::Json({{"result", "1"}, {"info", info.dump()}});
    });

    aServer.AddRoute("POST", "/mailOprAction!setMailReceiveState.action", [platform](const TFakeRequest& aRequest) {
        const auto email = aRequest.Field("email_user");
        const auto mode = aRequest.Field("isReceive");
        if (!email || email->empty() || !mode || (*mode != "0" && *mode != "1"))
            return TFakeReply::Json({{"result", false}, {"info", "TavroServerError"}});
        std::lock_guard lock(platform->Mutex);
        platform->Users[*email].ReceiveForeign = *mode == "1" ? 1 : 0;
        return TFakeReply::Json({{"result", true}, {"info", ""}});
    });

    aServer.AddRoute("POST", "/mailOprAction!setClientLoginInfo.action", [](const TFakeRequest&) {
        return TFakeReply::Json({{"result", true}, {"info", ""}});
    });

    aServer.AddRoute("POST", "/mailOprAction!reTranslation.action", [](const TFakeRequest& aRequest) {
        const auto uid = aRequest.EncodedField("mail_uid");
        const auto email = aRequest.EncodedField("user_email");
        if (!uid || uid->empty() || !email || email->empty())
            return TFakeReply::Json({{"result", "0"}, {"info", "TavroServerError"}});
        return TFakeReply::Json({{"result", "1"}, {"info", ""}});
    });
}
