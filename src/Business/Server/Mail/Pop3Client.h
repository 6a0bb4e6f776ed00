// TPop3Client: the POP3 commands the receiving job uses — USER/PASS, STLS,
// UIDL, TOP n 0, LIST n, RETR n, STAT and QUIT — over a TLineTransport.
//
// A "-ERR" answer raises EPop3ReplyError and leaves the session usable;
// any other failure (timeout, drop, cancel, a reply that breaks the
// protocol) closes the connection. Every status line read becomes
// LastReply, for FormatTransportError.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "LineTransport.h"
#include "ServerReply.h"

struct TUidlEntry {
    int Number = 0;    // the message number the server gave on the line
    std::string Uid;   // everything after the first blank, kept as it is
    bool operator==(const TUidlEntry&) const = default;
};

struct TPop3Stat {
    int64_t Count = 0;
    int64_t Size = 0;
};

// Receives a message (or header) as it arrives: CR LF kept, dot-stuffing
// removed, the terminating "." line not included.
using TDataSink = std::function<void(std::string_view aData)>;

// "+OK text" / "-ERR [CODE] text" into a reply; anything else raises
// EMalformedReplyError.
TServerReply ParsePop3StatusLine(std::string_view aLine);
// "number uid": the number a positive decimal, the uid the non-empty rest
// of the line without control characters. Raises EMalformedReplyError.
TUidlEntry ParseUidlLine(std::string_view aLine);

class TPop3Client {
public:
    explicit TPop3Client(TTransportSettings aSettings);
    ~TPop3Client();
    TPop3Client(const TPop3Client&) = delete;
    TPop3Client& operator=(const TPop3Client&) = delete;

    // Connects, reads the greeting, secures the session as the settings'
    // TLS mode says (STLS must succeed), and logs in with USER and PASS.
    void Connect(const std::string& aUser, const std::string& aPassword);
    bool Connected() const { return FTransport.Connected(); }

    // UIDL for all messages, in the server's order.
    std::vector<TUidlEntry> Uidl();
    // TOP n aLines, streamed.
    void Top(int aNumber, int aLines, const TDataSink& aSink);
    // TOP n 0: the header block with its closing empty line.
    std::string RetrieveHeader(int aNumber);
    // LIST n: the size in octets, -1 when the server refuses
    // (RaiseExceptionForLastCmdResult then raises its answer).
    int64_t RetrieveMsgSize(int aNumber);
    // RETR n, streamed to aSink. A sink that raises ends the transfer and
    // the connection.
    void Retrieve(int aNumber, const TDataSink& aSink);
    TPop3Stat Stat();

    // QUIT when the session is sound, then closes. Never raises.
    void Disconnect() noexcept;
    // Any thread: ends a pending or later call with ETransportCancelled.
    void Cancel() { FTransport.Cancel(); }

    // The last status line read, or null before the first.
    const TServerReply* LastReply() const { return FLastReply ? &*FLastReply : nullptr; }
    // The verb of the last command sent ("USER", "PASS", "STAT"…); empty
    // while connecting, before the first command.
    const std::string& LastCommand() const { return FLastCommand; }
    // Raises the last reply as EPop3ReplyError.
    [[noreturn]] void RaiseExceptionForLastCmdResult() const;

    TLineTransport& Transport() { return FTransport; }

private:
    // Sends a command and reads its status line; aLogged replaces the
    // command in the log (passwords).
    const TServerReply& SendCmd(std::string_view aCommand, std::string_view aLogged = {});
    // The same, raising EPop3ReplyError on "-ERR".
    const TServerReply& Command(std::string_view aCommand, std::string_view aLogged = {});
    const TServerReply& ReadStatus();
    void ReadDotTerminated(const TDataSink& aSink);
    // Hands on each line of a multi-line answer, dot-stuffing removed, up
    // to the settings' bounds (beyond them: EMalformedReplyError, and the
    // connection is closed).
    void ReadTextLines(const std::function<void(std::string&&)>& aLine);

    TLineTransport FTransport;
    std::optional<TServerReply> FLastReply;
    std::string FLastCommand;
};
