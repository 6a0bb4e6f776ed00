// The maker's web platform: the account requests of the configuration
// manager and the server driver.
//
//   POST /mailOprAction!getUserRegistrTime.action
//        fields user_email, user_password (the DES-enciphered password)
//        → {"result": true, "info": kFakeRegistrationTime}, or, when a
//          field is missing, {"result": false, "info": "TavroServerError"}
#include "FakeMakerServer.h"
#include "PlatformRoutes.h"

void RegisterPlatformRoutes(TFakeMakerServer& aServer)
{
    aServer.AddRoute("POST", "/mailOprAction!getUserRegistrTime.action", [](const TFakeRequest& aRequest) {
        if (!aRequest.Field("user_email") || !aRequest.Field("user_password"))
            return TFakeReply::Json({{"result", false}, {"info", "TavroServerError"}});
        return TFakeReply::Json({{"result", true}, {"info", kFakeRegistrationTime}});
    });
}
