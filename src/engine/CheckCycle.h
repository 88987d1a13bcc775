#pragma once

#include "engine/CheckHost.h"
#include "engine/CheckOptions.h"
#include "settings/SettingsFile.h"

#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qm {

class SessionLink;
class TConnThread;

// The message log options a check reads on the main thread.
struct MessageLogOptions {
    bool overwrite = false;            // "overwrite always": with "INFORM ME IF", each check starts a new log
    std::string fileName;              // code page bytes, as stored; relative to the current directory
    std::filesystem::path deletionLog; // the record of deleted spam; empty: none is kept
    std::filesystem::path mailState;   // what checks remember (MailState.h); empty: nothing
};

// How a session of the cycle connects; tests shorten it.
struct SessionTimings {
    // Reads are bounded by the account's time-out; a time-out of 0 or less (no connect limit)
    // still bounds reads by this, so a silent server cannot hold a worker forever.
    int fallbackReadTimeoutMs = 60000;
    // The clock the delays between logins that servers ask for are measured with.
    std::function<std::chrono::steady_clock::time_point()> clock = std::chrono::steady_clock::now;
};

// Which account a row is, for what is kept between checks: the server, the port and the login.
std::string AccountKey(const AccountRow& row);

// At most this many sessions run at once: each holds a socket and a thread, and a long account
// list must not run out of either. The other accounts wait, in account order, for one to end.
inline constexpr std::size_t kMaxSessions = 32;

// The bookkeeping of the checks on the main thread: starts one worker per enabled account (at
// most kMaxSessions at once), keeps the counters, report lines and addresses the workers report, and publishes the
// summary when the last worker has ended. Every member runs on the main thread.
class CheckCycle : public ISessionReport {
public:
    CheckCycle(std::shared_ptr<IMainThreadInvoker> invoker, ICheckView& view);
    // Shuts down with a short grace time (see Shutdown).
    ~CheckCycle() override;
    CheckCycle(const CheckCycle&) = delete;
    CheckCycle& operator=(const CheckCycle&) = delete;

    // The start of a check from the timer: HintText "connecting..." shown, ReceivedAddresses
    // cleared, then StartWorkers. (Rows, tray and the "executed:" time are the window's part.)
    // Returns the check's number, which the view's row calls of its workers carry.
    int BeginCheck(const std::vector<AccountRow>& rows, const CheckOptions& options, const MessageLogOptions& log);

    // Resets the counters, applies the overwrite rule of the message log, and starts a worker
    // for every row that IsDisabledCell leaves enabled, the rows past the bound as others end;
    // publishes at once when none is started.
    // Returns the check's number.
    int StartWorkers(const std::vector<AccountRow>& rows, const CheckOptions& options, const MessageLogOptions& log);
    // A check of the account at rows[index] alone (a push arrival): the other accounts keep the
    // results of their last sessions, this one's are replaced, and the summary is published for
    // all of them, as after a full check. The message log is not started anew. Returns the
    // check's number; nothing is started for a disabled or waiting account.
    int StartAccountCheck(const std::vector<AccountRow>& rows, std::size_t index, const CheckOptions& options,
                          const MessageLogOptions& log);
    // The number the next BeginCheck or StartWorkers returns.
    int NextCheck() const { return m_lastCheck + 1; }
    // Whether a worker of that check is still running.
    bool IsCheckRunning(int check) const;

    // The interface language of the summary texts (the window's current language).
    void SetLanguage(std::string code) { m_language = std::move(code); }
    // The message log file that "save message" appends to.
    void SetMessageFileName(std::string fileName) { m_log.fileName = std::move(fileName); }
    void SetTimings(SessionTimings timings) { m_timings = timings; }

    // Stops taking worker calls, aborts the connections of the workers still running so their
    // blocked reads return, and waits for their threads up to `grace`. Workers still running
    // after that end on their own without touching this object. True when none is left. Runs
    // once: later calls return the first call's answer at once.
    // Stop the invoker from taking calls first (a worker waiting for the main thread would
    // otherwise wait until the main thread runs again, and the wait here would use up `grace`).
    bool Shutdown(std::chrono::milliseconds grace);
    // Aborts the connections of the running workers (after a resume from suspend they are dead);
    // each ends as a failed session and the check is published as usual. Sessions still waiting
    // for their turn start afresh.
    void AbortSessions();

    int RunningWorkers() const { return m_runningWorkers; }
    int MessagesOnServer() const { return m_messagesOnServer; }
    int NoticedMessages() const { return m_noticedMessages; }
    const std::string& HintText() const { return m_hintText; }
    const std::string& AccountLines() const { return m_accountLines; }
    const std::vector<std::string>& ReceivedAddresses() const { return m_receivedAddresses; }

    struct AccountFailure {
        int accountRow = -1;
        std::string host;
        std::string accountName;
        std::string error;
    };
    // The last error of each account row whose last session failed, in row order.
    std::vector<AccountFailure> AccountErrors() const;
    // The accounts whose last session had messages it could not check, with a note saying how
    // many, in row order.
    std::vector<AccountFailure> AccountNotes() const;
    // Why deletions of the last check could not be recorded; empty when they all were.
    const std::string& DeletionLogError() const { return m_deletionLogError; }
    // Why a noticed message of the last check did not reach the message log; empty when all did.
    const std::string& MessageLogError() const { return m_messageLogError; }
    // Why what the last check learnt could not be kept for the next; empty when it was.
    const std::string& MailStateError() const { return m_mailStateError; }

    // Until when an account stays unchecked because its server asked for a delay between logins;
    // nothing when it is not waiting.
    std::optional<std::chrono::steady_clock::time_point> LoginDelayEnd(const AccountRow& row) const;

    // ISessionReport: the workers' calls, on the main thread.
    void ShowStatus(const std::string& statusLine) override;
    void MarkConnected(int accountRow) override;
    void MarkFailed(int accountRow) override;
    void TrayConnected() override;
    void AddServerCount(int count) override;
    void LoginDelay(int accountRow, int seconds) override;
    void SpamDeleted() override;
    std::string PrepareDeletionRecords(int accountRow, const std::vector<DeletionRecord>& records) override;
    void RecordDeletions(int accountRow, std::vector<DeletionRecord> records) override;
    void WouldDelete(int accountRow, DeletionRecord record) override;
    void SaveMessage(const TIdMessage& message) override;
    void AddAddress(const std::string& address) override;
    void CallsFrom(int workerId) override { m_caller = workerId; }
    void AccountResult(int noticed, const std::string& reportLine) override;
    void AccountError(int accountRow, const std::string& host, const std::string& accountName,
                      const std::string& error) override;
    void UncheckedMessages(int accountRow, const std::string& host, const std::string& accountName,
                           int count) override;
    void MessageKeysNote(int accountRow, const std::string& host, const std::string& accountName,
                         const std::string& note) override;
    void KeepMailState(const std::string& accountKey, AccountMailState state) override;
    void WorkerFinished(int workerId) override;

private:
    // An account of a check whose session waits for its turn.
    struct PendingSession {
        int id = 0;
        AccountRow row;
        std::shared_ptr<const CheckOptions> options;
    };
    // Starts waiting sessions while fewer than kMaxSessions run; an account whose thread cannot
    // be started fails like a refused connection.
    void StartPending();
    // Queues the session of rows[index] for check `check`; false when the row is left out
    // (disabled, or its server asked for a pause).
    bool Queue(int check, const std::string& began, const std::vector<AccountRow>& rows, std::size_t index,
               const std::shared_ptr<const CheckOptions>& snapshot);
    // What the account of the worker whose calls run now has added to the counters, or nullptr.
    struct AccountPart {
        int onServer = 0;
        int noticed = 0;
        std::string line;
    };
    AccountPart* CallerPart();
    static std::shared_ptr<const CheckOptions> SnapshotWithState(const CheckOptions& options,
                                                                 const MessageLogOptions& log);
    // Writes the states the sessions kept since the last save, in one go.
    void SaveMailStates();
    void PublishSummary();
    // A note for the row's tooltip, after the notes its session gave before.
    void AddNote(int accountRow, const std::string& host, const std::string& accountName, const std::string& note);
    // The tooltip note of an account waiting for its next login.
    std::string LoginDelayNote(std::chrono::steady_clock::time_point end) const;
    std::string Tr(const char* english) const;
    // The records with the time of their check filled in.
    std::vector<DeletionRecord> Stamped(int accountRow, std::vector<DeletionRecord> records) const;

    std::shared_ptr<IMainThreadInvoker> m_invoker;
    ICheckView& m_view;
    std::shared_ptr<SessionLink> m_link;
    SessionTimings m_timings;
    std::string m_language = "EN";
    MessageLogOptions m_log;
    int m_codePage = 1252;

    int m_runningWorkers = 0;
    int m_messagesOnServer = 0;
    int m_noticedMessages = 0;
    std::string m_hintText;
    std::string m_accountLines;
    std::vector<std::string> m_receivedAddresses;
    std::map<int, AccountFailure> m_errors;
    std::map<int, AccountFailure> m_notes;
    std::string m_deletionLogError;
    std::string m_messageLogError;
    std::string m_mailStateError;

    int m_nextWorkerId = 1;
    std::map<int, std::shared_ptr<TConnThread>> m_workers; // the sessions running now
    std::deque<PendingSession> m_pending;
    // Each worker reports its worker id as its row: the check and row it was started for.
    struct WorkerRow {
        int check = 0;
        int row = -1;
        std::string began;   // the check's start, as the deletion record gives it
        std::string account; // AccountKey of the row
        int intervalMs = 0;
        bool prepared = false; // room for its records was made before its QUIT
    };
    // Accounts whose server asked for a delay between logins (by AccountKey): when it ends.
    std::map<std::string, std::chrono::steady_clock::time_point> m_loginDelays;
    std::map<int, WorkerRow> m_workerRows;
    // Each account's share of the counters and lines (by AccountKey), so a check of one account
    // can replace its own; m_caller is the worker whose calls run now.
    std::map<std::string, AccountPart> m_parts;
    int m_caller = 0;
    bool m_freshNews = false;
    // What the sessions learnt, by account, until the check is published.
    std::map<std::string, AccountMailState> m_unsavedStates;
    std::filesystem::path m_unsavedStatesFile;
    int m_lastCheck = 0;
    bool m_shutDown = false;
    bool m_allEnded = true;
};

} // namespace qm
