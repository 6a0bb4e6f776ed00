// A real POP3 server for the tests: Dovecot, started from its own
// configuration in a temporary folder, listening on two free loopback
// ports (plain with STLS, and implicit TLS), with passwd-file users and
// Maildirs that the tests fill by writing files.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <string_view>

#include "Certificate.h"
#include "ScratchFolder.h"

class TDovecotServer {
public:
    // Starts the server and waits until both ports answer; raises
    // std::runtime_error with Dovecot's log when it does not come up.
    TDovecotServer();
    // Kills the master (SIGKILL is safe for Dovecot) and removes the folder.
    ~TDovecotServer();
    TDovecotServer(const TDovecotServer&) = delete;
    TDovecotServer& operator=(const TDovecotServer&) = delete;

    int PlainPort() const { return FPlainPort; }
    int TlsPort() const { return FTlsPort; }
    // Self-signed, for the name "localhost".
    const TTestCertificate& Certificate() const { return FCertificate; }

    // A user with an empty Maildir.
    void AddUser(const std::string& aName, const std::string& aPassword);
    // Puts a message into the user's Maildir as a delivery agent would
    // (written in tmp/, renamed into new/). Returns the file name, which
    // is also the message's UIDL.
    std::string Deliver(const std::string& aUser, std::string_view aMessage);

    // The user's Maildir, for delivery agents of other tests' servers.
    std::filesystem::path Maildir(const std::string& aUser) const { return Home(aUser) / "Maildir"; }

    std::string Log() const;

private:
    std::filesystem::path Home(const std::string& aUser) const;
    void WriteConfiguration() const;
    void Launch();
    void WaitUntilReady();

    // Short: Dovecot's sockets live below it, and socket paths are limited
    // to 107 bytes. Removed after the server is killed, also when starting
    // it fails.
    TScratchFolder FScratch{"qmdv", "/tmp"};
    std::filesystem::path FFolder = FScratch.Path();
    TTestCertificate FCertificate;
    int FPlainPort = 0;
    int FTlsPort = 0;
    uid_t FMailUid = 0;
    gid_t FMailGid = 0;
    pid_t FPid = -1;
    unsigned FDelivered = 0;
};
