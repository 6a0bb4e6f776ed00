// The admin routes: script the next replies of a route, read back what the
// server received, start afresh. Not recorded themselves.
//
//   POST /__admin/script    {"path": "/route", "replies": [{...}, ...]}
//                           (the members of a reply: TScriptedReply::FromJson)
//   GET  /__admin/requests  [{"method", "path", "query", "contentType",
//                             "parts": [{"name", "filename", "contentType",
//                                        "headers", "value", "size"}], "body"}]
//   POST /__admin/reset     forgets scripts and recorded requests
#include "FakeMakerServer.h"

#include <stdexcept>

void RegisterAdminRoutes(TFakeMakerServer& aServer)
{
    TFakeMakerServer* server = &aServer;

    server->AddRoute("POST", "/__admin/script", [server](const TFakeRequest& aRequest) {
        const auto json = nlohmann::json::parse(aRequest.Body, nullptr, false);
        if (!json.is_object() || !json.contains("path") || !json["path"].is_string() || !json.contains("replies") ||
            !json["replies"].is_array())
            throw std::invalid_argument("expected {\"path\": \"/route\", \"replies\": [...]}");
        std::vector<TScriptedReply> replies;
        for (const auto& reply : json["replies"])
            replies.push_back(TScriptedReply::FromJson(reply));
        const auto count = replies.size();
        server->Script(json["path"].get<std::string>(), std::move(replies));
        return TFakeReply::Json({{"scripted", count}});
    });

    server->AddRoute("GET", "/__admin/requests", [server](const TFakeRequest&) {
        auto list = nlohmann::json::array();
        for (const auto& request : server->Requests())
            list.push_back(TFakeMakerServer::ToJson(request));
        return TFakeReply::Json(list);
    });

    server->AddRoute("POST", "/__admin/reset", [server](const TFakeRequest&) {
        server->Reset();
        return TFakeReply::Json({{"reset", true}});
    });
}
