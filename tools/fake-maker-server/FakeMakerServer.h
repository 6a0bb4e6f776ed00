// TFakeMakerServer: a loopback stand-in for the maker's services.
//
// The maker's translation service, platform, file server and update server
// do not exist here, so tests and the demo talk to this server instead. It
// speaks real HTTP (cpp-httplib) on 127.0.0.1, records every request it
// gets (multipart parts in order, with their headers), and can be scripted
// to answer the next requests of a route differently: another body, a
// status, a delay, a redirect.
//
// Each service adds its routes in a registration function of its own
// (RegisterPlatformRoutes, ...), called from the constructor; a route
// handler only makes the normal reply, everything else (recording,
// scripts, delays) is done around it.
//
// Nothing here ever uses a name sent by a client as a file path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

struct TFakePart {
    std::string Name;
    std::optional<std::string> FileName;   // none for a plain field
    std::string ContentType;               // empty when the part has none
    std::vector<std::pair<std::string, std::string>> Headers;   // every part header, in order
    std::string Value;                     // empty for a part stored as a file
    // A file part of an upload route: the id it is stored under in the
    // server's store, and its size.
    std::optional<std::string> StoredId;
    uint64_t StoredSize = 0;
};

struct TFakeRequest {
    std::string Method;
    std::string Path;                      // decoded, without the query
    std::vector<std::pair<std::string, std::string>> Query;
    std::string ContentType;
    std::vector<TFakePart> Parts;          // a multipart/form-data body, in order
    std::string Body;                      // any other body

    // The value of the first part of that name, or none.
    std::optional<std::string> Field(const std::string& aName) const;
    // The same for a percent-encoded field, decoded.
    std::optional<std::string> EncodedField(const std::string& aName) const;
};

struct TFakeReply {
    int Status = 200;
    std::string Body;
    std::string ContentType = "application/json";
    std::vector<std::pair<std::string, std::string>> Headers;
    // When set, the body is this file, streamed from disk (Body unused).
    std::filesystem::path File;

    static TFakeReply Json(const nlohmann::json& aJson, int aStatus = 200);
};

// One scripted answer; what it leaves out comes from the route's own reply.
struct TScriptedReply {
    int DelayMs = 0;                       // waits first
    std::optional<int> Status;             // replaces the status
    std::optional<std::string> Body;       // replaces the body ...
    std::optional<std::string> ContentType;   // ... and its type (default "text/plain")
    // Answers "302 Found" (or Status) with this Location and an empty body.
    std::optional<std::string> Redirect;
    // Announces the whole body but sends only its first DropAfter bytes,
    // then closes the connection: a transfer broken half-way.
    std::optional<std::size_t> DropAfter;

    static TScriptedReply Delay(int aMs) { TScriptedReply r; r.DelayMs = aMs; return r; }
    static TScriptedReply WithStatus(int aStatus) { TScriptedReply r; r.Status = aStatus; return r; }
    static TScriptedReply Text(std::string aBody, int aStatus = 200)
    {
        TScriptedReply r;
        r.Status = aStatus;
        r.Body = std::move(aBody);
        return r;
    }
    static TScriptedReply RedirectTo(std::string aLocation) { TScriptedReply r; r.Redirect = std::move(aLocation); return r; }
    static TScriptedReply Dropped(std::size_t aAfter) { TScriptedReply r; r.DropAfter = aAfter; return r; }

    // From the admin route's JSON: {"delayMs": n, "status": n, "body": "text",
    // "json": {...} (a body of type application/json), "contentType": "...",
    // "redirect": "url", "dropAfter": n}. Throws std::invalid_argument for
    // anything else.
    static TScriptedReply FromJson(const nlohmann::json& aJson);
};

// 32 upper-case hex digits, new each time: the only names files get in the
// store, and the uids of the translation service's mails.
std::string NewStoreId();

// The value of a URL parameter: %XX sequences decoded ("+" is left alone;
// the client encodes a space as %20).
std::string PercentDecoded(const std::string& aText);
// The same for a value that must be percent-encoded throughout; none when
// it is not (a byte outside printable ASCII, a broken escape).
std::optional<std::string> StrictPercentDecoded(const std::string& aText);

using TFakeHandler = std::function<TFakeReply(const TFakeRequest&)>;

class TFakeTranslationService;

class TFakeMakerServer {
public:
    // Registers every service's routes; serves nothing until Start.
    TFakeMakerServer();
    ~TFakeMakerServer();   // stops
    TFakeMakerServer(const TFakeMakerServer&) = delete;
    TFakeMakerServer& operator=(const TFakeMakerServer&) = delete;

    // Binds (port 0: any free port) and serves on a thread of its own.
    // Returns the port; throws std::runtime_error when it cannot bind.
    int Start(const std::string& aHost = "127.0.0.1", int aPort = 0);
    // Wakes delayed replies, stops serving and joins the thread.
    void Stop();
    // Blocks until Stop is called from elsewhere (the executable).
    void Wait();

    int Port() const;
    // "http://127.0.0.1:<port>/", the base address the client configures.
    std::string BaseUrl() const;

    // Adds a route; the path is matched exactly (no patterns).
    void AddRoute(const std::string& aMethod, const std::string& aPath, TFakeHandler aHandler);
    // Adds a GET route for every path that is aPrefix and one more
    // component.
    void AddPrefixRoute(const std::string& aPrefix, TFakeHandler aHandler);
    // Adds a POST route for multipart uploads: the parts are read as they
    // arrive, and each file part goes straight into a new file of the
    // store under an id the server makes (its value is not kept in memory).
    void AddUploadRoute(const std::string& aPath, TFakeHandler aHandler);
    // The file stored under aId (32 hex digits), or none.
    std::optional<std::filesystem::path> StoredFile(const std::string& aId) const;
    // Puts aContent into the store as a new file; its id.
    std::string StoreFile(const std::string& aContent);
    // Where the file server's download route serves a stored file.
    std::string DownloadUrl(const std::string& aId, const std::string& aRealName) const;

    // The translation service's state: the mails waiting for each account,
    // refused accounts (TranslationRoutes.h).
    TFakeTranslationService& Translation() { return *FTranslation; }

    // Queues answers for the next requests to aPath, one per request.
    void Script(const std::string& aPath, std::vector<TScriptedReply> aReplies);
    // Forgets scripts and recorded requests, and the services' state (the
    // translation service's waiting mails and refusals); stored files stay.
    void Reset();
    // Every request to a service route so far, in arrival order (admin
    // routes are not recorded).
    std::vector<TFakeRequest> Requests() const;

    static nlohmann::json ToJson(const TFakeRequest& aRequest);

private:
    struct TImpl;
    std::unique_ptr<TImpl> FImpl;
    std::unique_ptr<TFakeTranslationService> FTranslation;
};

// One registration function per service.
void RegisterAdminRoutes(TFakeMakerServer& aServer);
void RegisterTestRoutes(TFakeMakerServer& aServer);
void RegisterPlatformRoutes(TFakeMakerServer& aServer);
void RegisterFileServerRoutes(TFakeMakerServer& aServer);
void RegisterTranslationRoutes(TFakeMakerServer& aServer);
void RegisterUpdateRoutes(TFakeMakerServer& aServer);
