// fake-maker-server [--host HOST] [--port PORT]
// Serves the fake maker's services until SIGINT or SIGTERM. Prints the
// port it listens on (useful with the default, port 0: any free port) as
// the first line of its output.
#include "FakeMakerServer.h"

#include <csignal>
#include <cstring>
#include <iostream>
#include <string>

int main(int argc, char** argv)
{
    std::string host = "127.0.0.1";
    int port = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--host") == 0 && i + 1 < argc) {
            host = argv[++i];
        } else if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc) {
            port = std::stoi(argv[++i]);
        } else {
            std::cerr << "usage: fake-maker-server [--host HOST] [--port PORT]\n";
            return 2;
        }
    }

    // Blocked before any thread starts, so only sigwait below sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    try {
        TFakeMakerServer server;
        std::cout << server.Start(host, port) << std::endl;
        int signal = 0;
        sigwait(&stopSignals, &signal);
        server.Stop();
    } catch (const std::exception& e) {
        std::cerr << "fake-maker-server: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
