// The maker's update server: what the client asks at every start.
//
//   GET /Update/info.json   the published update information, as it was
//                           published; 404 while nothing is published
//   GET /Update/Install/ID  a setup package: the file stored under ID (see
//                           StoreFile); 404 for any other name
//
// Tests script the replies of that path (Script); the demo and manual runs
// publish through an admin route:
//   POST /__admin/update    {"info": the update information, a JSON value
//                            served as its text, or a string served as it
//                            is; null withdraws it}
#include "FakeMakerServer.h"

#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>

void RegisterUpdateRoutes(TFakeMakerServer& aServer)
{
    struct TPublished {
        std::mutex Mutex;
        std::optional<std::string> Info;
    };
    auto published = std::make_shared<TPublished>();

    aServer.AddRoute("GET", "/Update/info.json", [published](const TFakeRequest&) {
        TFakeReply reply;
        std::lock_guard lock(published->Mutex);
        if (!published->Info) {
            reply.Status = 404;
            reply.ContentType = "text/plain";
            reply.Body = "nothing published";
            return reply;
        }
        reply.Body = *published->Info;
        return reply;
    });
    TFakeMakerServer* server = &aServer;
    aServer.AddPrefixRoute("/Update/Install/", [server](const TFakeRequest& aRequest) {
        TFakeReply reply;
        const std::string id = aRequest.Path.substr(aRequest.Path.rfind('/') + 1);
        if (const auto stored = server->StoredFile(id)) {
            reply.ContentType = "application/octet-stream";
            reply.File = *stored;
            return reply;
        }
        reply.Status = 404;
        reply.ContentType = "text/plain";
        reply.Body = "no such package";
        return reply;
    });
    aServer.AddRoute("POST", "/__admin/update", [published](const TFakeRequest& aRequest) {
        const auto json = nlohmann::json::parse(aRequest.Body, nullptr, false);
        if (!json.is_object() || !json.contains("info"))
            throw std::invalid_argument("expected {\"info\": ...}");
        const nlohmann::json& info = json["info"];
        std::lock_guard lock(published->Mutex);
        if (info.is_null())
            published->Info.reset();
        else
            published->Info = info.is_string() ? info.get<std::string>() : info.dump(2);
        return TFakeReply::Json({{"published", published->Info.has_value()}});
    });
}
