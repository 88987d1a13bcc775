#include "engine/ImapSession.h"

#include "engine/CheckHost.h"
#include "engine/ImapKnownUids.h"
#include "engine/MessageEvaluation.h"
#include "engine/SessionContext.h"
#include "engine/SessionFailures.h"
#include "imap/ImapFolders.h"
#include "pop3/IdExceptions.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <set>
#include <utility>

namespace qm {

ImapSession::ImapSession(SessionContext& context) : m_context(context) {
    m_context.AttachClient(&m_client);
}

ImapSession::~ImapSession() {
    m_context.AttachClient(nullptr);
}

void ImapSession::Run() {
    ImapSpamAction action = ImapSpamAction::MoveToJunk;
    const bool opened = m_context.Opened(m_client, [&] {
        const std::optional<ImapSpamAction> asked = SpamActionOfCell(m_context.Row().SpamAction);
        if (!asked) {
            // Never another action than the one the user chose: nothing is judged or moved.
            throw EIdException("Unknown spam action " + m_context.Row().SpamAction + ".");
        }
        action = *asked;
        return SignIn(m_context.ReadSettings());
    });
    if (!opened) {
        return;
    }
    bool stopped = false;
    // A failure of the session makes its news unreliable; a missing folder or a refused move
    // is said, and what the other folders hold still counts.
    std::string failure;
    try {
        Walk(action);
    } catch (const SessionStopped&) {
        stopped = true;
    } catch (const std::exception& e) {
        failure = e.what();
        m_errors.push_back(failure);
    }
    std::string error;
    for (const std::string& part : m_errors) {
        error += (error.empty() ? "" : " ") + part;
    }
    if (!stopped) {
        try {
            m_context.HandOverResults(failure);
        } catch (const SessionStopped&) {
            stopped = true;
        }
    }
    m_client.Disconnect();
    // What the server confirmed is recorded even when the main thread has gone: the records then
    // wait on the link to be written at shutdown.
    m_context.ReportEnd(std::move(m_records), error);
    if (stopped) {
        throw SessionStopped{};
    }
}

bool ImapSession::SignIn(const SessionSettings& settings) {
    try {
        m_context.SetUpClient(m_client, settings);
        m_client.Connect(settings.timeoutMs);
    } catch (const SessionStopped&) {
        throw;
    } catch (const std::exception& e) {
        m_context.ReportSignInFailure(e.what(), false, 0);
        return false;
    }
    m_context.ReportConnected(std::nullopt);
    return true;
}

void ImapSession::Walk(ImapSpamAction action) {
    m_context.Sync([](ISessionReport& r) { r.TrayConnected(); });
    // Without an anti-spam mask there is nothing to move: the folder list is not asked for.
    const std::optional<std::string> target =
        CanFindSpam(m_context.Options()) ? SpamTarget(action) : std::optional<std::string>{};
    if (!target) {
        m_context.SetSpamAction("keep");
    } else if (target->empty()) {
        m_context.SetSpamAction("delete");
    } else {
        m_context.SetSpamAction("move to " + *target);
    }
    for (const std::string& folder : WatchedFolders(m_context.Row().Folders)) {
        if (!m_context.IsOpen()) {
            throw SessionStopped{};
        }
        CheckFolder(folder, target);
    }
}

std::optional<std::string> ImapSession::SpamTarget(ImapSpamAction action) {
    if (action == ImapSpamAction::Delete) {
        return std::string();
    }
    const bool trash = action == ImapSpamAction::MoveToTrash;
    const AccountRow& row = m_context.Row();
    const std::string& named = trash ? row.TrashFolder : row.JunkFolder;
    if (const std::optional<ImapFolder> folder = SpamFolder(m_client.ListFolders(), trash, named)) {
        return folder->displayName;
    }
    const std::string which = trash ? "trash" : "junk";
    m_errors.push_back(named.empty()
                           ? "The server has no " + which + " folder: spam stays where it is."
                           : "The " + which + " folder " + named + " does not exist: spam stays where it is.");
    return std::nullopt;
}

void ImapSession::CheckFolder(const std::string& folder, const std::optional<std::string>& target) {
    const bool dryRun = m_context.Options().dryRun;
    ImapFolderState state;
    try {
        state = m_client.SelectFolder(folder, dryRun);
    } catch (const EIdProtocolReplyError& e) {
        // A folder that is not there: said, and the other folders are still checked.
        if (!m_client.IsConnected()) {
            throw;
        }
        m_errors.emplace_back(e.what());
        m_context.MissedMessages();
        return;
    }
    const int count = static_cast<int>(std::min<std::uint32_t>(state.exists, INT32_MAX));
    m_context.Sync([count](ISessionReport& r) { r.AddServerCount(count); });
    // Read elsewhere: counted on the server, and nothing more.
    ImapKnownUids known(m_context, folder, state.uidValidity, m_client.SearchUids("UNSEEN"));
    std::vector<Spam> spam;
    // The notice conditions read the whole message; either way BODY.PEEK leaves the flags.
    const auto take = [&](ImapFetched& fetched) {
        known.SettleBefore(fetched.uid);
        Take(fetched, spam, known.Key(fetched.uid));
    };
    if (known.ToFetch().empty()) {
        // Nothing to fetch: no command.
    } else if (m_context.Options().inform) {
        m_client.FetchMessages(known.ToFetch(), take);
    } else {
        m_client.FetchHeaders(known.ToFetch(), take);
    }
    known.SettleRest();
    if (!spam.empty() && target && !dryRun) {
        Act(std::move(spam), *target);
    }
}

void ImapSession::Take(ImapFetched& fetched, std::vector<Spam>& spam, const std::string& key) {
    if (!fetched.parseError.empty()) {
        m_context.CountUnchecked();
        return;
    }
    try {
        if (std::optional<DeletionRecord> record = m_context.Judge(fetched.message, fetched.size, key)) {
            spam.push_back({fetched.uid, std::move(*record)});
        }
    } catch (const SessionStopped&) {
        throw;
    } catch (const std::exception&) {
        m_context.CountUnchecked(); // a mask that cannot be matched
    }
    m_context.HandOverIfFull();
}

void ImapSession::Act(std::vector<Spam> spam, const std::string& target) {
    std::vector<std::uint32_t> uids;
    std::vector<DeletionRecord> planned;
    for (Spam& s : spam) {
        uids.push_back(s.uid);
        s.record.done = target.empty() ? "marked deleted" : "moved to " + target; // the longest it can say
        planned.push_back(s.record);
    }
    // Nothing is moved or deleted that could not be recorded.
    if (std::string why = m_context.PrepareRecords(planned); !why.empty()) {
        m_errors.push_back(why);
        return;
    }
    ImapActionResult result;
    try {
        result = target.empty() ? m_client.DeleteMessages(uids) : m_client.MoveMessages(uids, target);
    } catch (const std::exception&) {
        // Which of them the server acted on is not known: none is recorded as done.
        for (Spam& s : spam) {
            m_records.push_back(std::move(s.record));
        }
        throw;
    }
    const std::set<std::uint32_t> confirmed(result.confirmed.begin(), result.confirmed.end());
    const std::string done = !target.empty() ? "moved to " + target : result.expunged ? "deleted" : "marked deleted";
    for (Spam& s : spam) {
        s.record.committed = confirmed.count(s.uid) != 0;
        s.record.done = done;
        m_records.push_back(std::move(s.record));
    }
    if (!result.error.empty()) {
        m_errors.push_back(result.error);
    }
}

} // namespace qm
