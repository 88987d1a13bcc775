#pragma once

#include "settings/DeletionLog.h"
#include "settings/MailState.h"

#include <functional>
#include <string>
#include <vector>

namespace qm {

class TIdMessage;

// The one way a session worker reaches the main thread: runs fn there while the worker waits.
// The main window implements it over its event loop, the console checker over its own queue.
class IMainThreadInvoker {
public:
    virtual ~IMainThreadInvoker() = default;

    // Runs fn on the main thread and returns true once it has run. Returns false when the main
    // thread no longer takes calls (it is closing or gone); fn then has not run and never will.
    // Must not block forever once the main thread has stopped taking calls.
    virtual bool invokeOnMainThread(const std::function<void()>& fn) = 0;
};

// What a session worker reports, each call made on the main thread through the invoker.
class ISessionReport {
public:
    virtual ~ISessionReport() = default;

    // The worker whose calls follow, by the id it was started with (see SessionLink::SetCaller).
    virtual void CallsFrom(int /*workerId*/) {}
    virtual void ShowStatus(const std::string& statusLine) = 0; // HintText and status bar
    virtual void MarkConnected(int accountRow) = 0;
    virtual void MarkFailed(int accountRow) = 0;
    virtual void TrayConnected() = 0;
    virtual void AddServerCount(int count) = 0;
    // The server asks for at least `seconds` between two logins of the account (0: it did not
    // say how long); reported after a login, or with the error of a login it refused for that.
    virtual void LoginDelay(int /*accountRow*/, int /*seconds*/) {}
    virtual void SpamDeleted() = 0;
    // Before QUIT commits the session's deletions: makes sure their records can be written
    // (returns the reason when not; the session then ends without QUIT, so the server keeps
    // the messages, and the account fails with that reason).
    virtual std::string PrepareDeletionRecords(int /*accountRow*/, const std::vector<DeletionRecord>& /*records*/) {
        return {};
    }
    // The messages of the account's session that the server confirmed deleting, reported once
    // the session has ended (each record says whether its QUIT committed them). Checker and time
    // are the report's to fill in.
    virtual void RecordDeletions(int accountRow, std::vector<DeletionRecord> records) = 0;
    // A dry run found a message it would delete (and left it on the server).
    virtual void WouldDelete(int accountRow, DeletionRecord record) = 0;
    // Appends the message to the message log; throws, with the reason, when the log did not take
    // it whole (the worker then skips the message and reports the reason as the account's error).
    virtual void SaveMessage(const TIdMessage& message) = 0;
    virtual void AddAddress(const std::string& address) = 0;
    // noticed messages of the account, and its report line (used when noticed > 0).
    virtual void AccountResult(int noticed, const std::string& reportLine) = 0;
    // The last error of the account's session; empty after a session that went through.
    virtual void AccountError(int accountRow, const std::string& host, const std::string& accountName,
                              const std::string& error) = 0;
    // How many messages of the account's session could not be checked (too large or not
    // readable): neither judged nor counted. The account still counts as checked.
    virtual void UncheckedMessages(int /*accountRow*/, const std::string& /*host*/, const std::string& /*accountName*/,
                                   int /*count*/) {}
    // The server of the account's session gives its messages no keys, so what the user has
    // looked at cannot be told (a note for the row's tooltip).
    virtual void MessageKeysNote(int /*accountRow*/, const std::string& /*host*/, const std::string& /*accountName*/,
                                 const std::string& /*note*/) {}
    // What the account's session leaves for the next check to know (see KnownMessages).
    virtual void KeepMailState(const std::string& /*accountKey*/, AccountMailState /*state*/) {}
    // The worker's session has ended (normally or by an error).
    virtual void WorkerFinished(int workerId) = 0;
};

// The summary a check publishes when its last worker has ended.
struct CheckSummary {
    bool news = false;        // NoticedMessages > 0
    int messagesOnServer = 0; // MessagesOnServer
    int noticedMessages = 0;  // NoticedMessages
    std::string hintText;     // the popup text
    std::string statusText;   // status bar panel 0
    // News found by this check itself: a check of one account also shows the others' older news,
    // which rang when it was found.
    bool freshNews = false;
};

// The main window's side of a check: what the check cycle shows. Every call on the main thread.
class ICheckView {
public:
    virtual ~ICheckView() = default;

    // Status bar panel 0 := text; repaint at once.
    virtual void ShowStatus(const std::string& text) = 0;
    // The account at row accountRow of check `check` (the number BeginCheck returned): connected
    // computer image. Rows may have moved since that check began; the view finds the account
    // again by the rows it had then. A row that no longer exists is left alone, here and in
    // MarkFailed and AccountError.
    virtual void MarkConnected(int check, int accountRow) = 0;
    // The account row: deselected, idle image.
    virtual void MarkFailed(int check, int accountRow) = 0;
    // Tray: plain envelope, icon cycling off, cycle interval 100 ms.
    virtual void TrayConnected() = 0;
    // The last error of the account at that row (empty: none), e.g. for its tooltip.
    virtual void AccountError(int /*check*/, int /*accountRow*/, const std::string& /*error*/) {}
    // A dry run's message that a real check would delete; only a dry run calls it.
    virtual void WouldDelete(const DeletionRecord& /*record*/) {}
    // The last worker has ended: play the sound when there is news and it is on, show the
    // status text, set the tray (animated envelope for news, plain otherwise) and re-arm the
    // check timer when executing.
    virtual void PublishSummary(const CheckSummary& summary) = 0;
};

} // namespace qm
