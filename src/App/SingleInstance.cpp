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

constexpr const char* kLockName = "quillmar.lock";
constexpr const char* kSocketName = "quillmar.sock";

// A folder only this user can write, that is not a link.
bool IsPrivateFolder(const std::filesystem::path& aFolder)
{
    struct stat st {};
    return ::lstat(aFolder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
           (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

} // namespace

TSingleInstance::TSingleInstance() = default;

TSingleInstance::~TSingleInstance()
{
    if (FServer)
        FServer->close();   // removes the socket file
}

std::filesystem::path TSingleInstance::RuntimeFolder()
{
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime == '/') {
        if (IsPrivateFolder(runtime))
            return runtime;
    }
    const std::filesystem::path fallback = "/tmp/quillmar-" + std::to_string(::getuid());
    if (::mkdir(fallback.c_str(), 0700) != 0 && errno != EEXIST)
        return {};
    return IsPrivateFolder(fallback) ? fallback : std::filesystem::path();
}

bool TSingleInstance::Acquire()
{
    const auto folder = RuntimeFolder();
    if (folder.empty()) {
        TLog::O(lolWorn, "没有私有的运行文件夹，不检查是否已有实例在运行");
        return true;
    }
    const auto path = folder / kLockName;
    FLock.Reset(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!FLock) {
        TLog::O(lolWorn, "不能打开实例锁文件 %s", {path.string()});
        return true;
    }
    if (::flock(FLock.Get(), LOCK_EX | LOCK_NB) == 0)
        return true;
    FLock.Reset();
    return false;
}

void TSingleInstance::Listen(std::function<void()> aOnShow)
{
    const auto folder = RuntimeFolder();
    if (folder.empty() || !FLock)
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
