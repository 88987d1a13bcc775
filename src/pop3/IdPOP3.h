#pragma once

// POP3 client (RFC 1939; STLS from RFC 2595, POP3S on connect): CAPA (RFC 2449), login with
// USER/PASS (or APOP) or SASL (RFC 5034: PLAIN, XOAUTH2, OAUTHBEARER), STAT, RETR, TOP n 0, DELE
// and QUIT over the line connection. Fetches and deletions can be pipelined: queued, sent
// together, and their replies read back in the order they were sent.
//
// Replies are mapped to NumericCode 1 for "+OK" and 2 for "-ERR" (letter case ignored); any other
// reply raises EIdException "Unrecognized POP3 Response Header:". Every read is bounded by the
// read time-out, which Connect takes from its time limit. When reading a message fails part-way,
// the rest of it is read and dropped up to its terminating "." before the next command, so a
// reply is never taken from message content.

#include "pop3/IdTCPClient.h"
#include "pop3/Pop3Capabilities.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

class TIdMessage;

class TIdPOP3 : public TIdTCPClient {
public:
    // Values of Security.
    static constexpr int kSecurityNone = 0;
    static constexpr int kSecurityTls = 1;  // TLS right after the TCP connect (POP3S)
    static constexpr int kSecuritySTLS = 2; // STLS after the greeting, before USER

    // Values of Auth.
    static constexpr int kAuthUserPass = 0;    // USER and PASS (or APOP)
    static constexpr int kAuthPlain = 1;       // SASL PLAIN with the password
    static constexpr int kAuthXOAuth2 = 2;     // SASL XOAUTH2 with AccessToken
    static constexpr int kAuthOAuthBearer = 3; // SASL OAUTHBEARER with AccessToken

    TIdPOP3();
    // The password and the token are wiped when the client goes, with the session that used them.
    ~TIdPOP3() override;

    std::string Username;
    std::string Password;
    bool APOP = false;
    int Security = kSecurityNone;
    int Auth = kAuthUserPass;
    // The OAuth2 access token for the two OAuth2 methods; wiped once the login has used it.
    std::string AccessToken;

    static bool IsKnownAuth(int auth) { return auth >= kAuthUserPass && auth <= kAuthOAuthBearer; }
    // The methods that sign in with an access token instead of the password.
    static bool IsOAuth(int auth) { return auth == kAuthXOAuth2 || auth == kAuthOAuthBearer; }
    // Throws EIdException, before anything is sent, for an unknown Auth and for an OAuth2 method
    // without TLS: a bearer token must never cross the network in plain text.
    static void CheckSignIn(int security, int auth);
    // Throws EIdTLSError for a Security value other than the three above: a damaged setting
    // must not quietly mean plain text.
    static void CheckSecurity(int security);
    // The SASL mechanism of a SASL Auth value, and the client's response for it (not encoded).
    static const char* SaslMechanism(int auth);
    static std::string SaslResponse(int auth, std::string_view user, std::string_view password, std::string_view host,
                                    int port, std::string_view token);

    // TCP connect within timeoutMs (0 or -1: no limit), TLS as Security asks, greeting, login.
    // A positive timeoutMs also becomes ReadTimeout unless that was set already. On a failure
    // after the TCP connect, Disconnect runs (QUIT when still connected) and the error is
    // raised again. TLS failures raise EIdTLSError and never fall back to plain text; so does a
    // Security value other than the three above, before anything is sent. CheckSignIn runs first.
    // A SASL login refused by the server raises EIdProtocolReplyError with the server's text and,
    // after an OAuth2 error challenge, the status the challenge names.
    void Connect(int timeoutMs) override;
    // What the server answered to CAPA, asked after the greeting and again after STLS (what was
    // learnt before the handshake is forgotten). Nothing is announced when the server refused
    // CAPA or did not answer within the read time-out; the session then goes on as without it.
    const Pop3Capabilities& Capabilities() const { return m_capabilities; }
    // Whether the last Connect failed because the server refused the login with [LOGIN-DELAY].
    bool LoginDelayed() const { return m_loginDelayed; }

    // STAT; the number of messages. Throws EIdProtocolReplyError, EIdConvertError.
    int MessageCount();
    // RETR number; header and body into message. False when the server answers -ERR.
    bool FetchMessage(int number, TIdMessage& message);
    // The size in octets of the message the last FetchMessage read to its end; nullopt when it
    // did not (a refused or broken answer) or before the first.
    std::optional<std::uint64_t> LastMessageSize() const { return m_lastMessageSize; }
    // TOP number 0; header into message. False when the server answers -ERR.
    bool FetchHeader(int number, TIdMessage& message);
    // DELE number. False when the server answers -ERR.
    bool DeleteMessage(int number);
    // UIDL: the unique-ids of messages 1 to `count` (see ParseUniqueIds); nullopt when the server
    // refuses the command or its listing names the messages unreliably. A listing longer than
    // the mailbox closes the connection and raises EIdException.
    std::optional<std::vector<std::string>> UniqueIds(int count);

    // Pipelining: commands are queued, SendQueued sends them in one write, and the replies are
    // read in the order the commands were sent, one Read...Reply for each. The caller bounds
    // what it has sent and not read yet, so that neither side blocks on a full socket buffer.
    void QueueFetch(int number, bool wholeMessage); // RETR number, or TOP number 0
    void QueueDelete(int number);                   // DELE number
    void QueueListing(int number);                  // LIST number
    std::size_t QueuedBytes() const { return m_queued.size(); }
    void SendQueued();
    // The reply to the oldest fetch not read yet, into message (see FetchMessage, FetchHeader);
    // false when the server refused it.
    bool ReadFetchReply(TIdMessage& message, bool wholeMessage);
    // The reply to the oldest LIST not read yet. Its "+OK <number> <size>" names the message, so a
    // reply taken out of its place shows: anything else throws EIdOutOfStep, as does -ERR for a
    // message the server just sent (`fetched`).
    void ReadListingReply(int number, bool fetched);
    // The reply to the oldest DELE not read yet; false when the server refused it.
    bool ReadDeleteReply();
    // Once every reply has been read: whether the server sent more than was asked for, which
    // means it is out of step with the commands.
    bool HasUnrequestedInput();
    // QUIT when still connected, its reply read within ReadTimeout, then close. Never throws.
    void Disconnect() override;
    // Whether the server answered the last Disconnect's QUIT with +OK: only then has it
    // committed the deletions of the session.
    bool QuitCommitted() const { return m_quitCommitted; }
    // Why the last QUIT did not commit (the server's -ERR text, no reply, a closed connection);
    // empty when no QUIT was sent or it committed.
    const std::string& QuitError() const { return m_quitError; }

    int GetResponse() override;

    // APOP digest: 32 lower-case hex digits of MD5(timestamp + password).
    static std::string ApopDigest(const std::string& timestamp, const std::string& password);

private:
    // CAPA and its answer into Capabilities.
    void ReadCapabilities();
    void Login();
    void LoginSasl();
    // The reply read last, mapped to 1 for +OK and 2 for -ERR; EIdException for anything else.
    int MapReply();
    // Drops the rest of a message whose reading failed, up to its "." line.
    void FinishPendingMessage();
    bool m_messagePending = false;
    bool m_quitCommitted = false;
    std::string m_quitError;
    bool m_loginDelayed = false;
    Pop3Capabilities m_capabilities;
    std::string m_queued;
    std::optional<std::uint64_t> m_lastMessageSize;
};

} // namespace qm
