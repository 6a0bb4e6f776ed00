// TSmtpClient: the SMTP commands the sending job uses — EHLO (HELO when
// the server knows no EHLO), STARTTLS and EHLO again, AUTH (LOGIN where
// offered, else PLAIN; none without a user name), MAIL FROM, RCPT TO (the
// envelope in one write where the server offers PIPELINING), DATA streamed
// from a file, RSET and QUIT — over a TLineTransport.
//
// A refusal (4xx, 5xx) raises ESmtpReplyError and leaves the session
// usable; any other failure (timeout, drop, cancel, a reply that breaks the
// protocol) closes the connection. Every reply read becomes LastReply, for
// FormatTransportError. Passwords never reach the log.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "LineTransport.h"
#include "ServerReply.h"

// The lines of one reply, "250-first" … "250 last", into a reply; raises
// EMalformedReplyError when they do not form one.
TServerReply ParseSmtpReply(const std::vector<std::string>& aLines);

struct TSmtpRefusal {
    std::string Address;
    TServerReply Reply;
};

class TSmtpClient {
public:
    // The longest wait for the reply to the final "." of a message: the
    // server may scan it first.
    static constexpr std::chrono::minutes kFinalReplyTimeout{10};

    explicit TSmtpClient(TTransportSettings aSettings,
                         std::chrono::milliseconds aFinalReplyTimeout = kFinalReplyTimeout);
    ~TSmtpClient();
    TSmtpClient(const TSmtpClient&) = delete;
    TSmtpClient& operator=(const TSmtpClient&) = delete;

    // Connects, reads the greeting, says EHLO, secures the session as the
    // settings' TLS mode says (STARTTLS must succeed), and logs in when
    // aUser is not empty.
    void Connect(const std::string& aUser, const std::string& aPassword);
    bool Connected() const { return FTransport.Connected(); }
    // The extensions the last EHLO answered with, upper case ("PIPELINING",
    // "STARTTLS", "AUTH"…).
    bool HasExtension(std::string_view aName) const;

    struct TProgress {
        // Bytes of the file sent so far; called as the message goes.
        std::function<void(int64_t aSent)> Sent;
        // Called once the whole message is written, just before the final
        // "." goes: from here on the server may take the message whatever
        // happens to the connection.
        std::function<void()> BeforeFinalDot;
    };
    // Sends the message in aRawFile from aFrom to aRecipients (each once,
    // empty ones skipped). Recipients the server refuses are returned; all
    // refused, or a refusal of MAIL FROM, DATA or the message, raises
    // ESmtpReplyError.
    std::vector<TSmtpRefusal> Send(const std::string& aFrom, const std::vector<std::string>& aRecipients,
                                   const std::filesystem::path& aRawFile, const TProgress& aProgress = {});

    // QUIT when the session is sound, then closes. Never raises.
    void Disconnect() noexcept;
    // Any thread: ends a pending or later call with ETransportCancelled.
    void Cancel() { FTransport.Cancel(); }

    const TServerReply* LastReply() const { return FLastReply ? &*FLastReply : nullptr; }
    // The verb of the last command sent ("EHLO", "STARTTLS", "AUTH" for
    // every line of a login, "MAIL"…); empty while connecting.
    const std::string& LastCommand() const { return FLastCommand; }
    TLineTransport& Transport() { return FTransport; }

private:
    const TServerReply& ReadReply();
    const TServerReply& SendCmd(std::string_view aCommand, std::string_view aLogged = {});
    // The same, raising ESmtpReplyError unless the code is aExpected (its
    // first digit when aExpected < 10).
    const TServerReply& Command(std::string_view aCommand, int aExpected, std::string_view aLogged = {});
    void Ehlo();
    void Authenticate(const std::string& aUser, const std::string& aPassword);
    // After a refused transaction: the server forgets it. A refused RSET
    // is only logged.
    void Reset() noexcept;
    void SendData(const std::filesystem::path& aRawFile, const TProgress& aProgress);

    TTransportSettings FSettings;
    TLineTransport FTransport;
    std::chrono::milliseconds FFinalReplyTimeout;
    std::optional<TServerReply> FLastReply;
    std::set<std::string> FExtensions;
    std::string FAuthMechanisms;   // what AUTH was announced with, upper case
    std::string FLastCommand;
    bool FAuthenticating = false;
};
