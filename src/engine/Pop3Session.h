#pragma once

#include "pop3/IdMessage.h"
#include "pop3/IdPOP3.h"
#include "settings/DeletionLog.h"

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace qm {

class SessionContext;
struct SessionSettings;
struct WalkEnd;

// The POP3 part of an account's session: sign in, STAT, read every message from the highest
// number down to 1, delete the spam the context judged, and QUIT, which commits the deletions.
// When the server allows it, the commands are pipelined, each fetch with a LIST of its number
// whose answer proves the replies are still in step; what the user sees is the same either way.
class Pop3Session {
public:
    explicit Pop3Session(SessionContext& context);
    ~Pop3Session();
    Pop3Session(const Pop3Session&) = delete;
    Pop3Session& operator=(const Pop3Session&) = delete;

    void Run();

private:
    // A command sent whose reply has not been read yet.
    struct SentCommand {
        int number = 0;
        bool fetch = true;   // TOP or RETR; otherwise DELE
        bool listed = false; // a fetch followed by LIST of its number
        std::size_t bytes = 0;
        std::optional<DeletionRecord> record; // a DELE's, kept once the server confirms it
        std::string key;                      // the message's unique-id; empty: none known
        bool settled = false;                 // by its kept verdict: nothing was sent for it
    };
    enum class Read { Message, Refused, Unreadable };

    // False when the sign-in failed (reported).
    bool SignIn(const SessionSettings& settings);
    // Reads every message from the highest number down, judges it, and deletes the spam.
    WalkEnd Walk();
    void WalkMailbox(int count);
    // The unique-ids of the messages, when a state is kept and the server gives them.
    void ReadKeys(int count);
    // One fetch's reply (and its LIST): judged, its DELE queued when it is spam.
    void TakeMessage(const SentCommand& command);
    Read ReadMessage(bool whole);
    void ConfirmDelete(SentCommand& command);
    void Queue(SentCommand command);
    // Reads what was sent and not answered yet, before QUIT after a failure: DELE replies are
    // kept, fetched messages dropped. False when the connection did not survive it.
    bool ReadUnanswered();
    // QUIT when allowed; the deletions count as committed only on its +OK.
    void Finish(WalkEnd end);
    // The main thread is gone: ends the session (QUIT only when no deletion waits to be
    // recorded) and throws SessionStopped.
    [[noreturn]] void StopWithoutRecords();
    // Inside a catch block: rethrows the failure when it took the connection with it; a failure
    // the connection survived is the one reply's alone.
    void RethrowIfDisconnected();
    bool DeletePending() const;

    SessionContext& m_context;
    TIdPOP3 m_client;
    TIdMessage m_current;
    std::vector<DeletionRecord> m_deletions; // DELE confirmed; the server commits them when it reads QUIT
    std::deque<SentCommand> m_sent;
    std::size_t m_bytesInFlight = 0;
    int m_refusedInARow = 0;
    std::vector<std::string> m_keys; // by message number - 1; empty: no keys
};

} // namespace qm
