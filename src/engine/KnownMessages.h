#pragma once

#include "engine/CheckOptions.h"
#include "settings/MailState.h"

#include <optional>
#include <string>
#include <vector>

namespace qm {

struct AccountRow;

// The key of an account in the state file: its protocol, server, port and login.
std::string MailAccountKey(const AccountRow& row);

// What a verdict depends on, as a digest: the anti-spam lists, the notice conditions with their
// masks, whether whole messages are read, and the code page the masks match in. A verdict kept
// under another fingerprint is not reused.
std::string VerdictFingerprint(const CheckOptions& options);

// One session's use of what earlier checks remembered about its account: which messages may be
// settled without reading them again, which the user has looked at, and what to remember next.
class KnownMessages {
public:
    KnownMessages(const CheckOptions& options, const AccountRow& row);

    // Whether anything is remembered for this session at all (a state was read, the server gives
    // the messages keys).
    bool Enabled() const { return m_enabled; }
    // The server cannot name its messages: nothing is reused or remembered, and every message is
    // news as without NewOnly.
    void Disable() { m_enabled = false; }
    const std::string& AccountKey() const { return m_accountKey; }

    // The messages on the server now, before any is judged: what is known of them is carried on.
    void Present(const std::vector<std::string>& keys);
    // The kept verdict of a message that need not be read again (not when it is news that must
    // go into the message log whole).
    std::optional<KnownMessage> Reusable(const std::string& key) const;
    // Whether the user has looked at the message since a check saw it, so it is no longer news.
    bool Looked(const std::string& key) const;
    // The verdict of a message just judged: it was not spam, and met the conditions or not.
    void Judged(const std::string& key, bool noticed, const std::string& address);

    // What to remember: the messages present now; after a walk that did not go through, also
    // those remembered before (nothing is forgotten for a failure).
    AccountMailState Result(bool complete) const;

private:
    bool m_enabled = false;
    bool m_newOnly = false;
    bool m_mustLogNews = false;
    std::string m_accountKey;
    std::string m_fingerprint;
    const AccountMailState* m_previous = nullptr;
    AccountMailState m_now;
};

} // namespace qm
