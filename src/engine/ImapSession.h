#pragma once

#include "imap/IdIMAP4.h"
#include "settings/AccountCells.h"
#include "settings/DeletionLog.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qm {

class SessionContext;
struct SessionSettings;

// The IMAP part of an account's session: sign in, then for each watched folder SELECT (EXAMINE
// for a dry run), count its messages, judge the unseen ones from headers fetched in batches with
// BODY.PEEK (so no flag changes), and move or delete the spam the context judged. Each record
// says what the server confirmed; a message read elsewhere is counted and nothing more.
class ImapSession {
public:
    explicit ImapSession(SessionContext& context);
    ~ImapSession();
    ImapSession(const ImapSession&) = delete;
    ImapSession& operator=(const ImapSession&) = delete;

    void Run();

private:
    struct Spam {
        std::uint32_t uid = 0;
        DeletionRecord record;
    };

    // False when the sign-in failed (reported).
    bool SignIn(const SessionSettings& settings);
    void Walk(ImapSpamAction action);
    // The folder spam goes to (empty for a deletion); nullopt when the server has none, and the
    // reason noted.
    std::optional<std::string> SpamTarget(ImapSpamAction action);
    void CheckFolder(const std::string& folder, const std::optional<std::string>& target);
    void Take(ImapFetched& fetched, std::vector<Spam>& spam, const std::string& key);
    void Act(std::vector<Spam> spam, const std::string& target);

    SessionContext& m_context;
    TIdIMAP4 m_client;
    std::vector<DeletionRecord> m_records;
    std::vector<std::string> m_errors; // the account's error: every folder's, in order
};

} // namespace qm
