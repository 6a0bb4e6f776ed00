#include "FakeMakerServer.h"

#include "Multipart.h"

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace {

constexpr const char* kAdminPrefix = "/__admin/";

std::string RegexEscape(const std::string& aPath)
{
    std::string out;
    for (const char c : aPath) {
        if (std::string_view("\\^$.|?*+()[]{}").find(c) != std::string_view::npos)
            out += '\\';
        out += c;
    }
    return out;
}

} // namespace

std::optional<std::string> TFakeRequest::Field(const std::string& aName) const
{
    for (const auto& part : Parts)
        if (part.Name == aName)
            return part.Value;
    return std::nullopt;
}

TFakeReply TFakeReply::Json(const nlohmann::json& aJson, int aStatus)
{
    TFakeReply reply;
    reply.Status = aStatus;
    reply.Body = aJson.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    return reply;
}

TScriptedReply TScriptedReply::FromJson(const nlohmann::json& aJson)
{
    if (!aJson.is_object())
        throw std::invalid_argument("a scripted reply must be an object");
    TScriptedReply reply;
    for (const auto& [key, value] : aJson.items()) {
        if (key == "delayMs" && value.is_number_integer())
            reply.DelayMs = value.get<int>();
        else if (key == "status" && value.is_number_integer())
            reply.Status = value.get<int>();
        else if (key == "body" && value.is_string())
            reply.Body = value.get<std::string>();
        else if (key == "json") {
            reply.Body = value.dump();
            reply.ContentType = reply.ContentType.value_or("application/json");
        } else if (key == "contentType" && value.is_string())
            reply.ContentType = value.get<std::string>();
        else if (key == "redirect" && value.is_string())
            reply.Redirect = value.get<std::string>();
        else
            throw std::invalid_argument("unknown or mistyped member of a scripted reply: " + key);
    }
    return reply;
}

struct TFakeMakerServer::TImpl {
    httplib::Server Server;
    std::thread Thread;
    std::string Host;
    int Port = 0;

    mutable std::mutex Mutex;
    std::condition_variable Wake;   // ends delays when the server stops
    bool Stopping = false;
    bool Listened = false;   // the serving loop has ended
    std::vector<TFakeRequest> Requests;
    std::map<std::string, std::deque<TScriptedReply>> Scripts;

    void Serve(const httplib::Request& aRequest, httplib::Response& aResponse, TFakeRequest aRecord,
               const TFakeHandler& aHandler);
};

void TFakeMakerServer::TImpl::Serve(const httplib::Request& aRequest, httplib::Response& aResponse,
                                    TFakeRequest aRecord, const TFakeHandler& aHandler)
{
    aRecord.Method = aRequest.method;
    aRecord.Path = aRequest.path;
    aRecord.Query.assign(aRequest.params.begin(), aRequest.params.end());

    std::optional<TScriptedReply> script;
    if (aRecord.Path.rfind(kAdminPrefix, 0) != 0) {
        std::lock_guard lock(Mutex);
        Requests.push_back(aRecord);
        auto it = Scripts.find(aRecord.Path);
        if (it != Scripts.end() && !it->second.empty()) {
            script = std::move(it->second.front());
            it->second.pop_front();
        }
    }

    if (script && script->DelayMs > 0) {
        std::unique_lock lock(Mutex);
        Wake.wait_for(lock, std::chrono::milliseconds(script->DelayMs), [this] { return Stopping; });
    }

    TFakeReply reply;
    if (script && (script->Body || script->Redirect)) {
        reply.Body = script->Body.value_or("");
        reply.ContentType = script->ContentType.value_or("text/plain");
        if (script->Redirect) {
            reply.Status = 302;
            reply.Headers.emplace_back("Location", *script->Redirect);
        }
    } else {
        try {
            reply = aHandler(aRecord);
        } catch (const std::exception& e) {
            reply.Status = 400;
            reply.Body = e.what();
            reply.ContentType = "text/plain";
        }
    }
    if (script && script->Status)
        reply.Status = *script->Status;

    aResponse.status = reply.Status;
    for (auto& [name, value] : reply.Headers)
        aResponse.set_header(name.c_str(), value);
    aResponse.set_content(reply.Body, reply.ContentType.c_str());
}

TFakeMakerServer::TFakeMakerServer() : FImpl(std::make_unique<TImpl>())
{
    // Idle client connections must not hold up Stop for long.
    FImpl->Server.set_keep_alive_timeout(1);
    // A reply goes out in several writes; with Nagle's algorithm a reused
    // connection waits for the client's delayed ACK (~40 ms) between them.
    FImpl->Server.set_tcp_nodelay(true);
    RegisterAdminRoutes(*this);
    RegisterTestRoutes(*this);
    RegisterPlatformRoutes(*this);
}

TFakeMakerServer::~TFakeMakerServer()
{
    Stop();
}

int TFakeMakerServer::Start(const std::string& aHost, int aPort)
{
    if (FImpl->Thread.joinable())
        throw std::runtime_error("the fake maker's server is already running");
    FImpl->Host = aHost;
    if (aPort == 0)
        FImpl->Port = FImpl->Server.bind_to_any_port(aHost.c_str());
    else
        FImpl->Port = FImpl->Server.bind_to_port(aHost.c_str(), aPort) ? aPort : -1;
    if (FImpl->Port <= 0)
        throw std::runtime_error("the fake maker's server cannot bind " + aHost + ":" + std::to_string(aPort));
    // The socket listens already, so requests made before the loop runs
    // wait in the backlog. But cpp-httplib's stop() does nothing until the
    // loop has begun, so Start returns only once it has: a Stop right after
    // Start must not leave the loop running for ever.
    FImpl->Thread = std::thread([impl = FImpl.get()] {
        impl->Server.listen_after_bind();
        std::lock_guard lock(impl->Mutex);
        impl->Listened = true;
    });
    for (;;) {
        if (FImpl->Server.is_running())
            break;
        {
            std::lock_guard lock(FImpl->Mutex);
            if (FImpl->Listened) {
                FImpl->Thread.join();
                throw std::runtime_error("the fake maker's server could not serve on " + aHost);
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return FImpl->Port;
}

void TFakeMakerServer::Stop()
{
    {
        std::lock_guard lock(FImpl->Mutex);
        FImpl->Stopping = true;
    }
    FImpl->Wake.notify_all();
    FImpl->Server.stop();
    if (FImpl->Thread.joinable())
        FImpl->Thread.join();
}

int TFakeMakerServer::Port() const
{
    return FImpl->Port;
}

std::string TFakeMakerServer::BaseUrl() const
{
    return "http://" + FImpl->Host + ":" + std::to_string(FImpl->Port) + "/";
}

void TFakeMakerServer::AddRoute(const std::string& aMethod, const std::string& aPath, TFakeHandler aHandler)
{
    TImpl* impl = FImpl.get();
    const std::string pattern = RegexEscape(aPath);
    if (aMethod == "GET") {
        impl->Server.Get(pattern, [impl, aHandler](const httplib::Request& aRequest, httplib::Response& aResponse) {
            impl->Serve(aRequest, aResponse, TFakeRequest{}, aHandler);
        });
    } else if (aMethod == "POST") {
        impl->Server.Post(pattern, [impl, aHandler](const httplib::Request& aRequest, httplib::Response& aResponse,
                                                    const httplib::ContentReader& aReader) {
            TFakeRequest record;
            record.ContentType = aRequest.get_header_value("Content-Type");
            const auto boundary = MultipartBoundary(record.ContentType);
            if (boundary) {
                // cpp-httplib hands a multipart body only to its own part
                // reader, which drops part headers; a neutral type here
                // makes it hand over the raw bytes, split by Multipart.cpp.
                // The request object is not const, only this view of it.
                auto& headers = const_cast<httplib::Request&>(aRequest).headers;
                auto it = headers.find("Content-Type");
                if (it != headers.end())
                    it->second = "application/octet-stream";
            }
            std::string body;
            aReader([&body](const char* aData, size_t aLength) {
                body.append(aData, aLength);
                return true;
            });
            if (boundary && !ParseMultipart(body, *boundary, record.Parts)) {
                aResponse.status = 400;
                aResponse.set_content("malformed multipart body", "text/plain");
                return;
            }
            if (!boundary)
                record.Body = std::move(body);
            impl->Serve(aRequest, aResponse, std::move(record), aHandler);
        });
    } else {
        throw std::invalid_argument("the fake maker's server has no routes for " + aMethod);
    }
}

void TFakeMakerServer::Script(const std::string& aPath, std::vector<TScriptedReply> aReplies)
{
    std::lock_guard lock(FImpl->Mutex);
    auto& queue = FImpl->Scripts[aPath];
    for (auto& reply : aReplies)
        queue.push_back(std::move(reply));
}

void TFakeMakerServer::Reset()
{
    std::lock_guard lock(FImpl->Mutex);
    FImpl->Requests.clear();
    FImpl->Scripts.clear();
}

std::vector<TFakeRequest> TFakeMakerServer::Requests() const
{
    std::lock_guard lock(FImpl->Mutex);
    return FImpl->Requests;
}

nlohmann::json TFakeMakerServer::ToJson(const TFakeRequest& aRequest)
{
    auto parts = nlohmann::json::array();
    for (const auto& part : aRequest.Parts) {
        parts.push_back({{"name", part.Name},
                         {"filename", part.FileName ? nlohmann::json(*part.FileName) : nlohmann::json()},
                         {"contentType", part.ContentType},
                         {"headers", part.Headers},
                         {"value", part.Value},
                         {"size", part.Value.size()}});
    }
    return {{"method", aRequest.Method}, {"path", aRequest.Path}, {"query", aRequest.Query},
            {"contentType", aRequest.ContentType}, {"parts", parts}, {"body", aRequest.Body}};
}
