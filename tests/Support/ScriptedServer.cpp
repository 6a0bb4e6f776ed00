#include "ScriptedServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/socket.h>

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <stdexcept>
#include <utility>

namespace {

constexpr int kScriptWaitMs = 10000;

struct TSslCtxFree {
    void operator()(SSL_CTX* aCtx) const { SSL_CTX_free(aCtx); }
};
struct TSslFree {
    void operator()(SSL* aSsl) const { SSL_free(aSsl); }
};

} // namespace

struct TScriptedPeer::TTls {
    std::unique_ptr<SSL_CTX, TSslCtxFree> Ctx;
    std::unique_ptr<SSL, TSslFree> Ssl;
};

TScriptedPeer::TScriptedPeer(TFileHandle aSocket, int aStopEvent)
    : FSocket(std::move(aSocket)), FStopEvent(aStopEvent)
{
    // A client that neither reads nor closes cannot hold a send up for long.
    timeval wait{kScriptWaitMs / 1000, 0};
    ::setsockopt(FSocket.Get(), SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
}

TScriptedPeer::~TScriptedPeer() = default;

void TScriptedPeer::WaitReadable()
{
    if (FTls && SSL_pending(FTls->Ssl.get()) > 0)
        return;
    pollfd fds[2] = {{FSocket.Get(), POLLIN, 0}, {FStopEvent, POLLIN, 0}};
    const int n = ::poll(fds, 2, kScriptWaitMs);
    if (n <= 0 || fds[1].revents != 0)
        throw std::runtime_error("script stopped while waiting for the client");
}

size_t TScriptedPeer::Receive(char* aBuffer, size_t aSize)
{
    for (;;) {
        WaitReadable();
        if (FTls) {
            const int n = SSL_read(FTls->Ssl.get(), aBuffer, static_cast<int>(aSize));
            if (n > 0)
                return static_cast<size_t>(n);
            if (SSL_get_error(FTls->Ssl.get(), n) != SSL_ERROR_WANT_READ)
                return 0;
        } else {
            const ssize_t n = ::recv(FSocket.Get(), aBuffer, aSize, 0);
            if (n >= 0)
                return static_cast<size_t>(n);
            if (errno != EINTR)
                return 0;
        }
    }
}

std::string TScriptedPeer::ReadLine()
{
    for (;;) {
        const size_t lf = FBuffer.find('\n');
        if (lf != std::string::npos) {
            std::string line = FBuffer.substr(0, lf);
            FBuffer.erase(0, lf + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            return line;
        }
        char chunk[4096];
        const size_t n = Receive(chunk, sizeof chunk);
        if (n == 0)
            throw std::runtime_error("client closed the connection");
        FBuffer.append(chunk, n);
    }
}

std::string TScriptedPeer::ReadSome()
{
    if (!FBuffer.empty())
        return std::exchange(FBuffer, std::string());
    char chunk[4096];
    const size_t n = Receive(chunk, sizeof chunk);
    if (n == 0)
        throw std::runtime_error("client closed the connection");
    return std::string(chunk, n);
}

void TScriptedPeer::Expect(std::string_view aLine)
{
    const std::string line = ReadLine();
    if (line != aLine)
        throw std::runtime_error("expected \"" + std::string(aLine) + "\", got \"" + line + "\"");
}

void TScriptedPeer::Send(std::string_view aData, size_t aChunk)
{
    while (!aData.empty()) {
        const size_t size = aChunk > 0 ? std::min(aChunk, aData.size()) : aData.size();
        if (FTls) {
            if (SSL_write(FTls->Ssl.get(), aData.data(), static_cast<int>(size)) <= 0)
                throw std::runtime_error("TLS write to the client failed");
            aData.remove_prefix(size);
        } else {
            const ssize_t n = ::send(FSocket.Get(), aData.data(), size, MSG_NOSIGNAL);
            if (n <= 0)
                throw std::runtime_error("write to the client failed");
            aData.remove_prefix(static_cast<size_t>(n));
        }
    }
}

void TScriptedPeer::StartTls(const std::filesystem::path& aCertFile, const std::filesystem::path& aKeyFile)
{
    auto tls = std::make_unique<TTls>();
    tls->Ctx.reset(SSL_CTX_new(TLS_server_method()));
    if (!tls->Ctx || SSL_CTX_use_certificate_chain_file(tls->Ctx.get(), aCertFile.c_str()) != 1 ||
        SSL_CTX_use_PrivateKey_file(tls->Ctx.get(), aKeyFile.c_str(), SSL_FILETYPE_PEM) != 1)
        throw std::runtime_error("cannot load the test certificate");
    tls->Ssl.reset(SSL_new(tls->Ctx.get()));
    SSL_set_fd(tls->Ssl.get(), FSocket.Get());
    // The socket blocks; a handshake the client never starts ends with the
    // receive timeout.
    timeval wait{kScriptWaitMs / 1000, 0};
    ::setsockopt(FSocket.Get(), SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    if (SSL_accept(tls->Ssl.get()) != 1) {
        ERR_clear_error();
        throw std::runtime_error("TLS handshake with the client failed");
    }
    FTls = std::move(tls);
}

std::string TScriptedPeer::ServerName() const
{
    const char* name = FTls ? SSL_get_servername(FTls->Ssl.get(), TLSEXT_NAMETYPE_host_name) : nullptr;
    return name ? name : "";
}

void TScriptedPeer::WaitForClose()
{
    try {
        char chunk[4096];
        while (Receive(chunk, sizeof chunk) > 0) {
        }
    } catch (const std::exception&) {
    }
}

TScriptedServer::TScriptedServer(TScript aScript) : TScriptedServer(std::vector<TScript>{std::move(aScript)}) {}

TScriptedServer::TScriptedServer(std::vector<TScript> aScripts)
    : FScripts(std::move(aScripts)), FListener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)),
      FStopEvent(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (!FListener || !FStopEvent || ::bind(FListener.Get(), reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::listen(FListener.Get(), 4) != 0 ||
        ::getsockname(FListener.Get(), reinterpret_cast<sockaddr*>(&address), &size) != 0)
        throw std::runtime_error("cannot listen on 127.0.0.1");
    FPort = ntohs(address.sin_port);
    FThread = std::thread([this] { Serve(); });
}

TScriptedServer::~TScriptedServer()
{
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(FStopEvent.Get(), &one, sizeof one);
    if (FThread.joinable())
        FThread.join();
}

void TScriptedServer::Serve()
{
    // A write to a client that is gone must fail here, not raise SIGPIPE in
    // the test process; the signal goes to the writing thread, so this
    // thread alone blocks it.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    try {
        for (const TScript& script : FScripts) {
            pollfd fds[2] = {{FListener.Get(), POLLIN, 0}, {FStopEvent.Get(), POLLIN, 0}};
            if (::poll(fds, 2, kScriptWaitMs) <= 0 || fds[1].revents != 0)
                throw std::runtime_error("no client connected");
            TFileHandle client(::accept4(FListener.Get(), nullptr, nullptr, SOCK_CLOEXEC));
            if (!client)
                throw std::runtime_error("accept failed");
            TScriptedPeer peer(std::move(client), FStopEvent.Get());
            script(peer);
        }
    } catch (const std::exception& e) {
        std::lock_guard lock(FMutex);
        FFailure = e.what();
    }
}

std::string TScriptedServer::Finish()
{
    if (FThread.joinable())
        FThread.join();
    std::lock_guard lock(FMutex);
    return FFailure;
}

void ScriptLogin(TScriptedPeer& aPeer)
{
    aPeer.Send("+OK hostile server ready\r\n");
    aPeer.Expect("USER u");
    aPeer.Send("+OK\r\n");
    aPeer.Expect("PASS p");
    aPeer.Send("+OK logged in\r\n");
}
