#include "HttpRequest.h"

#include "HttpText.h"
#include "Runtime/AsciiText.h"
#include "Runtime/Errors.h"
#include "Runtime/FileHandle.h"
#include "Runtime/Log.h"

#include <curl/curl.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <tuple>

namespace {

struct TCurlEasyDeleter {
    void operator()(CURL* aHandle) const { curl_easy_cleanup(aHandle); }
};
struct TCurlMultiDeleter {
    void operator()(CURLM* aHandle) const { curl_multi_cleanup(aHandle); }
};
struct TCurlMimeDeleter {
    void operator()(curl_mime* aMime) const { curl_mime_free(aMime); }
};
struct TCurlSlistDeleter {
    void operator()(curl_slist* aList) const { curl_slist_free_all(aList); }
};
using TCurlEasy = std::unique_ptr<CURL, TCurlEasyDeleter>;
using TCurlMime = std::unique_ptr<curl_mime, TCurlMimeDeleter>;
using TCurlSlist = std::unique_ptr<curl_slist, TCurlSlistDeleter>;

// libcurl's global state, set up once for the process (the first request
// object makes it, from whichever thread) and torn down at exit.
class TCurlGlobal {
public:
    static void Ensure() { static const TCurlGlobal global; }

private:
    TCurlGlobal()
    {
        if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK)
            throw Exception("libcurl could not be initialised");
    }
    ~TCurlGlobal() { curl_global_cleanup(); }
};

bool IsSuccess(long aStatus)
{
    return aStatus >= 200 && aStatus <= 299;
}

long ResponseCode(CURL* aEasy)
{
    long status = 0;
    curl_easy_getinfo(aEasy, CURLINFO_RESPONSE_CODE, &status);
    return status;
}

// Keeps an easy handle in the multi handle for one scope.
class TMultiMembership {
public:
    TMultiMembership(CURLM* aMulti, CURL* aEasy) : FMulti(aMulti), FEasy(aEasy)
    {
        FAdded = curl_multi_add_handle(aMulti, aEasy) == CURLM_OK;
    }
    ~TMultiMembership()
    {
        if (FAdded)
            curl_multi_remove_handle(FMulti, FEasy);
    }
    TMultiMembership(const TMultiMembership&) = delete;
    TMultiMembership& operator=(const TMultiMembership&) = delete;
    bool Added() const { return FAdded; }

private:
    CURLM* FMulti;
    CURL* FEasy;
    bool FAdded = false;
};

std::string JoinNames(const std::vector<THttpField>& aFields, const std::vector<THttpFilePart>& aFiles)
{
    std::string names;
    for (const auto& field : aFields)
        names += (names.empty() ? "" : ", ") + field.Name;
    for (const auto& file : aFiles)
        names += (names.empty() ? "" : ", ") + file.Name + " (file)";
    return names;
}

THttpResult Refused(std::string aError)
{
    THttpResult result;
    result.Error = std::move(aError);
    return result;
}

} // namespace

// The multi handle stays with the request object for its whole life, so
// Cancel can always wake it and connections are reused between requests.
struct THttpRequest::TMulti {
    std::unique_ptr<CURLM, TCurlMultiDeleter> Handle;
};

struct THttpTransfer {
    // The form and the header list are used by the easy handle until it is
    // cleaned up, so they are declared first and destroyed after it.
    TCurlMime Mime;
    TCurlSlist Headers;
    TCurlEasy Easy;
    const THttpOptions* Options = nullptr;
    const std::atomic<bool>* Cancelled = nullptr;
    bool Upload = false;   // progress counts bytes sent

    std::string Body;
    bool BodyTooLarge = false;

    // GetToFile only.
    const std::filesystem::path* File = nullptr;
    TFileHandle Fd;
    uint64_t FileBytes = 0;
    bool FileTooLarge = false;
    int FileErrno = 0;

    // Redirects: the status of the reply whose headers are coming, whether
    // the request carries a body, and why a redirect was refused.
    long HeaderStatus = 0;
    bool WithBody = false;
    std::string RedirectRefused;

    int64_t LastDone = -1;
    int64_t LastTotal = -1;
    std::exception_ptr CallbackError;   // from the caller's progress function

    char ErrorBuffer[CURL_ERROR_SIZE] = {};
};

namespace {

bool WriteAll(int aFd, const char* aData, size_t aSize, int& aErrno)
{
    while (aSize > 0) {
        const ssize_t n = ::write(aFd, aData, aSize);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            aErrno = errno;
            return false;
        }
        aData += n;
        aSize -= static_cast<size_t>(n);
    }
    return true;
}

// The origin of a URL (scheme, host, port with the scheme's default),
// with aRelative resolved against aBase first; nothing when it is not one.
struct TOrigin {
    std::string Url, Scheme, Host, Port;
};

std::optional<TOrigin> OriginOf(const std::string& aBase, const std::string& aRelative = {})
{
    std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> url(curl_url(), &curl_url_cleanup);
    if (!url || curl_url_set(url.get(), CURLUPART_URL, aBase.c_str(), 0) != CURLUE_OK)
        return std::nullopt;
    // Read as libcurl reads a Location it follows: blanks allowed and
    // encoded. Stricter reading would leave addresses libcurl goes to
    // unjudged.
    if (!aRelative.empty() &&
        curl_url_set(url.get(), CURLUPART_URL, aRelative.c_str(), CURLU_URLENCODE | CURLU_ALLOW_SPACE) != CURLUE_OK)
        return std::nullopt;
    TOrigin origin;
    for (auto [part, field, flags] : {std::tuple{CURLUPART_URL, &origin.Url, 0u},
                                      std::tuple{CURLUPART_SCHEME, &origin.Scheme, 0u},
                                      std::tuple{CURLUPART_HOST, &origin.Host, 0u},
                                      std::tuple{CURLUPART_PORT, &origin.Port, unsigned(CURLU_DEFAULT_PORT)}}) {
        char* text = nullptr;
        const CURLUcode code = curl_url_get(url.get(), part, &text, flags);
        if (code == CURLUE_NO_HOST || code == CURLUE_NO_PORT)
            continue;   // a scheme without them (file:), left empty
        if (code != CURLUE_OK)
            return std::nullopt;
        *field = AsciiLower(text);
        if (part == CURLUPART_URL)
            *field = text;
        curl_free(text);
    }
    return origin;
}

// libcurl follows a Location on any 3xx reply, not only the usual five
// (and re-sends the body on all but 301-303).
bool IsRedirectStatus(long aStatus)
{
    return aStatus >= 300 && aStatus <= 399;
}

// Sees each reply's status and Location before libcurl follows it, and
// stops the transfer when the redirect is not to be followed.
size_t OnHeader(char* aData, size_t aSize, size_t aCount, void* aUser)
{
    auto& transfer = *static_cast<THttpTransfer*>(aUser);
    const std::string_view line(aData, aSize * aCount);
    if (line.rfind("HTTP/", 0) == 0) {
        const std::size_t blank = line.find(' ');
        transfer.HeaderStatus = blank == std::string_view::npos ? 0 : std::atol(std::string(line.substr(blank + 1, 3)).c_str());
        return aSize * aCount;
    }
    if (!IsRedirectStatus(transfer.HeaderStatus) || line.size() < 9 || !SameTextAscii(line.substr(0, 9), "Location:"))
        return aSize * aCount;
    const std::string location = Trimmed(line.substr(9), " \t\r\n");
    char* current = nullptr;
    curl_easy_getinfo(transfer.Easy.get(), CURLINFO_EFFECTIVE_URL, &current);
    const auto refusal = HttpRedirectRefusal(current ? current : "", location, transfer.WithBody);
    if (!refusal)
        return aSize * aCount;
    transfer.RedirectRefused = *refusal;
    return 0;   // ends the transfer before the redirect is followed
}

size_t OnWrite(char* aData, size_t aSize, size_t aCount, void* aUser)
{
    auto& t = *static_cast<THttpTransfer*>(aUser);
    const size_t length = aSize * aCount;
    if (t.File && IsSuccess(ResponseCode(t.Easy.get()))) {
        t.FileBytes += length;
        if (t.Options->MaxFileBytes != 0 && t.FileBytes > t.Options->MaxFileBytes) {
            t.FileTooLarge = true;
            return 0;
        }
        return WriteAll(t.Fd.Get(), aData, length, t.FileErrno) ? length : 0;
    }
    const size_t room = t.Options->MaxBodyBytes - std::min(t.Body.size(), t.Options->MaxBodyBytes);
    if (length > room) {
        if (!t.File) {
            t.BodyTooLarge = true;
            return 0;
        }
        t.Body.append(aData, room);   // a failure page is only kept for its start
        return length;
    }
    t.Body.append(aData, length);
    return length;
}

int OnProgress(void* aUser, curl_off_t aDlTotal, curl_off_t aDlNow, curl_off_t aUlTotal, curl_off_t aUlNow)
{
    auto& t = *static_cast<THttpTransfer*>(aUser);
    if (t.Cancelled->load())
        return 1;
    if (!t.Options->Progress)
        return 0;
    const int64_t done = t.Upload ? aUlNow : aDlNow;
    const int64_t total = t.Upload ? aUlTotal : aDlTotal;
    if (done == t.LastDone && total == t.LastTotal)
        return 0;
    t.LastDone = done;
    t.LastTotal = total;
    try {
        t.Options->Progress(done, total);
    } catch (...) {
        t.CallbackError = std::current_exception();
        return 1;
    }
    return 0;
}

} // namespace

THttpRequest::THttpRequest(THttpOptions aOptions) : FOptions(std::move(aOptions)), FMulti(std::make_unique<TMulti>())
{
    TCurlGlobal::Ensure();
    FMulti->Handle.reset(curl_multi_init());
    if (!FMulti->Handle)
        throw Exception("libcurl could not make a multi handle");
}

THttpRequest::~THttpRequest() = default;

void THttpRequest::Cancel()
{
    FCancelled.store(true);
    curl_multi_wakeup(FMulti->Handle.get());
}

THttpResult THttpRequest::PostForm(const std::string& aUrl, const std::vector<THttpField>& aFields,
                                   const std::vector<THttpFilePart>& aFiles)
{
    TLog::O(lolInfo, "THttpRequest.PostForm", HttpUrlForLog(aUrl));
    TLog::D([&] { TLog::O(lolDebug, "THttpRequest.PostForm parts", JoinNames(aFields, aFiles)); });

    THttpTransfer transfer;
    transfer.Easy.reset(curl_easy_init());
    if (!transfer.Easy)
        return Refused("libcurl could not make an easy handle");
    transfer.Upload = true;
    transfer.WithBody = true;

    transfer.Mime.reset(curl_mime_init(transfer.Easy.get()));
    curl_mime* mime = transfer.Mime.get();
    if (!mime)
        return Refused("libcurl could not make a form");
    for (const auto& field : aFields) {
        const std::string value =
            field.Encoding == THttpFieldEncoding::UrlEncoded ? HttpUrlEncodeParam(field.Value) : field.Value;
        if (field.SevenBit)
            for (const char c : value)
                if (static_cast<unsigned char>(c) > 0x7F)
                    return Refused("Form field \"" + field.Name + "\" is not 7-bit text");
        curl_mimepart* part = curl_mime_addpart(mime);
        CURLcode code = part ? curl_mime_name(part, field.Name.c_str()) : CURLE_OUT_OF_MEMORY;
        if (code == CURLE_OK)
            code = curl_mime_data(part, value.data(), value.size());
        if (code == CURLE_OK && field.SevenBit)
            code = curl_mime_encoder(part, "7bit");
        if (code != CURLE_OK)
            return Refused(curl_easy_strerror(code));
    }
    for (const auto& file : aFiles) {
        // Checked here so a missing file fails before anything is sent.
        const TFileHandle probe(::open(file.File.c_str(), O_RDONLY | O_CLOEXEC));
        std::error_code ec;
        if (!probe || !std::filesystem::is_regular_file(file.File, ec))
            return Refused("Cannot read the file of form part \"" + file.Name + "\": " + file.File.string());
        curl_mimepart* part = curl_mime_addpart(mime);
        CURLcode code = part ? curl_mime_name(part, file.Name.c_str()) : CURLE_OUT_OF_MEMORY;
        if (code == CURLE_OK)
            code = curl_mime_filedata(part, file.File.c_str());
        if (code == CURLE_OK)
            code = curl_mime_filename(part, file.FileName.empty() ? file.File.filename().c_str() : file.FileName.c_str());
        if (code == CURLE_OK)
            code = curl_mime_type(part, file.ContentType.empty() ? "application/octet-stream" : file.ContentType.c_str());
        if (code != CURLE_OK)
            return Refused(curl_easy_strerror(code));
    }
    curl_easy_setopt(transfer.Easy.get(), CURLOPT_MIMEPOST, mime);
    return Perform(transfer, "PostForm", aUrl);
}

THttpResult THttpRequest::Post(const std::string& aUrl, const std::string& aBody, const std::string& aContentType)
{
    TLog::O(lolInfo, "THttpRequest.Post", HttpUrlForLog(aUrl));
    THttpTransfer transfer;
    transfer.Easy.reset(curl_easy_init());
    if (!transfer.Easy)
        return Refused("libcurl could not make an easy handle");
    transfer.Upload = true;
    transfer.WithBody = true;
    CURL* easy = transfer.Easy.get();
    curl_easy_setopt(easy, CURLOPT_POSTFIELDS, aBody.data());
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(aBody.size()));
    transfer.Headers.reset(curl_slist_append(nullptr, ("Content-Type: " + aContentType).c_str()));
    return Perform(transfer, "Post", aUrl);
}

THttpResult THttpRequest::Get(const std::string& aUrl)
{
    TLog::O(lolInfo, "THttpRequest.Get", HttpUrlForLog(aUrl));
    THttpTransfer transfer;
    transfer.Easy.reset(curl_easy_init());
    if (!transfer.Easy)
        return Refused("libcurl could not make an easy handle");
    curl_easy_setopt(transfer.Easy.get(), CURLOPT_HTTPGET, 1L);
    return Perform(transfer, "Get", aUrl);
}

THttpResult THttpRequest::GetToFile(const std::string& aUrl, const std::filesystem::path& aFile)
{
    TLog::O(lolInfo, "THttpRequest.GetToFile", HttpUrlForLog(aUrl));
    THttpTransfer transfer;
    transfer.Easy.reset(curl_easy_init());
    if (!transfer.Easy)
        return Refused("libcurl could not make an easy handle");
    curl_easy_setopt(transfer.Easy.get(), CURLOPT_HTTPGET, 1L);
    transfer.File = &aFile;
    transfer.Fd.Reset(::open(aFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (!transfer.Fd || ::fchmod(transfer.Fd.Get(), 0600) != 0)
        return Refused("Cannot write " + aFile.string() + ": " + std::strerror(errno));

    THttpResult result = Perform(transfer, "GetToFile", aUrl);
    if (result.Ok && ::fsync(transfer.Fd.Get()) != 0) {
        result.Ok = false;
        result.Error = "Cannot write " + aFile.string() + ": " + std::strerror(errno);
    }
    transfer.Fd.Reset();
    if (!result.Ok) {
        std::error_code ec;
        std::filesystem::remove(aFile, ec);
    }
    return result;
}

THttpResult THttpRequest::Perform(THttpTransfer& aTransfer, const char* aVerb, const std::string& aUrl)
{
    THttpResult result;
    if (FBusy.exchange(true))
        throw Exception("THttpRequest runs one request at a time");
    struct TBusyReset {
        std::atomic<bool>& Busy;
        ~TBusyReset() { Busy.store(false); }
    } busyReset{FBusy};

    if (FCancelled.load()) {
        result.Cancelled = true;
        result.Error = kCancelledError;
        return result;
    }

    aTransfer.Options = &FOptions;
    aTransfer.Cancelled = &FCancelled;
    CURL* easy = aTransfer.Easy.get();
    const std::string wireUrl = HttpWireUrl(aUrl);

    // libcurl would otherwise wait up to a second for "100 Continue" before
    // larger bodies, which servers that ignore Expect never send.
    curl_slist* head = curl_slist_append(aTransfer.Headers.get(), "Expect:");
    if (head && !aTransfer.Headers)
        aTransfer.Headers.reset(head);
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, aTransfer.Headers.get());

    curl_easy_setopt(easy, CURLOPT_URL, wireUrl.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, static_cast<long>(FOptions.MaxRedirects));
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, FOptions.ConnectTimeoutMs);
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, FOptions.TotalTimeoutMs);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, "Quillmar");
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, aTransfer.ErrorBuffer);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, OnWrite);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &aTransfer);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &aTransfer);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &aTransfer);

    CURLM* multi = FMulti->Handle.get();
    CURLcode code = CURLE_OK;
    bool done = false;
    bool idle = false;
    // libcurl's low-speed check averages over several seconds, so the idle
    // limit is kept here: the time since a byte last moved either way.
    auto lastActivity = std::chrono::steady_clock::now();
    curl_off_t lastSent = -1, lastReceived = -1;
    {
        const TMultiMembership membership(multi, easy);
        if (!membership.Added())
            return Refused("libcurl could not start the request");
        while (!done) {
            int running = 0;
            CURLMcode mc = curl_multi_perform(multi, &running);
            int left = 0;
            while (CURLMsg* msg = curl_multi_info_read(multi, &left))
                if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy) {
                    code = msg->data.result;
                    done = true;
                }
            // A reply that arrived whole counts, even if Cancel came with it.
            if (done || FCancelled.load())
                break;
            int waitMs = 1000;
            if (FOptions.IdleTimeoutMs > 0) {
                curl_off_t sent = 0, received = 0;
                curl_easy_getinfo(easy, CURLINFO_SIZE_UPLOAD_T, &sent);
                curl_easy_getinfo(easy, CURLINFO_SIZE_DOWNLOAD_T, &received);
                const auto now = std::chrono::steady_clock::now();
                if (sent != lastSent || received != lastReceived) {
                    lastSent = sent;
                    lastReceived = received;
                    lastActivity = now;
                }
                const auto idleMs =
                    std::chrono::duration_cast<std::chrono::milliseconds>(now - lastActivity).count();
                if (idleMs >= FOptions.IdleTimeoutMs) {
                    idle = true;
                    break;
                }
                waitMs = static_cast<int>(std::min<long long>(waitMs, FOptions.IdleTimeoutMs - idleMs));
            }
            if (mc == CURLM_OK)
                mc = curl_multi_poll(multi, nullptr, 0, waitMs, nullptr);
            if (mc != CURLM_OK) {
                result.Error = curl_multi_strerror(mc);
                result.CurlCode = CURLE_FAILED_INIT;
                return result;
            }
        }
    }

    result.Status = ResponseCode(easy);
    result.CurlCode = done ? code : idle ? CURLE_OPERATION_TIMEDOUT : CURLE_ABORTED_BY_CALLBACK;
    if (aTransfer.CallbackError)
        std::rethrow_exception(aTransfer.CallbackError);
    if (idle) {
        result.Error = "No data moved for " + std::to_string(FOptions.IdleTimeoutMs) + " ms";
    } else if (!done || (code == CURLE_ABORTED_BY_CALLBACK && FCancelled.load())) {
        result.Cancelled = true;
        result.Error = kCancelledError;
    } else if (!aTransfer.RedirectRefused.empty()) {
        result.Error = aTransfer.RedirectRefused;
    } else if (aTransfer.BodyTooLarge) {
        aTransfer.Body.clear();   // a cut reply must not pass for a whole one
        result.Error = "Reply larger than " + std::to_string(FOptions.MaxBodyBytes) + " bytes";
    } else if (aTransfer.FileTooLarge) {
        result.Error = "Download larger than " + std::to_string(FOptions.MaxFileBytes) + " bytes";
    } else if (aTransfer.FileErrno != 0) {
        result.Error = "Cannot write " + aTransfer.File->string() + ": " + std::strerror(aTransfer.FileErrno);
    } else if (code != CURLE_OK) {
        result.Error = aTransfer.ErrorBuffer[0] ? aTransfer.ErrorBuffer : curl_easy_strerror(code);
    } else if (!IsSuccess(result.Status)) {
        result.Error = "HTTP " + std::to_string(result.Status);
    } else {
        result.Ok = true;
    }
    result.Body = std::move(aTransfer.Body);
    if (!result.Ok)
        TLog::O(lolWorn, std::string("THttpRequest.") + aVerb + " " + HttpUrlForLog(aUrl), result.Error);
    return result;
}

std::optional<std::string> HttpRedirectRefusal(const std::string& aFrom, const std::string& aTo, bool aWithBody)
{
    const auto from = OriginOf(aFrom);
    const auto to = OriginOf(aFrom, aTo);
    // What cannot be read cannot be judged, so it is not followed.
    if (!from || !to)
        return "Redirect to an address that cannot be read refused: " + HttpUrlForLog(aTo);
    // Another scheme libcurl refuses itself (only http and https are
    // allowed at all), with its own error.
    if (to->Scheme != "http" && to->Scheme != "https")
        return std::nullopt;
    if (from->Scheme == "https" && to->Scheme != "https")
        return "Redirect from https to " + to->Scheme + " refused: " + HttpUrlForLog(to->Url);
    if (aWithBody && (from->Scheme != to->Scheme || from->Host != to->Host || from->Port != to->Port))
        return "Redirect of a form to another site refused: " + HttpUrlForLog(to->Url);
    return std::nullopt;
}
