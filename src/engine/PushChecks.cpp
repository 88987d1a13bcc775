#include "engine/PushChecks.h"

#include "engine/SessionLink.h"
#include "settings/AccountCells.h"

#include <algorithm>
#include <utility>

namespace qm {

PushChecks::PushChecks(std::shared_ptr<IMainThreadInvoker> invoker, CheckCycle& cycle, Source source)
    : m_invoker(std::move(invoker)), m_cycle(cycle), m_source(std::move(source)),
      m_link(std::make_shared<SessionLink>(m_invoker, &PushQuietReport())) {}

PushChecks::~PushChecks() {
    Shutdown(std::chrono::milliseconds(2000));
}

void PushChecks::Follow(const std::vector<AccountRow>& rows, const CheckOptions& options) {
    if (m_shutDown) {
        return;
    }
    std::map<std::string, const AccountRow*> wanted;
    for (const AccountRow& row : rows) {
        if (!IsDisabledCell(row.Disabled) && IsPushCell(row.Idle, row.Protocol)) {
            wanted.emplace(AccountKey(row), &row);
        }
    }
    for (auto it = m_watchers.begin(); it != m_watchers.end();) {
        const auto want = wanted.find(it->first);
        if (want != wanted.end() && *want->second == it->second.row) {
            wanted.erase(want);
            ++it;
        } else {
            const auto next = std::next(it);
            End(it); // gone, or changed: a changed one starts again below
            it = next;
        }
    }
    for (const auto& [key, row] : wanted) {
        const int serial = ++m_lastSerial;
        PushEvents events;
        events.arrived = [this, key = key, serial] { Arrived(key, serial); };
        events.state = [this, key = key, serial](bool connected, bool refused, const std::string& error) {
            State(key, serial, connected, refused, error);
        };
        Watch watch{*row, TIdleWatcher::Create(*row, options, m_link, m_timings, std::move(events))};
        watch.serial = serial;
        try {
            watch.watcher->Start();
        } catch (const std::exception& e) {
            // Without a thread the account is checked at the interval only, and says why.
            if (m_stateView) {
                m_stateView(*row, false, e.what());
            }
            continue;
        }
        m_watchers.emplace(key, std::move(watch));
    }
}

void PushChecks::End(std::map<std::string, Watch>::iterator it) {
    it->second.watcher->Stop();
    m_waiting.erase(it->first);
    if (m_stateView) {
        m_stateView(it->second.row, false, std::string());
    }
    m_watchers.erase(it);
}

void PushChecks::StopAll() {
    while (!m_watchers.empty()) {
        End(m_watchers.begin());
    }
}

void PushChecks::Reconnect() {
    for (auto& [key, watch] : m_watchers) {
        watch.watcher->TryAgain();
    }
}

void PushChecks::RetryRefused() {
    for (auto& [key, watch] : m_watchers) {
        if (watch.refused) {
            watch.refused = false;
            watch.watcher->TryAgain();
        }
    }
}

bool PushChecks::Shutdown(std::chrono::milliseconds grace) {
    if (m_shutDown) {
        return m_allEnded;
    }
    m_shutDown = true;
    m_link->Close();
    for (auto& [key, watch] : m_watchers) {
        watch.watcher->Stop();
    }
    m_watchers.clear();
    m_waiting.clear();
    m_allEnded = m_link->WaitForThreads(grace);
    return m_allEnded;
}

bool PushChecks::IsConnected(const AccountRow& row) const {
    const auto it = m_watchers.find(AccountKey(row));
    return it != m_watchers.end() && it->second.connected;
}

PushChecks::Watch* PushChecks::Current(const std::string& key, int serial) {
    const auto it = m_watchers.find(key);
    return it != m_watchers.end() && it->second.serial == serial ? &it->second : nullptr;
}

void PushChecks::State(const std::string& key, int serial, bool connected, bool refused, const std::string& error) {
    Watch* watch = Current(key, serial);
    if (watch == nullptr) {
        return;
    }
    watch->connected = connected;
    watch->refused = refused;
    if (m_stateView) {
        m_stateView(watch->row, connected, error);
    }
}

void PushChecks::Arrived(const std::string& key, int serial) {
    if (Current(key, serial) == nullptr) {
        return;
    }
    m_waiting.insert(key);
    StartWaitingCheck();
}

void PushChecks::CheckEnded() {
    StartWaitingCheck();
}

void PushChecks::StartWaitingCheck() {
    // One check at a time: a full check that runs now reads the account too, and an arrival
    // during it is checked right after.
    if (m_shutDown || m_waiting.empty() || m_cycle.RunningWorkers() > 0) {
        return;
    }
    const std::string key = *m_waiting.begin();
    m_waiting.erase(m_waiting.begin());
    const std::vector<AccountRow> rows = m_source.rows();
    const auto at =
        std::find_if(rows.begin(), rows.end(), [&key](const AccountRow& row) { return AccountKey(row) == key; });
    if (at == rows.end()) {
        StartWaitingCheck();
        return;
    }
    if (m_source.beforeCheck) {
        m_source.beforeCheck();
    }
    m_cycle.StartAccountCheck(rows, static_cast<std::size_t>(at - rows.begin()), m_source.options(), m_source.log());
}

} // namespace qm
