// A loopback HTTP server that answers every GET with a small picture and
// notes the path of every request that reaches it.
#pragma once

#include <memory>
#include <string>
#include <vector>

class TCountingHttpServer {
public:
    TCountingHttpServer();
    ~TCountingHttpServer();
    TCountingHttpServer(const TCountingHttpServer&) = delete;
    TCountingHttpServer& operator=(const TCountingHttpServer&) = delete;

    // "http://127.0.0.1:PORT"
    std::string Base() const;
    std::vector<std::string> Paths() const;
    void Clear();
    // A second port that only counts the connections made to it (a page
    // may connect early without ever asking for anything).
    std::string ConnectBase() const;
    int Connections() const;

private:
    struct TImpl;
    std::unique_ptr<TImpl> d;
};

// A PNG of aWidth × aHeight pixels in one colour (0xRRGGBB).
std::string SolidPng(int aWidth, int aHeight, unsigned aRgb);
