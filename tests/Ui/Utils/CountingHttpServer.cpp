#include "CountingHttpServer.h"

#include <QBuffer>
#include <QImage>

#include <httplib.h>

#include <atomic>
#include <mutex>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

struct TCountingHttpServer::TImpl {
    httplib::Server Server;
    std::thread Thread;
    int Port = 0;
    mutable std::mutex Lock;
    std::vector<std::string> Paths;
    std::string Picture = SolidPng(4, 4, 0x3366cc);
    int Listener = -1;
    int ConnectPort = 0;
    std::atomic<int> Connections{0};
    std::atomic<bool> Stop{false};
    std::thread Counter;
};

TCountingHttpServer::TCountingHttpServer() : d(std::make_unique<TImpl>())
{
    auto note = [this](const httplib::Request& aRequest, httplib::Response& aResponse) {
        {
            std::lock_guard lock(d->Lock);
            d->Paths.push_back(aRequest.path);
        }
        aResponse.set_content(d->Picture, "image/png");
    };
    // One request per connection: a kept-alive connection would hold the
    // server's stop for its whole idle timeout.
    d->Server.set_keep_alive_max_count(1);
    d->Server.Get(".*", note);
    d->Server.Post(".*", note);
    d->Port = d->Server.bind_to_any_port("127.0.0.1");
    d->Thread = std::thread([this] { d->Server.listen_after_bind(); });

    d->Listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(d->Listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::listen(d->Listener, 16) == 0 &&
        ::getsockname(d->Listener, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        d->ConnectPort = ntohs(address.sin_port);
    d->Counter = std::thread([this] {
        while (!d->Stop) {
            pollfd p{d->Listener, POLLIN, 0};
            if (::poll(&p, 1, 50) > 0) {
                const int peer = ::accept(d->Listener, nullptr, nullptr);
                if (peer >= 0) {
                    ++d->Connections;
                    ::close(peer);
                }
            }
        }
    });
}

TCountingHttpServer::~TCountingHttpServer()
{
    d->Server.stop();
    d->Thread.join();
    d->Stop = true;
    d->Counter.join();
    ::close(d->Listener);
}

std::string TCountingHttpServer::ConnectBase() const
{
    return "http://127.0.0.1:" + std::to_string(d->ConnectPort);
}

int TCountingHttpServer::Connections() const
{
    return d->Connections;
}

std::string TCountingHttpServer::Base() const
{
    return "http://127.0.0.1:" + std::to_string(d->Port);
}

std::vector<std::string> TCountingHttpServer::Paths() const
{
    std::lock_guard lock(d->Lock);
    return d->Paths;
}

void TCountingHttpServer::Clear()
{
    std::lock_guard lock(d->Lock);
    d->Paths.clear();
}

std::string SolidPng(int aWidth, int aHeight, unsigned aRgb)
{
    QImage image(aWidth, aHeight, QImage::Format_RGB32);
    image.fill(QColor::fromRgb(aRgb));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}
