#pragma once

// Push for one IMAP account (RFC 2177): a connection of its own, signed in like a check's
// session, that waits in IDLE on the first watched folder and tells the main thread when mail
// arrives there. It renews IDLE, keeps TCP alive, reconnects with back-off after a drop, and
// stops after a refused sign-in until it is told to try again.

#include "engine/CheckOptions.h"
#include "engine/SessionPassword.h"
#include "engine/TokenCommand.h"
#include "settings/SettingsFile.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace qm {

class SessionLink;
class TIdIMAP4;
class TIdTCPConnection;

// How push connections wait; tests shorten every one of them.
struct PushTimings {
    // IDLE is ended and sent again this often: servers drop a silent IDLE after 30 minutes or
    // sooner, and a connection that went dead shows itself when DONE is not answered.
    std::chrono::milliseconds renewal{std::chrono::minutes(10)};
    // The wait before the first reconnect after a drop, doubled up to the last.
    std::chrono::milliseconds firstBackoff{std::chrono::seconds(5)};
    std::chrono::milliseconds lastBackoff{std::chrono::minutes(5)};
    // Arrivals within this time of the first are told as one.
    std::chrono::milliseconds coalescing{std::chrono::milliseconds(1500)};
    // Reads of a connect, a sign-in or DONE when the account sets no time-out.
    int fallbackReadTimeoutMs = 60000;
};

// What a push connection tells the main thread; each call made there through the link.
struct PushEvents {
    std::function<void()> arrived;
    // connected: in IDLE now; error: why not (empty after a drop that is being repaired).
    // signInRefused: it waits for TryAgain.
    std::function<void(bool connected, bool signInRefused, const std::string& error)> state;
};

// The report a push link is made with: what a sign-in shows ("connecting to ...") is not a
// check's, so it reaches no view.
class ISessionReport;
ISessionReport& PushQuietReport();

class TIdleWatcher : public std::enable_shared_from_this<TIdleWatcher> {
public:
    // Main thread: copies the row and the snapshot, and prepares the password.
    static std::shared_ptr<TIdleWatcher> Create(const AccountRow& row, const CheckOptions& options,
                                                std::shared_ptr<SessionLink> link, PushTimings timings,
                                                PushEvents events);
    ~TIdleWatcher();

    // Starts the watch on a detached thread counted by the link; throws std::system_error when
    // no thread can be started.
    void Start();
    // Any thread: ends the watch for good; a blocked read or wait returns at once.
    void Stop();
    // Any thread: drops the connection and connects again at once (after a resume, or after a
    // refused sign-in when the settings may have changed).
    void TryAgain();

private:
    TIdleWatcher() = default;
    void Execute();
    // One connection from connect to drop; throws what ended it.
    void Watch();
    void Idle(TIdIMAP4& client);
    // Waits up to `wait`, or until Stop or TryAgain; false once stopped.
    bool Pause(std::chrono::milliseconds wait);
    void Attach(TIdTCPConnection* client);
    void Tell(bool connected, bool signInRefused, const std::string& error);

    AccountRow m_row;
    CheckOptions m_options;
    std::shared_ptr<SessionLink> m_link;
    PushTimings m_timings;
    PushEvents m_events;
    TSessionPassword m_password;
    TTokenCommand m_tokenCommand;
    bool m_connected = false; // worker thread: in IDLE since the last report
    // Worker thread: the folder's message count as last seen, across connections.
    std::optional<std::uint32_t> m_known;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    TIdTCPConnection* m_client = nullptr;
    bool m_stopped = false;
    bool m_retry = false;
};

} // namespace qm
