// The errors of the mail transport.
//
// FormatTransportError tells them apart: a reply error carries what the
// server said (its code is shown), every other error is described by its
// own message, completed from the server's last reply when that was a
// failure.
#pragma once

#include <string>

#include "Runtime/Errors.h"
#include "ServerReply.h"

class ETransportError : public Exception {
public:
    using Exception::Exception;
};

// The connection could not be made or broke (refused, reset, no route).
class ESocketError : public ETransportError {
public:
    using ETransportError::ETransportError;
};

// The server closed the connection while an answer was due.
class EConnectionClosed : public ESocketError {
public:
    using ESocketError::ESocketError;
};

// Connecting, or waiting for the next byte, took longer than allowed.
class ETimeoutError : public ETransportError {
public:
    using ETransportError::ETransportError;
};

// Cancel was called (from any thread).
class ETransportCancelled : public ETransportError {
public:
    ETransportCancelled() : ETransportError("Operation cancelled") {}
};

class ETlsError : public ETransportError {
public:
    using ETransportError::ETransportError;
};

// The server's certificate did not verify: untrusted, expired, or issued
// for another host.
class ETlsCertificateError : public ETlsError {
public:
    using ETlsError::ETlsError;
};

// Base of the errors about what a server answered.
class EReplyError : public ETransportError {
public:
    using ETransportError::ETransportError;
};

// The server answered, but not in the shape its protocol allows (a status
// line that is neither +OK nor -ERR, a broken UIDL line, a reply line over
// the limit).
class EMalformedReplyError : public EReplyError {
public:
    using EReplyError::EReplyError;
};

// A POP3 server refused a command with "-ERR"; the message is the reply's
// text without its status and extended response code.
class EPop3ReplyError : public EReplyError {
public:
    explicit EPop3ReplyError(TServerReply aReply)
        : EReplyError(aReply.Text()), FReply(std::move(aReply)) {}
    const TServerReply& Reply() const { return FReply; }

private:
    TServerReply FReply;
};

// An SMTP server refused a command (reply code 4xx or 5xx); the message is
// the reply's text, one line per reply line.
class ESmtpReplyError : public EReplyError {
public:
    explicit ESmtpReplyError(TServerReply aReply)
        : EReplyError(aReply.Text()), FReply(std::move(aReply)) {}
    const TServerReply& Reply() const { return FReply; }

private:
    TServerReply FReply;
};

// An HTTP exchange failed at the protocol level (a status that is not a
// success); the message says what the server answered.
class EHttpProtocolError : public EReplyError {
public:
    EHttpProtocolError(int aStatus, const std::string& aMessage) : EReplyError(aMessage), FStatus(aStatus) {}
    int Status() const { return FStatus; }

private:
    int FStatus;
};
