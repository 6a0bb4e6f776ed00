// A real SMTP server for the tests: aiosmtpd (tests/Support/smtp_server.py,
// run with /usr/bin/python3) on two free loopback ports, plain with
// STARTTLS and implicit TLS, with AUTH against its own users, a script the
// tests change while it runs (refusals at each stage, per recipient, of
// the n-th message, a slow answer to the message), every accepted message
// kept as an envelope and its DATA, and delivery into Maildirs.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "Certificate.h"
#include "ScratchFolder.h"
#include "Runtime/FileHandle.h"

class TSmtpTestServer {
public:
    // Starts the server and waits until both ports listen; raises
    // std::runtime_error with its output when it does not come up.
    // aPlainPort: the plain port to listen on (a server coming back where
    // one went away); 0 for a free one.
    explicit TSmtpTestServer(int aPlainPort = 0);
    // Closes its standard input (it stops), waits, kills it after 5 s.
    ~TSmtpTestServer();
    TSmtpTestServer(const TSmtpTestServer&) = delete;
    TSmtpTestServer& operator=(const TSmtpTestServer&) = delete;

    int PlainPort() const { return FPlainPort; }
    int TlsPort() const { return FTlsPort; }
    // Self-signed, for the name "localhost".
    const TTestCertificate& Certificate() const { return FCertificate; }

    void AddUser(const std::string& aName, const std::string& aPassword);
    // The script as JSON text (see smtp_server.py); "{}" for none.
    void SetScript(const std::string& aJson);

    struct TMessage {
        std::string From;
        std::vector<std::string> To;
        std::string Login;
        std::string Data;
    };
    // Every message accepted so far, in order.
    std::vector<TMessage> Messages() const;
    // Waits until at least aCount messages were accepted (10 s at most).
    std::vector<TMessage> WaitForMessages(std::size_t aCount) const;

    std::string Log() const;

private:
    TScratchFolder FScratch{"qm-smtp"};
    std::filesystem::path FFolder = FScratch.Path();
    TTestCertificate FCertificate;
    int FPlainPort = 0;
    int FTlsPort = 0;
    pid_t FPid = -1;
    TFileHandle FInput;
};
