#include "FakeMakerServer.h"

#include "Multipart.h"
#include "TranslationRoutes.h"

#include <httplib.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <map>
#include <mutex>
#include <random>
#include <sstream>
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

bool IsStoreId(const std::string& aId)
{
    if (aId.size() != 32)
        return false;
    for (const char c : aId)
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')))
            return false;
    return true;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

std::string PercentDecoded(const std::string& aText)
{
    std::string out;
    for (std::size_t i = 0; i < aText.size(); ++i) {
        if (aText[i] == '%' && i + 2 < aText.size()) {
            const int high = HexValue(aText[i + 1]);
            const int low = HexValue(aText[i + 2]);
            if (high >= 0 && low >= 0) {
                out += static_cast<char>(high * 16 + low);
                i += 2;
                continue;
            }
        }
        out += aText[i];
    }
    return out;
}

std::optional<std::string> StrictPercentDecoded(const std::string& aValue)
{
    std::string out;
    for (std::size_t i = 0; i < aValue.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(aValue[i]);
        if (c >= 0x80 || c < 0x20)
            return std::nullopt;
        if (c != '%') {
            out += static_cast<char>(c);
            continue;
        }
        if (i + 2 >= aValue.size())
            return std::nullopt;
        const int high = HexValue(aValue[i + 1]);
        const int low = HexValue(aValue[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

std::string NewStoreId()
{
    static std::mutex mutex;
    static std::random_device device;
    std::lock_guard lock(mutex);
    static const char kHex[] = "0123456789ABCDEF";
    std::string id;
    for (int i = 0; i < 32; ++i)
        id += kHex[device() % 16];
    return id;
}

std::optional<std::string> TFakeRequest::Field(const std::string& aName) const
{
    for (const auto& part : Parts)
        if (part.Name == aName)
            return part.Value;
    return std::nullopt;
}

std::optional<std::string> TFakeRequest::EncodedField(const std::string& aName) const
{
    auto value = Field(aName);
    if (value)
        *value = PercentDecoded(*value);
    return value;
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
        else if (key == "dropAfter" && value.is_number_unsigned())
            reply.DropAfter = value.get<std::size_t>();
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
    std::filesystem::path Store;   // uploaded files, one per id; removed with the server

    // The store's folder, made at the first need.
    const std::filesystem::path& EnsureStore();
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
    const std::optional<std::size_t> dropAfter = script ? script->DropAfter : std::nullopt;
    if (reply.File.empty() && !dropAfter) {
        aResponse.set_content(reply.Body, reply.ContentType.c_str());
        return;
    }
    std::shared_ptr<std::istream> in;
    std::size_t size = reply.Body.size();
    if (reply.File.empty()) {
        in = std::make_shared<std::istringstream>(reply.Body);
    } else {
        std::error_code ec;
        size = static_cast<std::size_t>(std::filesystem::file_size(reply.File, ec));
        in = std::make_shared<std::ifstream>(reply.File, std::ios::binary);
        if (ec || !*in) {
            aResponse.status = 404;
            aResponse.set_content("no such file", "text/plain");
            return;
        }
    }
    // The whole size is announced; a dropped reply ends its connection
    // (a provider that fails closes it) once the limit is sent.
    const std::size_t limit = std::min(size, dropAfter.value_or(size));
    aResponse.set_content_provider(
        size, reply.ContentType, [in, limit](size_t aOffset, size_t aLength, httplib::DataSink& aSink) {
            if (aOffset >= limit)
                return false;
            char buffer[64 * 1024];
            in->seekg(static_cast<std::streamoff>(aOffset));
            in->read(buffer, static_cast<std::streamsize>(std::min({aLength, sizeof buffer, limit - aOffset})));
            const auto got = in->gcount();
            return got > 0 && aSink.write(buffer, static_cast<size_t>(got));
        });
}

const std::filesystem::path& TFakeMakerServer::TImpl::EnsureStore()
{
    std::lock_guard lock(Mutex);
    if (Store.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = (tmp && *tmp ? std::string(tmp) : std::string("/tmp"));
        pattern.append("/fake-file-store-XXXXXX");
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("the fake maker's server cannot make its file store");
        Store = pattern;
    }
    return Store;
}

TFakeMakerServer::TFakeMakerServer()
    : FImpl(std::make_unique<TImpl>()), FTranslation(std::make_unique<TFakeTranslationService>(*this))
{
    // Idle client connections must not hold up Stop for long.
    FImpl->Server.set_keep_alive_timeout(1);
    // A reply goes out in several writes; with Nagle's algorithm a reused
    // connection waits for the client's delayed ACK (~40 ms) between them.
    FImpl->Server.set_tcp_nodelay(true);
    RegisterAdminRoutes(*this);
    RegisterTestRoutes(*this);
    RegisterPlatformRoutes(*this);
    RegisterFileServerRoutes(*this);
    RegisterTranslationRoutes(*this);
    RegisterUpdateRoutes(*this);
}

TFakeMakerServer::~TFakeMakerServer()
{
    Stop();
    if (!FImpl->Store.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(FImpl->Store, ec);
    }
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

void TFakeMakerServer::AddPrefixRoute(const std::string& aPrefix, TFakeHandler aHandler)
{
    TImpl* impl = FImpl.get();
    impl->Server.Get(RegexEscape(aPrefix) + "[^/]+",
                     [impl, aHandler](const httplib::Request& aRequest, httplib::Response& aResponse) {
                         impl->Serve(aRequest, aResponse, TFakeRequest{}, aHandler);
                     });
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

void TFakeMakerServer::AddUploadRoute(const std::string& aPath, TFakeHandler aHandler)
{
    TImpl* impl = FImpl.get();
    impl->EnsureStore();
    impl->Server.Post(RegexEscape(aPath), [impl, aHandler](const httplib::Request& aRequest,
                                                           httplib::Response& aResponse,
                                                           const httplib::ContentReader& aReader) {
        TFakeRequest record;
        record.ContentType = aRequest.get_header_value("Content-Type");
        if (!aRequest.is_multipart_form_data()) {
            aResponse.status = 400;
            aResponse.set_content("an upload is multipart/form-data", "text/plain");
            return;
        }
        std::ofstream file;
        std::vector<std::filesystem::path> written;
        const bool read = aReader(
            [&](const httplib::MultipartFormData& aPart) {
                if (file.is_open())
                    file.close();
                TFakePart part;
                part.Name = aPart.name;
                part.ContentType = aPart.content_type;
                if (!aPart.filename.empty()) {
                    // The client's name is only recorded, never used as a path.
                    part.FileName = aPart.filename;
                    part.StoredId = NewStoreId();
                    written.push_back(impl->Store / *part.StoredId);
                    file.open(written.back(), std::ios::binary | std::ios::trunc);
                    if (!file)
                        return false;
                }
                record.Parts.push_back(std::move(part));
                return true;
            },
            [&](const char* aData, size_t aLength) {
                TFakePart& part = record.Parts.back();
                if (!part.StoredId) {
                    part.Value.append(aData, aLength);
                    return true;
                }
                part.StoredSize += aLength;
                return static_cast<bool>(file.write(aData, static_cast<std::streamsize>(aLength)));
            });
        if (file.is_open())
            file.close();
        if (!read) {
            // A broken upload leaves nothing behind.
            for (const auto& path : written) {
                std::error_code ec;
                std::filesystem::remove(path, ec);
            }
            aResponse.status = 400;
            aResponse.set_content("malformed or broken upload", "text/plain");
            return;
        }
        impl->Serve(aRequest, aResponse, std::move(record), aHandler);
    });
}

std::optional<std::filesystem::path> TFakeMakerServer::StoredFile(const std::string& aId) const
{
    if (!IsStoreId(aId) || FImpl->Store.empty())
        return std::nullopt;
    const auto path = FImpl->Store / aId;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return std::nullopt;
    return path;
}

std::string TFakeMakerServer::StoreFile(const std::string& aContent)
{
    const std::string id = NewStoreId();
    const std::filesystem::path path = FImpl->EnsureStore() / id;
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(aContent.data(), static_cast<std::streamsize>(aContent.size()));
    file.close();
    if (!file)
        throw std::runtime_error("the fake maker's server cannot write " + path.string());
    return id;
}

std::string TFakeMakerServer::DownloadUrl(const std::string& aId, const std::string& aRealName) const
{
    std::string url = BaseUrl();
    url.append("fileServer?do=d&id=").append(aId).append("&realName=");
    static const char kHex[] = "0123456789ABCDEF";
    for (const unsigned char c : aRealName) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            url += static_cast<char>(c);
        } else {
            url += '%';
            url += kHex[c >> 4];
            url += kHex[c & 15];
        }
    }
    return url;
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
    {
        std::lock_guard lock(FImpl->Mutex);
        FImpl->Requests.clear();
        FImpl->Scripts.clear();
    }
    FTranslation->Reset();
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
                         {"size", part.StoredId ? part.StoredSize : part.Value.size()},
                         {"storedId", part.StoredId ? nlohmann::json(*part.StoredId) : nlohmann::json()}});
    }
    return {{"method", aRequest.Method}, {"path", aRequest.Path}, {"query", aRequest.Query},
            {"contentType", aRequest.ContentType}, {"parts", parts}, {"body", aRequest.Body}};
}
