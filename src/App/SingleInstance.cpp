#include "SingleInstance.h"

#include "Runtime/Log.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kSocketName = "quillmar.sock";

} // namespace

TSingleInstance::TSingleInstance() = default;

TSingleInstance::~TSingleInstance()
{
    if (FServer)
        FServer->close();   // removes the socket file
}

std::filesystem::path TSingleInstance::RuntimeFolder()
{
    return TInstanceLock::RuntimeFolder();
}

bool TSingleInstance::Acquire()
{
    return FLock.Acquire("quillmar");
}

void TSingleInstance::Listen(std::function<void()> aOnShow)
{
    const auto folder = RuntimeFolder();
    if (folder.empty() || !FLock.Held())
        return;
    const QString path = QString::fromStdString((folder / kSocketName).string());
    // We hold the lock, so a socket file left there belongs to a dead run.
    QLocalServer::removeServer(path);
    FServer = std::make_unique<QLocalServer>();
    FServer->setSocketOptions(QLocalServer::UserAccessOption);
    if (!FServer->listen(path)) {
        TLog::O(lolWorn, "不能监听实例套接字：%s", {FServer->errorString().toStdString()});
        FServer.reset();
        return;
    }
    connect(FServer.get(), &QLocalServer::newConnection, this, [this, onShow = std::move(aOnShow)] {
        while (QLocalSocket* client = FServer->nextPendingConnection()) {
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            connect(client, &QLocalSocket::readyRead, client, [client, onShow] {
                while (client->canReadLine()) {
                    const QByteArray line = client->readLine(64).trimmed();
                    if (line == kShowRequest && onShow)
                        onShow();
                }
                if (client->bytesAvailable() > 64)   // no line in sight: not one of ours
                    client->abort();
            });
        }
    });
}

bool TSingleInstance::SendShow()
{
    const auto folder = RuntimeFolder();
    if (folder.empty())
        return false;
    const QString path = QString::fromStdString((folder / kSocketName).string());
    // The first instance listens right after taking the lock; give it a
    // moment if it is just starting.
    for (int attempt = 0; attempt < 20; ++attempt) {
        QLocalSocket socket;
        socket.connectToServer(path);
        if (socket.waitForConnected(500)) {
            socket.write(QByteArray(kShowRequest) + '\n');
            const bool sent = socket.waitForBytesWritten(1000);
            socket.disconnectFromServer();
            return sent;
        }
        QThread::msleep(100);
    }
    return false;
}
