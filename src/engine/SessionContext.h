#pragma once

// The part of an account's session that is the same for every protocol: the account's settings
// read once, the secret it signs in with, the synchronised calls to the main thread, the judging
// of each message read, the results handed over in batches, and the report at the end. A
// protocol's session reads the mailbox and acts on what this part decided.

#include "engine/CheckOptions.h"
#include "engine/KnownMessages.h"
#include "engine/MessageEvaluation.h"
#include "pop3/IdPOP3.h"
#include "settings/AccountCells.h"
#include "settings/DeletionLog.h"
#include "settings/SettingsFile.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qm {

class ISessionReport;
class SessionLink;
class TIdMessage;
class TIdTCPConnection;
class TSessionPassword;
class TTokenCommand;

// How the session connects, read from the account row once, before anything is sent.
struct SessionSettings {
    int port = 0;
    int timeoutMs = 0;     // the connect limit; 0: none
    int readTimeoutMs = 0; // every read's limit, never 0
    AccountSecurity security = AccountSecurity::None;
    AccountAuth auth = AccountAuth::UserPass;
};

// How a protocol's walk through the mailbox ended.
struct WalkEnd {
    std::string error;        // empty: the walk went through
    bool commitAllowed = true; // false: the session must end without committing its deletions
};

class SessionContext {
public:
    SessionContext(const AccountRow& row, const CheckOptions& options, std::shared_ptr<SessionLink> link,
                   int reportRow, int fallbackReadTimeoutMs, TSessionPassword& password, TTokenCommand& tokenCommand,
                   std::function<void(TIdTCPConnection*)> attachClient);
    ~SessionContext();
    SessionContext(const SessionContext&) = delete;
    SessionContext& operator=(const SessionContext&) = delete;

    const AccountRow& Row() const { return m_row; }
    const CheckOptions& Options() const { return m_options; }

    // The row's port, time-out, security and sign-in method; throws EIdException naming a value
    // that is not one this version knows (never a fall-back to plain text or another method).
    SessionSettings ReadSettings() const;
    // Shows "connecting to <host>..." and obtains what the session signs in with: a fresh access
    // token from the token command for the OAuth2 methods, the password otherwise.
    std::string ObtainSecret(const SessionSettings& settings);
    // Gives a protocol's client the account's host, name, port, security, sign-in method, read
    // time-out and secret (ObtainSecret), once the method is one the client can use.
    template <typename Client>
    void SetUpClient(Client& client, const SessionSettings& settings) {
        TIdPOP3::CheckSignIn(static_cast<int>(settings.security), static_cast<int>(settings.auth));
        client.Host = m_row.Caption;
        client.Username = m_row.AccountName;
        client.Port = settings.port;
        client.Security = static_cast<int>(settings.security);
        client.Auth = static_cast<int>(settings.auth);
        client.ReadTimeout = settings.readTimeoutMs;
        std::string secret = ObtainSecret(settings);
        (TIdPOP3::IsOAuth(client.Auth) ? client.AccessToken : client.Password) = std::move(secret);
    }
    // The client whose blocked reads Abort ends; nullptr once it is gone.
    void AttachClient(TIdTCPConnection* client) { m_attachClient(client); }

    // Runs what comes before a session's walk (reading the settings, signing in): a failure there
    // is the account's sign-in error, and a stop disconnects the client on its way up. False when
    // there is nothing to walk.
    bool Opened(TIdTCPConnection& client, const std::function<bool()>& signIn);
    // The sign-in went through: the row is marked, its last error cleared, and the delay the
    // server asks for between logins noted.
    void ReportConnected(std::optional<int> loginDelaySeconds);
    // The sign-in failed; the row is marked and its error shown without any secret.
    void ReportSignInFailure(const std::string& error, bool loginDelayed, int loginDelaySeconds);

    // The text with every secret the session holds or sent masked.
    std::string WithoutSecrets(const std::string& text) const;

    // Judges a message read from the server. Spam gives its deletion record (its size known
    // when the whole message was read) for the protocol to act on; a dry run reports it and gets
    // nothing. Other messages are counted and their results queued for the next hand-over.
    // A message with a key (see KnownMessages) keeps its verdict for later checks, and is not
    // news when the user has looked at it and NewOnly is on.
    std::optional<DeletionRecord> Judge(TIdMessage& message, std::optional<std::uint64_t> size,
                                        const std::string& key = std::string());
    // What earlier checks remembered about the account.
    KnownMessages& Known() { return m_known; }
    // Settles the message with that key from its kept verdict, with the results Judge gave it
    // then; false when it must be read and judged.
    bool SettleKnown(const std::string& key);
    // The server gives its messages no keys: nothing is remembered, and with NewOnly on the
    // row's tooltip says why every message stays news.
    void NoMessageKeys(const std::string& why);
    // A part of the mailbox was not read (a folder that could not be opened): what is known of
    // its messages is kept.
    void MissedMessages() { m_missed = true; }
    // A message that could not be read or parsed: neither judged nor counted, but reported.
    void CountUnchecked() { ++m_unchecked; }

    // Whether the main thread still takes calls.
    bool IsOpen() const;
    // Hands the queued results over once a batch is full, or always.
    void HandOverIfFull();
    void HandOver();
    // The last results and the account's report line, before the session commits anything.
    void HandOverResults(const std::string& error);
    // Before the commit of the deletions: the reason their records could not be written, or
    // empty when they can be.
    std::string PrepareRecords(const std::vector<DeletionRecord>& deletions);
    // The end of the session: the deletions the server confirmed, whether it committed them, and
    // the error that ended it (empty: none). When the main thread no longer takes calls, the
    // committed deletions wait on the link to be written down at shutdown.
    void ReportEnd(std::vector<DeletionRecord> deletions, bool committed, const std::string& error);
    // The same, each record saying whether the server confirmed it.
    void ReportEnd(std::vector<DeletionRecord> deletions, const std::string& error);
    // What the protocol will do with spam, named in each record ("move to Junk"); empty: delete.
    void SetSpamAction(std::string action) { m_spamAction = std::move(action); }

    // A synchronised call; throws SessionStopped when the main thread no longer takes calls.
    void Sync(const std::function<void(ISessionReport&)>& fn);

private:
    std::string StatusWord(const char* english) const;
    DeletionRecord Record(const TIdMessage& message, const SpamMatch& match) const;

    const AccountRow& m_row;
    const CheckOptions& m_options;
    std::shared_ptr<SessionLink> m_link;
    int m_reportRow = -1;
    int m_fallbackReadTimeoutMs = 60000;
    TSessionPassword& m_password;
    TTokenCommand& m_tokenCommand;
    std::function<void(TIdTCPConnection*)> m_attachClient;
    std::string m_shownHost; // the host in UTF-8, as status lines show it

    // Kept only to keep them out of error texts, and wiped when the session ends.
    std::string m_secret;
    int m_port = 0;

    std::string m_spamAction;
    int m_noticed = 0;
    int m_spamFound = 0; // a dry run's spam, left on the server
    int m_unchecked = 0;
    KnownMessages m_known;
    bool m_walked = false; // the walk went through: what was not seen is gone from the server
    bool m_missed = false;
    // Results waiting for the next hand-over to the main thread, in the order the user sees.
    std::vector<std::function<void(ISessionReport&)>> m_handOver;
};

} // namespace qm
