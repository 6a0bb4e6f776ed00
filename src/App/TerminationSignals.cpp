#include "TerminationSignals.h"

#include "Runtime/Log.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <array>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int gWriteFd = -1;
constexpr std::array kSignals = {SIGTERM, SIGINT, SIGHUP};

void OnSignal(int aSignal)
{
    const char byte = static_cast<char>(aSignal);
    [[maybe_unused]] ssize_t n = ::write(gWriteFd, &byte, 1);
}

} // namespace

TTerminationSignals::TTerminationSignals()
{
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds) != 0)
        return;
    FRead.Reset(fds[0]);
    gWriteFd = fds[1];
    FNotifier = std::make_unique<QSocketNotifier>(FRead.Get(), QSocketNotifier::Read);
    connect(FNotifier.get(), &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        if (::read(FRead.Get(), &byte, 1) == 1) {
            TLog::O(lolInfo, "程序收到信号 %d，退出消息循环", {static_cast<int>(byte)});
            // Every loop, a modal one too, ends; quit() would first ask the
            // windows to close, and the main window hides to the tray instead.
            QCoreApplication::exit(0);
        }
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : kSignals)
        ::sigaction(sig, &action, nullptr);
}

TTerminationSignals::~TTerminationSignals()
{
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    for (int sig : kSignals)
        ::sigaction(sig, &action, nullptr);
    if (gWriteFd >= 0)
        ::close(std::exchange(gWriteFd, -1));
}
