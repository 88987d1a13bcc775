#pragma once

#include "engine/CheckCycle.h"
#include "engine/IdleWatcher.h"

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace qm {

// The push connections of the monitor and the checks they start, on the main thread: one
// watcher per enabled IMAP account with push on, started, restarted or ended as the account
// list changes; an arrival starts a check of that account alone once no other check runs.
class PushChecks {
public:
    // What a check of one account reads from the window, at the moment it starts.
    struct Source {
        std::function<std::vector<AccountRow>()> rows;
        std::function<CheckOptions()> options;
        std::function<MessageLogOptions()> log;
        std::function<void()> beforeCheck; // the next check of the cycle is about to start
    };
    // Shown for the row of an account: whether it is connected for push, and why not.
    using StateView = std::function<void(const AccountRow& row, bool connected, const std::string& error)>;

    PushChecks(std::shared_ptr<IMainThreadInvoker> invoker, CheckCycle& cycle, Source source);
    // Shuts down with a short grace time.
    ~PushChecks();
    PushChecks(const PushChecks&) = delete;
    PushChecks& operator=(const PushChecks&) = delete;

    void SetTimings(PushTimings timings) { m_timings = timings; }
    void SetStateView(StateView view) { m_stateView = std::move(view); }

    // Watches the push accounts among rows: a new or changed account gets a fresh connection,
    // one that left the list or switched push off has its connection ended.
    void Follow(const std::vector<AccountRow>& rows, const CheckOptions& options);
    // Ends every push connection (checking was switched off).
    void StopAll();
    // Every connection is dropped and made again at once (after a resume from suspend).
    void Reconnect();
    // Accounts whose sign-in was refused try again (an interval check is due).
    void RetryRefused();
    // A check has ended: a waiting arrival's check starts now.
    void CheckEnded();
    // Ends every connection and waits for their threads up to grace; true when none is left.
    bool Shutdown(std::chrono::milliseconds grace);

    // Whether the account of the row is in IDLE now.
    bool IsConnected(const AccountRow& row) const;
    std::size_t Watching() const { return m_watchers.size(); }

private:
    struct Watch {
        AccountRow row;
        std::shared_ptr<TIdleWatcher> watcher;
        bool connected = false;
        bool refused = false;
        int serial = 0; // a watcher's late calls never reach the one that replaced it
    };
    // The watch of the account, when it is still the one with that serial.
    Watch* Current(const std::string& key, int serial);
    void Arrived(const std::string& key, int serial);
    void State(const std::string& key, int serial, bool connected, bool refused, const std::string& error);
    void StartWaitingCheck();
    void End(std::map<std::string, Watch>::iterator it);

    std::shared_ptr<IMainThreadInvoker> m_invoker;
    CheckCycle& m_cycle;
    Source m_source;
    std::shared_ptr<SessionLink> m_link;
    PushTimings m_timings;
    StateView m_stateView;
    std::map<std::string, Watch> m_watchers; // by the account's server, port and name
    std::set<std::string> m_waiting;         // accounts with mail that wait for their check
    int m_lastSerial = 0;
    bool m_shutDown = false;
    bool m_allEnded = true;
};

} // namespace qm
