#pragma once

#include <stdexcept>
#include <string>

namespace qm {

// Root of every failure raised by the connection, POP3 and message layers.
// Each subclass carries the exact text the program shows or logs for it.
class EIdException : public std::runtime_error {
public:
    explicit EIdException(const std::string& message) : std::runtime_error(message) {}
};

// A failed socket call or name lookup; carries the socket error number (10000 range).
class EIdSocketError : public EIdException {
public:
    EIdSocketError(int lastError, const std::string& message) : EIdException(message), m_lastError(lastError) {}
    int LastError() const noexcept { return m_lastError; }

private:
    int m_lastError;
};

// A connect that failed on the connect thread; the text is the socket error text.
class EIdConnectException : public EIdException {
public:
    using EIdException::EIdException;
};

// The connect time limit passed before the server accepted.
class EIdConnectTimeout : public EIdException {
public:
    EIdConnectTimeout() : EIdException("Connect timed out.") {}
    using EIdException::EIdException;
};

class EIdAlreadyConnected : public EIdException {
public:
    EIdAlreadyConnected() : EIdException("Already connected.") {}
};

class EIdInvalidSocket : public EIdException {
public:
    EIdInvalidSocket() : EIdException("Cannot allocate socket.") {}
};

class EIdCouldNotBindSocket : public EIdException {
public:
    EIdCouldNotBindSocket() : EIdException("Could not bind socket. Address and port are already in use.") {}
};

// The peer closed the connection and everything it sent has been consumed.
class EIdConnClosedGracefully : public EIdException {
public:
    EIdConnClosedGracefully() : EIdException("Connection Closed Gracefully.") {}
};

class EIdNotConnected : public EIdException {
public:
    EIdNotConnected() : EIdException("Not Connected") {}
};

class EIdClosedSocket : public EIdException {
public:
    EIdClosedSocket() : EIdException("Disconnected.") {}
};

// A read waited longer than the connection's read time-out.
class EIdReadTimeout : public EIdException {
public:
    EIdReadTimeout() : EIdException("Read Timeout") {}
};

class EIdReadLnMaxLineLengthExceeded : public EIdException {
public:
    EIdReadLnMaxLineLengthExceeded() : EIdException("Max line length exceeded.") {}
};

// A reply whose code the command does not allow; the text is the reply's lines, each
// followed by CR LF.
class EIdProtocolReplyError : public EIdException {
public:
    EIdProtocolReplyError(int replyErrorCode, const std::string& message)
        : EIdException(message), m_replyErrorCode(replyErrorCode) {}
    int ReplyErrorCode() const noexcept { return m_replyErrorCode; }

private:
    int m_replyErrorCode;
};

// A reply that answers another command than the one it was read for: the server is out of step,
// and anything it answers next may be taken for the wrong message.
class EIdOutOfStep : public EIdException {
public:
    using EIdException::EIdException;
};

// A TLS failure: handshake, refused STLS, rejected certificate, broken TLS record.
// The text starts with "TLS: ". A connection never falls back to plain text after one.
class EIdTLSError : public EIdException {
public:
    using EIdException::EIdException;
};

} // namespace qm
