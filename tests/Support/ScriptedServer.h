// A hostile POP3 server for the tests: a thread that accepts connections
// on 127.0.0.1 and plays a script on each — for what real servers never
// do (broken replies, drops mid-transfer, huge lines, silence, plain text
// injected after STLS).
//
// Nothing here can hang a test: every wait of the script ends after 10 s,
// and the destructor stops the script and joins the thread.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "Runtime/FileHandle.h"

class TScriptedPeer {
public:
    TScriptedPeer(TFileHandle aSocket, int aStopEvent);
    ~TScriptedPeer();

    // Sends aData in one piece (or, for aChunk > 0, in pieces of that size).
    void Send(std::string_view aData, size_t aChunk = 0);
    // The next line without its CR LF; raises at the end of the stream.
    std::string ReadLine();
    // Whatever bytes arrive next (at least one); raises at the end of the
    // stream.
    std::string ReadSome();
    // Reads a line and raises when it is not aLine.
    void Expect(std::string_view aLine);
    // Plays the server side of a TLS handshake.
    void StartTls(const std::filesystem::path& aCertFile, const std::filesystem::path& aKeyFile);
    // The host name the client sent in its TLS hello (SNI), or empty.
    std::string ServerName() const;
    // Waits until the client closes the connection (or 10 s pass).
    void WaitForClose();

private:
    struct TTls;
    void WaitReadable();
    size_t Receive(char* aBuffer, size_t aSize);

    TFileHandle FSocket;
    int FStopEvent;
    std::unique_ptr<TTls> FTls;
    std::string FBuffer;
};

class TScriptedServer {
public:
    using TScript = std::function<void(TScriptedPeer&)>;

    explicit TScriptedServer(TScript aScript);
    // One script per connection, in the order the connections come.
    explicit TScriptedServer(std::vector<TScript> aScripts);
    ~TScriptedServer();
    TScriptedServer(const TScriptedServer&) = delete;
    TScriptedServer& operator=(const TScriptedServer&) = delete;

    int Port() const { return FPort; }
    // Waits for the script to end; what went wrong in it, or empty.
    std::string Finish();

private:
    void Serve();

    std::vector<TScript> FScripts;
    TFileHandle FListener;
    TFileHandle FStopEvent;
    int FPort = 0;
    std::mutex FMutex;
    std::string FFailure;
    std::thread FThread;
};

// "+OK" greeting, USER u, PASS p: the login every script starts with.
void ScriptLogin(TScriptedPeer& aPeer);
