#pragma once

// IMAP4rev1 client (RFC 3501) on the line connection: TLS on connect or mandatory STARTTLS,
// CAPABILITY, ID (RFC 2971), LOGIN or AUTHENTICATE (PLAIN, XOAUTH2, OAUTHBEARER; SASL-IR, RFC
// 4959), LIST with SPECIAL-USE (RFC 6154), SELECT/EXAMINE, STATUS, UID SEARCH, batched and
// pipelined UID FETCH of headers with BODY.PEEK (flags are never changed by a fetch), UID MOVE
// (RFC 6851) or COPY + \Deleted + UID EXPUNGE (RFC 4315), IDLE (RFC 2177), NOOP and LOGOUT.
//
// Every reply is read by ReadImapReply within the read time-out and its bounds. A tagged reply
// to a command that was not sent, a continuation nobody asked for, data that answers no
// question (a SEARCH or a message for a UID not asked for) or a BYE close the connection and
// raise EIdException with the server's text; NO and BAD raise EIdProtocolReplyError (code 2 or
// 3). Error texts never hold what the client sent to sign in. Abort() from any thread ends a
// blocked call, as on every line connection.

#include "imap/ImapReply.h"
#include "pop3/IdMessage.h"
#include "pop3/IdPOP3.h"
#include "pop3/IdTCPClient.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace qm {

struct ImapFolder {
    std::string name;               // as the server spells it (modified UTF-7), for commands
    std::string displayName;        // decoded to UTF-8
    char delimiter = 0;             // 0: none (NIL)
    std::vector<std::string> flags; // "\Junk", "\Noselect", ...
    bool HasFlag(std::string_view flag) const;
};

struct ImapFolderState {
    std::uint32_t exists = 0;
    std::uint32_t uidValidity = 0;
    std::uint32_t uidNext = 0;
    std::uint32_t unseen = 0; // FolderStatus only
    bool readOnly = false;
};

struct ImapFetched {
    std::uint32_t uid = 0;
    std::vector<std::string> flags;
    std::uint64_t size = 0; // RFC822.SIZE
    bool seen = false;
    std::string parseError; // why the message's header could not be read; empty when it could
    TIdMessage message;     // the header (or, from FetchMessages, the whole message)
};

// What the server confirmed of a move or a deletion.
struct ImapActionResult {
    std::vector<std::uint32_t> confirmed; // acted on by a tagged OK (COPYUID narrows a move)
    bool expunged = false;                // removed from the folder, not only marked \Deleted
    std::string error;                    // the server's refusal that stopped the work; later sets were not sent
};

struct ImapIdleEvent {
    enum class Kind { Timeout, Exists, Expunge } kind = Kind::Timeout;
    std::uint32_t number = 0; // the new message count, or the expunged message number
};

class TIdIMAP4 : public TIdTCPClient {
public:
    // One sign-in vocabulary with the POP3 client.
    static constexpr int kSecurityNone = TIdPOP3::kSecurityNone;
    static constexpr int kSecurityTls = TIdPOP3::kSecurityTls;
    static constexpr int kSecurityStartTls = TIdPOP3::kSecuritySTLS;
    static constexpr int kAuthLogin = TIdPOP3::kAuthUserPass;
    static constexpr int kAuthPlain = TIdPOP3::kAuthPlain;
    static constexpr int kAuthXOAuth2 = TIdPOP3::kAuthXOAuth2;
    static constexpr int kAuthOAuthBearer = TIdPOP3::kAuthOAuthBearer;

    // UIDs named in one FETCH, MOVE, COPY or STORE command, and FETCH commands in flight at once.
    static constexpr std::size_t kUidsPerCommand = 128;
    static constexpr std::size_t kFetchesInFlight = 4;
    // A whole message is larger than a header may be; it is held in memory before it is read.
    static constexpr std::size_t kMaxMessageBytes = 64u << 20;

    TIdIMAP4();

    std::string Username;
    std::string Password;
    int Security = kSecurityNone;
    int Auth = kAuthLogin;
    std::string AccessToken;                // wiped once the login has used it
    std::string ClientName = "Quillmere32"; // sent with ID when the server offers it

    // TCP connect, TLS as Security asks, greeting, CAPABILITY, STARTTLS, ID, login, CAPABILITY.
    // timeoutMs as TIdPOP3::Connect. On failure the connection is closed and the error raised;
    // TLS failures raise EIdTLSError and never fall back to plain text.
    void Connect(int timeoutMs) override;
    // Capability names in upper case, as known after the login.
    const std::set<std::string>& Capabilities() const { return m_capabilities; }
    bool HasCapability(std::string_view name) const;

    // LIST "" "*", with RETURN (SPECIAL-USE) where offered.
    std::vector<ImapFolder> ListFolders();
    // The folder flagged `specialUse` ("\Junk"), else the first of the names that exists (letter
    // case ignored, also under an "INBOX" prefix); nullopt when none does. Never an \All folder.
    static std::optional<ImapFolder> FindFolder(const std::vector<ImapFolder>& folders, std::string_view specialUse,
                                                const std::vector<std::string>& names);

    // SELECT, or EXAMINE when readOnly; the name in UTF-8. A missing folder raises
    // EIdProtocolReplyError whose text names it.
    ImapFolderState SelectFolder(const std::string& name, bool readOnly);
    // STATUS of a folder that need not be selected: message count (as exists), unseen count,
    // UIDVALIDITY and UIDNEXT; a cheap look at whether anything changed since the last check.
    ImapFolderState FolderStatus(const std::string& name);
    // UID SEARCH criteria ("UNSEEN", "ALL"), the UIDs ascending.
    std::vector<std::uint32_t> SearchUids(const std::string& criteria);
    // UID FETCH (UID FLAGS RFC822.SIZE BODY.PEEK[HEADER]) of the UIDs, in bounded sets with a
    // few commands in flight; each message is handed to `each` as it is read. UIDs the server no
    // longer has are left out. A refused fetch raises, with the connection closed when other
    // fetches were still in flight; whatever `each` throws is raised with the connection closed.
    void FetchHeaders(const std::vector<std::uint32_t>& uids, const std::function<void(ImapFetched&)>& each);
    // The same with BODY.PEEK[]: whole messages, each read and handed over before the next.
    void FetchMessages(const std::vector<std::uint32_t>& uids, const std::function<void(ImapFetched&)>& each);
    // To another folder (UTF-8 name): UID MOVE, else UID COPY + \Deleted + UID EXPUNGE, else
    // COPY + \Deleted only (expunged false).
    ImapActionResult MoveMessages(const std::vector<std::uint32_t>& uids, const std::string& folder);
    // \Deleted, then UID EXPUNGE of these UIDs where UIDPLUS is offered (a plain EXPUNGE would
    // also remove what other clients marked).
    ImapActionResult DeleteMessages(const std::vector<std::uint32_t>& uids);

    // IDLE: StartIdle sends it and waits for the server's go-ahead; WaitIdle returns the first
    // EXISTS or EXPUNGE within timeoutMs (Timeout otherwise; keep-alive lines are skipped);
    // StopIdle sends DONE and reads the end of the command.
    void StartIdle();
    ImapIdleEvent WaitIdle(int timeoutMs);
    void StopIdle();

    // NOOP: lets the server tell what changed (EXISTS, EXPUNGE), e.g. between two IDLEs.
    void Noop() { Command("NOOP"); }
    // The message count of the selected folder as the server last told it.
    std::uint32_t Exists() const { return m_exists; }

    // LOGOUT, its replies read, then close.
    void Logout();
    // LOGOUT (not waited for) when still connected, then close. Never throws.
    void Disconnect() override;

private:
    using UntaggedHandler = std::function<bool(const ImapReply&)>; // true: the reply was expected

    std::string NextTag();
    // Reads one whole reply within the read time-out; firstLine is a line already read.
    ImapReply ReadReply(std::size_t maxLiteral, std::optional<std::string> firstLine = std::nullopt);
    // Sends a command and reads its replies up to its tagged one, which is returned (OK only:
    // NO and BAD raise). Untagged replies go to `handler`, then to the common ones. Only a
    // fetch of message content allows its literals more than any other reply.
    ImapReply Command(const std::string& command, const UntaggedHandler& handler = {},
                      std::size_t maxLiteral = kMaxReplyBytes);
    ImapReply ReadUntilTagged(const std::string& tag, const UntaggedHandler& handler, std::size_t maxLiteral);
    // Untagged replies any command may bring (status, CAPABILITY, EXISTS, EXPUNGE, FLAGS, ...).
    void CommonUntagged(const ImapReply& reply);
    [[noreturn]] void Broken(const std::string& why);
    [[noreturn]] void Refused(const ImapReply& reply, const std::string& what);
    void ReadCapabilities(const ImapReply* tagged);
    void Login();
    void LoginSasl();
    std::string Quoted(std::string_view text, const char* what) const;
    std::string Scrub(std::string text) const;
    void FetchBatched(const std::vector<std::uint32_t>& uids, bool wholeMessages,
                      const std::function<void(ImapFetched&)>& each);
    bool ReadFetched(const ImapReply& reply, const std::set<std::uint32_t>& asked, ImapFetched& fetched,
                     bool wholeMessage);

    std::set<std::string> m_capabilities;
    unsigned m_tagSerial = 0;
    std::string m_idleTag;
    std::uint32_t m_exists = 0;
};

} // namespace qm
