// THttpRequest: the program's one way to make an HTTP request.
//
// Every request of the program (the maker's services, file-server uploads,
// the update check) goes through here, so the rules live in one place:
//   - only http and https, on the first request and on every redirect;
//   - never a redirect from https to http, nor a form or body re-sent to
//     another site (a password field would go with it);
//   - a bounded number of redirects, a connect timeout, an idle timeout and
//     an optional total timeout;
//   - any final status outside 2xx is a failure;
//   - replies kept in memory are bounded; downloads go to disk as they come;
//   - Cancel from any thread makes a running request return at once;
//   - the log sees URLs without their query and form field names without
//     their values.
//
// Use: make one object per job, held by a TRcRef (MakeRc<THttpRequest>()),
// run its requests one after another on one thread, and call Cancel from
// any other thread (directly, or through a TRunableCancelList the object
// is registered in). Nothing here throws for transport or HTTP failures:
// every outcome is a THttpResult.
//
//     auto http = MakeRc<THttpRequest>();
//     THttpResult r = http->PostForm(base + "mailOprAction!getUserRegistrTime.action",
//                                    {THttpField::Plain("user_email", email),
//                                     THttpField::Plain("user_password", encoded)});
//     THttpJsonReply reply = THttpJsonReply::Parse(r.Body);   // r.Ok or not
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Runtime/RcObject.h"
#include "Runtime/Runable.h"

enum class THttpFieldEncoding {
    Plain,        // the value as it is
    UrlEncoded,   // the value percent-encoded as a URL parameter (HttpUrlEncodeParam)
};

// One text part of a multipart/form-data body.
struct THttpField {
    std::string Name;
    std::string Value;
    THttpFieldEncoding Encoding = THttpFieldEncoding::Plain;
    // Sends the part with "Content-Transfer-Encoding: 7bit". The value as
    // sent must then be ASCII, or the request fails before anything is sent.
    bool SevenBit = false;

    static THttpField Plain(std::string aName, std::string aValue)
    {
        return {std::move(aName), std::move(aValue), THttpFieldEncoding::Plain, false};
    }
    // The services' "encoded" fields: percent-encoded UTF-8, sent as 7bit.
    static THttpField Encoded(std::string aName, std::string aValue)
    {
        return {std::move(aName), std::move(aValue), THttpFieldEncoding::UrlEncoded, true};
    }
};

// One file part of a multipart/form-data body, read from disk while it is
// sent (never loaded whole).
struct THttpFilePart {
    std::string Name;
    std::filesystem::path File;
    std::string FileName;      // the name the server sees; empty: File's own name
    std::string ContentType;   // empty: "application/octet-stream"
};

struct THttpOptions {
    long ConnectTimeoutMs = 30000;
    // Fails a transfer that moves no byte for this long, either way (also
    // while connecting and while waiting for the reply); 0: no limit.
    long IdleTimeoutMs = 120000;
    long TotalTimeoutMs = 0;       // the whole request; 0: no limit
    int MaxRedirects = 5;          // 0: a redirect is a failure
    // Largest reply body kept in memory (Get, Post, PostForm); a longer
    // reply is a failure. For GetToFile: how much of a failure reply's
    // body is kept, the rest being dropped.
    std::size_t MaxBodyBytes = 4 * 1024 * 1024;
    uint64_t MaxFileBytes = 0;     // largest download of GetToFile; 0: no limit
    // Bytes sent and bytes to send for PostForm and Post, bytes received
    // and expected for Get and GetToFile; total is 0 while unknown. Called
    // on the requesting thread, only when a figure changes. An exception
    // thrown here ends the request and leaves the call.
    std::function<void(int64_t aDone, int64_t aTotal)> Progress;
};

struct THttpResult {
    bool Ok = false;           // a 2xx reply arrived whole
    long Status = 0;           // the status of the last reply; 0 when none came
    std::string Body;          // the reply body (GetToFile: only a failure reply's)
    // Empty when Ok. Otherwise libcurl's message for transport failures,
    // "HTTP <status>" for a reply outside 2xx, kCancelledError, or the
    // module's own message for a refused form, an oversized reply or a
    // file that could not be read or written.
    std::string Error;
    bool Cancelled = false;    // ended by Cancel; Ok is then false
    int CurlCode = 0;          // libcurl's CURLcode of the transfer, 0 when it went through
};

struct THttpTransfer;   // one request's state, inside the module

class THttpRequest : public TRcObject, public IRunableCancel {
public:
    static constexpr const char* kCancelledError = "Request cancelled";

    explicit THttpRequest(THttpOptions aOptions = {});

    // A multipart/form-data POST: one part per field, in order (repeated
    // names stay repeated), then one part per file, in order.
    THttpResult PostForm(const std::string& aUrl, const std::vector<THttpField>& aFields,
                         const std::vector<THttpFilePart>& aFiles = {});
    // A POST of a body given whole, with its content type.
    THttpResult Post(const std::string& aUrl, const std::string& aBody, const std::string& aContentType);
    THttpResult Get(const std::string& aUrl);
    // Streams the body of a 2xx reply into aFile (created or truncated,
    // mode 0600) and syncs it. On any failure aFile is removed.
    THttpResult GetToFile(const std::string& aUrl, const std::filesystem::path& aFile);

    // From any thread. A running request returns with Cancelled set; so
    // does every later request of this object (a cancelled job stays
    // cancelled; make a new object for new work). A reply that had already
    // arrived whole is still returned as it is.
    void Cancel() override;
    bool IsCancelled() const { return FCancelled.load(); }

    // Change only between requests.
    THttpOptions& Options() { return FOptions; }

protected:
    ~THttpRequest() override;

private:
    struct TMulti;

    THttpResult Perform(THttpTransfer& aTransfer, const char* aVerb, const std::string& aUrl);

    THttpOptions FOptions;
    std::atomic<bool> FCancelled{false};
    std::atomic<bool> FBusy{false};
    std::unique_ptr<TMulti> FMulti;
};

// Why a redirect from aFrom to aTo (absolute or relative) is not followed:
// from https to anything else, or, for a request with a body, to another
// origin (scheme, host or port), or to an address that cannot be read.
// Nothing when it may be followed.
std::optional<std::string> HttpRedirectRefusal(const std::string& aFrom, const std::string& aTo, bool aWithBody);
