// TLineTransport: the line-oriented connection under the POP3 and SMTP
// clients — TCP with optional TLS (implicit, or upgraded after STLS /
// STARTTLS), reply lines with a length limit, raw access for streaming
// message bodies, writes, timeouts and cancel.
//
// One thread uses a transport; only Cancel may be called from another. It
// wakes a pending connect, read or write at once through an eventfd polled
// together with the socket, and every later call fails with
// ETransportCancelled. The socket itself is closed only by the owning
// thread, so no other thread can pull a descriptor from under a call (or
// close one that was already reused).
//
// A call that fails leaves the connection closed: after a timeout, a drop
// or an oversized line nobody knows where the next reply starts. (A
// server's refusal is a reply like any other; the clients decide.)
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Business/Account/TlsMode.h"
#include "Runtime/FileHandle.h"

struct TTransportSettings {
    std::string Host;
    int Port = 0;
    TTlsMode TlsMode = tlsmNone;
    // Accept any certificate, whoever issued it and whatever name it
    // carries. The failed check is still logged.
    bool AcceptUntrustedCertificate = false;
    // PEM certificates trusted besides the system's store; empty for none.
    std::string CaFile;
    // Longest TCP connect (all addresses of the host together), and longest
    // TLS handshake.
    std::chrono::milliseconds ConnectTimeout = std::chrono::seconds(30);
    // Longest wait for the next byte to read or room to write.
    std::chrono::milliseconds IdleTimeout = std::chrono::seconds(120);
    // Longest reply line, without its line end. Message bodies are
    // streamed and know no limit.
    size_t MaxLineLength = 10485760;
    // Longest multi-line listing (UIDL, LIST) in lines and in bytes: far
    // above any real mailbox, so a server that never ends one cannot take
    // the memory.
    size_t MaxReplyLines = 1000000;
    size_t MaxReplyBytes = 64u << 20;
};

class TLineTransport {
public:
    explicit TLineTransport(TTransportSettings aSettings);
    ~TLineTransport();
    TLineTransport(const TLineTransport&) = delete;
    TLineTransport& operator=(const TLineTransport&) = delete;

    const TTransportSettings& Settings() const { return FSettings; }
    // For one long wait (the reply after SMTP's DATA); the caller restores it.
    void SetIdleTimeout(std::chrono::milliseconds aTimeout) { FSettings.IdleTimeout = aTimeout; }

    // Connects to the first address of Host that answers; with implicit TLS
    // the handshake follows at once. A connected transport is closed first.
    void Connect();
    // Upgrades the connection to TLS after the server agreed to STLS or
    // STARTTLS. Whatever was read ahead in plain text is thrown away: an
    // attacker who injects lines behind the server's agreement must not
    // have them taken as replies inside the secured session.
    void StartTls();
    bool Connected() const { return FSocket.Valid(); }
    bool Secure() const { return FTls != nullptr; }
    // "host:port", for messages.
    std::string PeerName() const;

    // The next line without its line end (CR LF or a bare LF). A line over
    // MaxLineLength raises EMalformedReplyError.
    std::string ReadLine();
    // Raw access for streaming: the bytes buffered so far, after waiting for
    // at least one when none is; never empty (the end of the connection
    // raises EConnectionClosed). Consume drops the first aCount of them.
    std::string_view Peek();
    void Consume(size_t aCount);

    void Write(std::string_view aData);
    // aLine followed by CR LF, in one write.
    void WriteLine(std::string_view aLine);

    // Byte totals since the transport was made (progress reports).
    uint64_t BytesRead() const { return FBytesRead; }
    uint64_t BytesWritten() const { return FBytesWritten; }

    // Ends the connection: a TLS close notification when the session is
    // still sound, then the socket is closed. Never raises.
    void Close() noexcept;
    // Any thread: wakes the pending call and makes every later one fail.
    void Cancel();
    bool Cancelled() const { return FCancelled.load(std::memory_order_acquire); }

private:
    struct TTls;
    enum class TWait { Read, Write };
    using TClock = std::chrono::steady_clock;

    void ConnectTo(const struct addrinfo& aAddress, TClock::time_point aDeadline);
    void Handshake();
    // Waits until the socket is ready or raises (timeout, cancel).
    void WaitFor(TWait aWait, TClock::time_point aDeadline, std::chrono::milliseconds aLimit, const char* aWhat);
    // Reads what is available (waiting up to the idle timeout) into the
    // buffer; raises EConnectionClosed at the end of the stream.
    void Fill();
    size_t ReceiveSome(char* aBuffer, size_t aSize);
    void CheckUsable() const;
    // Closes the connection because of a failure: no TLS close notification.
    void Abandon() noexcept;
    [[noreturn]] void RaiseTlsError(const std::string& aWhat, int aSslError);

    TTransportSettings FSettings;
    TFileHandle FSocket;
    TFileHandle FCancelEvent;
    std::atomic<bool> FCancelled{false};
    std::unique_ptr<TTls> FTls;
    std::vector<char> FBuffer;
    size_t FBegin = 0;   // first unread byte in FBuffer
    size_t FEnd = 0;     // one past the last buffered byte
    size_t FScanned = 0; // bytes after FBegin known to hold no line feed
    uint64_t FBytesRead = 0;
    uint64_t FBytesWritten = 0;
};
