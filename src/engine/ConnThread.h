#pragma once

#include "engine/CheckOptions.h"
#include "engine/MessageEvaluation.h"
#include "engine/SessionPassword.h"
#include "engine/TokenCommand.h"
#include "settings/DeletionLog.h"
#include "settings/SettingsFile.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace qm {

class ISessionReport;
class SessionLink;
class TIdMessage;
class TIdPOP3;

// One POP3 session of one account during one check, on a thread of its own: log in, STAT,
// read every message from the highest number down to 1, delete spam, count news, collect
// sender addresses, QUIT. When the server allows it, the commands are pipelined; what the user
// sees is the same either way. Everything it changes in the main window goes through the link's
// synchronised call, the results of many messages in one call. The thread keeps the object
// alive until the session has ended.
class TConnThread : public std::enable_shared_from_this<TConnThread> {
public:
    // Main thread: copies the row and the snapshot, and unscrambles the password.
    static std::shared_ptr<TConnThread> Create(const qm::AccountRow& row, const CheckOptions& options,
                                               std::shared_ptr<SessionLink> link, int workerId, int accountRow,
                                               int fallbackReadTimeoutMs);

    // Starts the session on a new, detached thread. Throws std::system_error when no thread
    // can be started (nothing has happened then).
    void Start();

    // Runs the session on the calling thread, ending with the termination notification.
    void Execute();

    // Any thread: ends a blocked connect or read of the session at once; the session then
    // ends as after a lost connection.
    void Abort();

    int AccountRow() const { return m_accountRow; }
    int WorkerId() const { return m_workerId; }

private:
    TConnThread() = default;

    // A command sent whose reply has not been read yet.
    struct SentCommand {
        int number = 0;
        bool fetch = true; // TOP or RETR; otherwise DELE
        std::size_t bytes = 0;
        std::optional<DeletionRecord> record; // a DELE's, kept once the server confirms it
    };
    // What the walk through the mailbox has done so far; kept up to date as it goes, so the end
    // of the session knows it also when the walk ends by an exception.
    struct MailboxWalk {
        int noticed = 0;
        int spamFound = 0;                     // a dry run's spam, left on the server
        std::vector<DeletionRecord> deletions; // DELE confirmed; the server commits them when it reads QUIT
        std::deque<SentCommand> sent;
        std::size_t bytesInFlight = 0;
        int refusedInARow = 0;
        // Results waiting for the next hand-over to the main thread, in the order the user sees.
        std::vector<std::function<void(ISessionReport&)>> handOver;
        bool DeletePending() const;
    };

    void Session();
    // Reads every message from the highest number down, judges it, and deletes the spam.
    void WalkMailbox(TIdPOP3& client, int count, MailboxWalk& walk);
    // One message's reply: evaluated, its DELE queued when it is spam, its results queued.
    void TakeMessage(TIdPOP3& client, int number, TIdMessage& message, MailboxWalk& walk);
    void Queue(TIdPOP3& client, MailboxWalk& walk, SentCommand command, bool wholeMessage);
    // Reads what was sent and not answered yet, before QUIT after a failure: DELE replies are
    // kept, fetched messages dropped. False when the connection did not survive it.
    bool ReadUnanswered(TIdPOP3& client, MailboxWalk& walk);
    // Hands the queued results to the main thread in one call.
    void HandOver(MailboxWalk& walk);
    // The main thread is gone: ends the session (QUIT only when no deletion waits to be
    // recorded) and throws SessionStopped.
    [[noreturn]] void StopWithoutRecords(TIdPOP3& client, const MailboxWalk& walk);
    std::string StatusWord(const char* english) const;
    // What the deletion record says of a message the spam entry `match` caught.
    DeletionRecord Record(const TIdMessage& message, const SpamMatch& match) const;
    // A synchronised call; throws when the main thread no longer takes calls.
    template <typename Fn> void Sync(Fn&& fn);
    void SetClient(TIdPOP3* client);

    qm::AccountRow m_row;
    CheckOptions m_options;
    TSessionPassword m_password; // read from the keyring at the start of the session, ended by Abort
    std::shared_ptr<SessionLink> m_link;
    int m_workerId = 0;
    int m_accountRow = -1;
    int m_fallbackReadTimeoutMs = 60000;

    TTokenCommand m_tokenCommand; // the OAuth2 token helper, ended by Abort

    std::mutex m_clientMutex;
    TIdPOP3* m_client = nullptr; // the session's client while it exists, for Abort
    bool m_abortRequested = false;
};

} // namespace qm
