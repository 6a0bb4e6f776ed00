#include "LineTransport.h"

#include "Runtime/Log.h"
#include "Runtime/ScopeGuard.h"
#include "Runtime/TextFormat.h"
#include "TransportErrors.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

namespace {

// Bytes asked of the socket per read: large enough that streaming a big
// message costs few system calls, small enough to stay cache-friendly.
constexpr size_t kReadChunk = 128 * 1024;

struct TSslCtxFree {
    void operator()(SSL_CTX* aCtx) const { SSL_CTX_free(aCtx); }
};
struct TSslFree {
    void operator()(SSL* aSsl) const { SSL_free(aSsl); }
};
struct TAddrInfoFree {
    void operator()(addrinfo* aInfo) const { freeaddrinfo(aInfo); }
};

// A socket BIO of our own: OpenSSL's writes with write(2), which raises
// SIGPIPE on a connection the server has dropped. This one sends with
// MSG_NOSIGNAL, so a drop is an error like any other.
int BioWrite(BIO* aBio, const char* aData, int aSize)
{
    BIO_clear_retry_flags(aBio);
    const int fd = static_cast<int>(reinterpret_cast<intptr_t>(BIO_get_data(aBio)));
    const ssize_t n = ::send(fd, aData, static_cast<size_t>(aSize), MSG_NOSIGNAL);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        BIO_set_retry_write(aBio);
    return static_cast<int>(n);
}

int BioRead(BIO* aBio, char* aData, int aSize)
{
    BIO_clear_retry_flags(aBio);
    const int fd = static_cast<int>(reinterpret_cast<intptr_t>(BIO_get_data(aBio)));
    const ssize_t n = ::recv(fd, aData, static_cast<size_t>(aSize), 0);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        BIO_set_retry_read(aBio);
    return static_cast<int>(n);
}

long BioCtrl(BIO*, int aCommand, long, void*)
{
    return aCommand == BIO_CTRL_FLUSH ? 1 : 0;
}

int BioCreate(BIO* aBio)
{
    BIO_set_init(aBio, 1);
    return 1;
}

const BIO_METHOD* SocketBioMethod()
{
    // Made once and kept for the process, as OpenSSL keeps its own methods.
    static BIO_METHOD* const method = [] {
        BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "quillmar socket");
        if (m) {
            BIO_meth_set_write(m, BioWrite);
            BIO_meth_set_read(m, BioRead);
            BIO_meth_set_ctrl(m, BioCtrl);
            BIO_meth_set_create(m, BioCreate);
        }
        return m;
    }();
    return method;
}

bool IsIpLiteral(const std::string& aHost)
{
    in6_addr address;
    return inet_pton(AF_INET, aHost.c_str(), &address) == 1 || inet_pton(AF_INET6, aHost.c_str(), &address) == 1;
}

// The first error OpenSSL queued on this thread, as words.
std::string OpenSslReason()
{
    const unsigned long code = ERR_peek_error();
    if (code == 0)
        return "unknown error";
    const char* reason = ERR_reason_error_string(code);
    if (reason)
        return reason;
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    return text;
}

// "30 s", or "1500 ms" for what is not whole seconds.
std::string Duration(std::chrono::milliseconds aValue)
{
    if (aValue.count() % 1000 == 0)
        return std::to_string(aValue.count() / 1000) + " s";
    return std::to_string(aValue.count()) + " ms";
}

} // namespace

struct TLineTransport::TTls {
    std::unique_ptr<SSL_CTX, TSslCtxFree> Ctx;
    std::unique_ptr<SSL, TSslFree> Ssl;
};

TLineTransport::TLineTransport(TTransportSettings aSettings)
    : FSettings(std::move(aSettings)), FCancelEvent(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    if (!FCancelEvent)
        throw ESocketError(std::string("Cannot create the cancel event: ") + std::strerror(errno));
}

TLineTransport::~TLineTransport()
{
    Close();
}

std::string TLineTransport::PeerName() const
{
    return FSettings.Host + ":" + std::to_string(FSettings.Port);
}

void TLineTransport::Cancel()
{
    FCancelled.store(true, std::memory_order_release);
    const uint64_t one = 1;
    // The event stays readable from now on; a full counter still is.
    [[maybe_unused]] const ssize_t n = ::write(FCancelEvent.Get(), &one, sizeof one);
}

void TLineTransport::CheckUsable() const
{
    if (Cancelled())
        throw ETransportCancelled();
    if (!FSocket)
        throw ESocketError("Not connected to " + PeerName());
}

void TLineTransport::WaitFor(TWait aWait, TClock::time_point aDeadline, std::chrono::milliseconds aLimit,
                             const char* aWhat)
{
    for (;;) {
        if (Cancelled())
            throw ETransportCancelled();
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(aDeadline - TClock::now());
        if (left.count() <= 0)
            throw ETimeoutError(FormatText("%s %s timed out after %s", {aWhat, PeerName(), Duration(aLimit)}));
        pollfd fds[2] = {{FSocket.Get(), static_cast<short>(aWait == TWait::Read ? POLLIN : POLLOUT), 0},
                         {FCancelEvent.Get(), POLLIN, 0}};
        const int n = ::poll(fds, 2, static_cast<int>(std::min<int64_t>(left.count(), INT_MAX)));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw ESocketError(std::string("poll failed: ") + std::strerror(errno));
        }
        if (fds[1].revents != 0)
            throw ETransportCancelled();
        if (n > 0 && fds[0].revents != 0)
            return;   // ready, or an error/hang-up the next call reports
    }
}

void TLineTransport::Connect()
{
    Close();
    const TOnFailure abandonOnError([this]() noexcept { Abandon(); });
    if (Cancelled())
        throw ETransportCancelled();
    const auto deadline = TClock::now() + FSettings.ConnectTimeout;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const int rc = ::getaddrinfo(FSettings.Host.c_str(), std::to_string(FSettings.Port).c_str(), &hints, &found);
    if (rc != 0)
        throw ESocketError(FormatText("Cannot resolve %s: %s", {FSettings.Host, ::gai_strerror(rc)}));
    const std::unique_ptr<addrinfo, TAddrInfoFree> addresses(found);
    std::string failure;
    for (const addrinfo* a = addresses.get(); a && !FSocket; a = a->ai_next) {
        try {
            ConnectTo(*a, deadline);
        } catch (const ETimeoutError&) {
            throw;
        } catch (const ETransportCancelled&) {
            throw;
        } catch (const ESocketError& e) {
            failure = e.what();
        }
    }
    if (!FSocket)
        throw ESocketError(failure.empty() ? "No address for " + FSettings.Host : failure);
    const int on = 1;
    ::setsockopt(FSocket.Get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    TLog::O(lolDebug, "Connected to %s", {PeerName()});
    if (FSettings.TlsMode == tlsmImplicit)
        Handshake();
}

void TLineTransport::ConnectTo(const addrinfo& aAddress, TClock::time_point aDeadline)
{
    TFileHandle socket(::socket(aAddress.ai_family, aAddress.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                                aAddress.ai_protocol));
    if (!socket)
        throw ESocketError(std::string("Cannot create a socket: ") + std::strerror(errno));
    int error = 0;
    if (::connect(socket.Get(), aAddress.ai_addr, aAddress.ai_addrlen) != 0) {
        if (errno != EINPROGRESS)
            error = errno;
        else {
            FSocket = std::move(socket);   // WaitFor polls FSocket
            {
                const TOnFailure dropOnError([this]() noexcept { FSocket.Reset(); });
                WaitFor(TWait::Write, aDeadline, FSettings.ConnectTimeout, "Connection to");
            }
            socklen_t size = sizeof error;
            if (::getsockopt(FSocket.Get(), SOL_SOCKET, SO_ERROR, &error, &size) != 0)
                error = errno;
            if (error != 0)
                FSocket.Reset();
        }
    } else {
        FSocket = std::move(socket);
    }
    if (error != 0)
        throw ESocketError(FormatText("Connection to %s failed: %s", {PeerName(), std::strerror(error)}));
}

void TLineTransport::StartTls()
{
    const TOnFailure abandonOnError([this]() noexcept { Abandon(); });
    CheckUsable();
    if (FTls)
        throw ETlsError("The connection to " + PeerName() + " is already secured");
    // Plain text read ahead of the handshake came from outside the
    // secured session: drop it.
    FBegin = FEnd = FScanned = 0;
    Handshake();
}

void TLineTransport::RaiseTlsError(const std::string& aWhat, int aSslError)
{
    const int savedErrno = errno;
    if (aSslError == SSL_ERROR_ZERO_RETURN || (aSslError == SSL_ERROR_SYSCALL && savedErrno == 0))
        throw EConnectionClosed(aWhat + ": connection closed by the server");
    if (aSslError == SSL_ERROR_SYSCALL)
        throw ESocketError(aWhat + ": " + std::strerror(savedErrno));
    const std::string reason = OpenSslReason();
    ERR_clear_error();
    throw ETlsError(aWhat + ": " + reason);
}

void TLineTransport::Handshake()
{
    const auto deadline = TClock::now() + FSettings.ConnectTimeout;
    const std::string what = "TLS handshake with " + PeerName() + " failed";
    auto tls = std::make_unique<TTls>();
    ERR_clear_error();
    tls->Ctx.reset(SSL_CTX_new(TLS_client_method()));
    if (!tls->Ctx)
        throw ETlsError("Cannot create a TLS context: " + OpenSslReason());
    // A server that drops the line without a close notification ends the
    // stream like any other close; POP3 and SMTP mark their own ends.
    SSL_CTX_set_options(tls->Ctx.get(), SSL_OP_IGNORE_UNEXPECTED_EOF);
    SSL_CTX_set_mode(tls->Ctx.get(), SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    SSL_CTX_set_default_verify_paths(tls->Ctx.get());
    if (!FSettings.CaFile.empty() &&
        SSL_CTX_load_verify_locations(tls->Ctx.get(), FSettings.CaFile.c_str(), nullptr) != 1)
        throw ETlsError("Cannot read trusted certificates from " + FSettings.CaFile + ": " + OpenSslReason());
    SSL_CTX_set_verify(tls->Ctx.get(), FSettings.AcceptUntrustedCertificate ? SSL_VERIFY_NONE : SSL_VERIFY_PEER,
                       nullptr);

    tls->Ssl.reset(SSL_new(tls->Ctx.get()));
    BIO* bio = tls->Ssl ? BIO_new(SocketBioMethod()) : nullptr;
    if (!bio)
        throw ETlsError("Cannot create a TLS session: " + OpenSslReason());
    BIO_set_data(bio, reinterpret_cast<void*>(static_cast<intptr_t>(FSocket.Get())));
    SSL_set_bio(tls->Ssl.get(), bio, bio);   // the session owns the BIO now
    const std::string& host = FSettings.Host;
    if (IsIpLiteral(host)) {
        // No SNI for addresses; the certificate must name the address.
        X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(tls->Ssl.get()), host.c_str());
    } else {
        SSL_set_tlsext_host_name(tls->Ssl.get(), host.c_str());
        SSL_set_hostflags(tls->Ssl.get(), X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        SSL_set1_host(tls->Ssl.get(), host.c_str());
    }
    SSL_set_connect_state(tls->Ssl.get());

    for (;;) {
        ERR_clear_error();
        errno = 0;   // SSL_ERROR_SYSCALL is told apart by errno
        const int rc = SSL_do_handshake(tls->Ssl.get());
        if (rc == 1)
            break;
        const int error = SSL_get_error(tls->Ssl.get(), rc);
        if (error == SSL_ERROR_WANT_READ) {
            WaitFor(TWait::Read, deadline, FSettings.ConnectTimeout, "TLS handshake with");
        } else if (error == SSL_ERROR_WANT_WRITE) {
            WaitFor(TWait::Write, deadline, FSettings.ConnectTimeout, "TLS handshake with");
        } else {
            const long verified = SSL_get_verify_result(tls->Ssl.get());
            if (!FSettings.AcceptUntrustedCertificate && verified != X509_V_OK)
                throw ETlsCertificateError(FormatText("Certificate of %s rejected: %s",
                                                      {PeerName(), X509_verify_cert_error_string(verified)}));
            RaiseTlsError(what, error);
        }
    }
    const long verified = SSL_get_verify_result(tls->Ssl.get());
    if (verified != X509_V_OK)
        TLog::O(lolWorn, "Certificate of %s accepted although it does not verify: %s",
                {PeerName(), X509_verify_cert_error_string(verified)});
    TLog::O(lolDebug, "TLS with %s: %s", {PeerName(), SSL_get_version(tls->Ssl.get())});
    FTls = std::move(tls);
}

void TLineTransport::Fill()
{
    CheckUsable();
    if (FBegin == FEnd) {
        FBegin = FEnd = FScanned = 0;
    } else if (FBegin > 0 && FBuffer.size() - FEnd < kReadChunk) {
        std::memmove(FBuffer.data(), FBuffer.data() + FBegin, FEnd - FBegin);
        FEnd -= FBegin;
        FBegin = 0;
    }
    if (FBuffer.size() - FEnd < kReadChunk)
        FBuffer.resize(std::max(FBuffer.size() * 2, FEnd + kReadChunk));
    const size_t n = ReceiveSome(FBuffer.data() + FEnd, FBuffer.size() - FEnd);
    FEnd += n;
    FBytesRead += n;
}

size_t TLineTransport::ReceiveSome(char* aBuffer, size_t aSize)
{
    const auto deadline = TClock::now() + FSettings.IdleTimeout;
    const int size = static_cast<int>(std::min<size_t>(aSize, INT_MAX));
    for (;;) {
        if (Cancelled())
            throw ETransportCancelled();
        if (FTls) {
            ERR_clear_error();
            errno = 0;
            const int n = SSL_read(FTls->Ssl.get(), aBuffer, size);
            if (n > 0)
                return static_cast<size_t>(n);
            const int error = SSL_get_error(FTls->Ssl.get(), n);
            if (error == SSL_ERROR_WANT_READ)
                WaitFor(TWait::Read, deadline, FSettings.IdleTimeout, "Read from");
            else if (error == SSL_ERROR_WANT_WRITE)
                WaitFor(TWait::Write, deadline, FSettings.IdleTimeout, "Read from");
            else if (error == SSL_ERROR_ZERO_RETURN || (error == SSL_ERROR_SYSCALL && errno == 0))
                throw EConnectionClosed("Connection closed by " + PeerName());
            else
                RaiseTlsError("TLS read from " + PeerName() + " failed", error);
        } else {
            const ssize_t n = ::recv(FSocket.Get(), aBuffer, static_cast<size_t>(size), 0);
            if (n > 0)
                return static_cast<size_t>(n);
            if (n == 0)
                throw EConnectionClosed("Connection closed by " + PeerName());
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                WaitFor(TWait::Read, deadline, FSettings.IdleTimeout, "Read from");
            else if (errno != EINTR)
                throw ESocketError(FormatText("Read from %s failed: %s", {PeerName(), std::strerror(errno)}));
        }
    }
}

std::string TLineTransport::ReadLine()
{
    const TOnFailure abandonOnError([this]() noexcept { Abandon(); });
    for (;;) {
        const char* start = FBuffer.data() + FBegin;
        const size_t available = FEnd - FBegin;
        const void* lf = FScanned < available ? std::memchr(start + FScanned, '\n', available - FScanned)
                                              : nullptr;
        if (lf) {
            size_t length = static_cast<size_t>(static_cast<const char*>(lf) - start);
            FBegin += length + 1;
            FScanned = 0;
            if (length > 0 && start[length - 1] == '\r')
                --length;
            if (length > FSettings.MaxLineLength)
                break;
            return std::string(start, length);
        }
        FScanned = available;
        if (available > FSettings.MaxLineLength + 1)   // + 1: room for a CR
            break;
        Fill();
    }
    throw EMalformedReplyError(FormatText("Reply line from %s longer than %u bytes",
                                          {PeerName(), FSettings.MaxLineLength}));
}

std::string_view TLineTransport::Peek()
{
    const TOnFailure abandonOnError([this]() noexcept { Abandon(); });
    if (FBegin == FEnd)
        Fill();
    return std::string_view(FBuffer.data() + FBegin, FEnd - FBegin);
}

void TLineTransport::Consume(size_t aCount)
{
    aCount = std::min(aCount, FEnd - FBegin);
    FBegin += aCount;
    FScanned = FScanned > aCount ? FScanned - aCount : 0;
}

void TLineTransport::WriteLine(std::string_view aLine)
{
    std::string line;
    line.reserve(aLine.size() + 2);
    line.append(aLine).append("\r\n");
    Write(line);
}

void TLineTransport::Write(std::string_view aData)
{
    const TOnFailure abandonOnError([this]() noexcept { Abandon(); });
    CheckUsable();
    while (!aData.empty()) {
        const auto deadline = TClock::now() + FSettings.IdleTimeout;
        size_t written = 0;
        while (written == 0) {
            if (Cancelled())
                throw ETransportCancelled();
            if (FTls) {
                ERR_clear_error();
                errno = 0;
                const int n = SSL_write(FTls->Ssl.get(), aData.data(),
                                        static_cast<int>(std::min<size_t>(aData.size(), INT_MAX)));
                if (n > 0) {
                    written = static_cast<size_t>(n);
                    break;
                }
                const int error = SSL_get_error(FTls->Ssl.get(), n);
                if (error == SSL_ERROR_WANT_WRITE)
                    WaitFor(TWait::Write, deadline, FSettings.IdleTimeout, "Write to");
                else if (error == SSL_ERROR_WANT_READ)
                    WaitFor(TWait::Read, deadline, FSettings.IdleTimeout, "Write to");
                else
                    RaiseTlsError("TLS write to " + PeerName() + " failed", error);
            } else {
                const ssize_t n = ::send(FSocket.Get(), aData.data(), aData.size(), MSG_NOSIGNAL);
                if (n > 0) {
                    written = static_cast<size_t>(n);
                    break;
                }
                if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                    WaitFor(TWait::Write, deadline, FSettings.IdleTimeout, "Write to");
                else if (n < 0 && errno != EINTR)
                    throw ESocketError(FormatText("Write to %s failed: %s", {PeerName(), std::strerror(errno)}));
            }
        }
        aData.remove_prefix(written);
        FBytesWritten += written;
    }
}

void TLineTransport::Close() noexcept
{
    if (FTls && FSocket && !Cancelled()) {
        // One try at a close notification; a peer that is not reading does
        // not hold us up.
        ERR_clear_error();
        SSL_shutdown(FTls->Ssl.get());
        ERR_clear_error();
    }
    Abandon();
}

void TLineTransport::Abandon() noexcept
{
    FTls.reset();
    FSocket.Reset();
    FBegin = FEnd = FScanned = 0;
}
