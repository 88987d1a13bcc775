#pragma once

// POP3 client (RFC 1939; STLS from RFC 2595, POP3S on connect): login with USER/PASS (or APOP),
// STAT, RETR, TOP n 0, DELE and QUIT over the line connection.
//
// Replies are mapped to NumericCode 1 for "+OK" and 2 for "-ERR" (letter case ignored); any other
// reply raises EIdException "Unrecognized POP3 Response Header:". Every read is bounded by the
// read time-out, which Connect takes from its time limit. When reading a message fails part-way,
// the rest of it is read and dropped up to its terminating "." before the next command, so a
// reply is never taken from message content.

#include "pop3/IdTCPClient.h"

#include <string>

namespace qm {

class TIdMessage;

class TIdPOP3 : public TIdTCPClient {
public:
    // Values of Security.
    static constexpr int kSecurityNone = 0;
    static constexpr int kSecurityTls = 1;  // TLS right after the TCP connect (POP3S)
    static constexpr int kSecuritySTLS = 2; // STLS after the greeting, before USER

    TIdPOP3();

    std::string Username;
    std::string Password;
    bool APOP = false;
    int Security = kSecurityNone;

    // TCP connect within timeoutMs (0 or -1: no limit), TLS as Security asks, greeting, login.
    // A positive timeoutMs also becomes ReadTimeout unless that was set already. On a failure
    // after the TCP connect, Disconnect runs (QUIT when still connected) and the error is
    // raised again. TLS failures raise EIdTLSError and never fall back to plain text; so does a
    // Security value other than the three above, before anything is sent.
    void Connect(int timeoutMs) override;
    // STAT; the number of messages. Throws EIdProtocolReplyError, EIdConvertError.
    int MessageCount();
    // RETR number; header and body into message. False when the server answers -ERR.
    bool FetchMessage(int number, TIdMessage& message);
    // TOP number 0; header into message. Throws EIdProtocolReplyError on -ERR.
    bool FetchHeader(int number, TIdMessage& message);
    // DELE number. Throws EIdProtocolReplyError on -ERR.
    bool DeleteMessage(int number);
    // QUIT (its reply is not read) when still connected, then close. Never throws.
    void Disconnect() override;
    // Whether the last Disconnect sent QUIT on a live connection, which is what makes the
    // server commit the deletions of the session.
    bool QuitSent() const { return m_quitSent; }

    int GetResponse() override;

    // APOP digest: 32 lower-case hex digits of MD5(timestamp + password).
    static std::string ApopDigest(const std::string& timestamp, const std::string& password);

private:
    void Login();
    // Drops the rest of a message whose reading failed, up to its "." line.
    void FinishPendingMessage();
    bool m_messagePending = false;
    bool m_quitSent = false;
};

} // namespace qm
