#pragma once

#include "engine/CheckCycle.h"
#include "engine/CheckHost.h"
#include "engine/PushChecks.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace qm {

class QtMainThreadInvoker;
class TmQuillmere;

// The check cycle in the main window: the check timer's handler, the Executing switch with its
// interval, Check mail and Restart, and everything the session workers show (status bar, row
// images and tooltips, popup text, tray icon, counters, sound). Every member runs on the main
// thread; the workers reach it through the blocking queued calls of its invoker.
class CheckWiring : public QObject, public ICheckView {
    Q_OBJECT
public:
    explicit CheckWiring(TmQuillmere& window);
    ~CheckWiring() override;

    // The handlers.
    void TmTimer();
    void cbExecClick();
    void aCheckMailExecute();
    void aRestartExecute();

    // Stops taking the workers' calls, aborts their connections and waits for them at most
    // grace. True when no worker is left. Nothing of a check reaches the window afterwards.
    bool Shutdown(std::chrono::milliseconds grace);
    bool IsShutDown() const { return m_shutDown; }

    // Milliseconds of one minute of the interval; tests shorten it.
    void setMinuteMs(int ms) { m_minuteMs = ms; }
    // How the cycle's sessions connect; tests shorten the read bound.
    void setTimings(SessionTimings timings);
    // What playing the new-mail sound does; the chime unless replaced.
    void setSoundPlayer(std::function<void()> play) { m_playSound = std::move(play); }

    // The push connections, and what a resume from suspend does to them: they connect again.
    PushChecks& push() { return *m_push; }
    void resumed() { m_push->Reconnect(); }

    const CheckCycle& cycle() const { return *m_cycle; }
    CheckCycle& cycle() { return *m_cycle; }

    // A data string of the check (translated words and code page names) as the window shows it.
    static QString displayText(const std::string& text);

    // ICheckView: the cycle's calls, on the main thread.
    void ShowStatus(const std::string& text) override;
    void MarkConnected(int check, int accountRow) override;
    void MarkFailed(int check, int accountRow) override;
    void TrayConnected() override;
    void AccountError(int check, int accountRow, const std::string& error) override;
    void PublishSummary(const CheckSummary& summary) override;

signals:
    // The last worker of a check has ended and its result is shown.
    void summaryPublished();

private:
    // The window's popup text and the tray's hover text, from the cycle's.
    void syncFields();
    // The list index now of the account at a row of a check; -1 when that row is gone.
    int listIndex(int check, int accountRow) const;
    // The still envelope of im1, its animation stopped and set to the fast pace.
    void showPlainEnvelope();
    // The logs a check writes to, as the settings name them now.
    MessageLogOptions messageLog() const;
    // Remembers the identities of the list's rows for the check about to start.
    void registerRows(const std::vector<AccountRow>& rows);
    // The push note of the account's row.
    void showPush(const AccountRow& row, bool connected, const std::string& error);

    TmQuillmere& m_window;
    std::shared_ptr<QtMainThreadInvoker> m_invoker;
    std::unique_ptr<CheckCycle> m_cycle;
    std::unique_ptr<PushChecks> m_push;
    // The row identities of each check whose workers still run, by check number.
    std::map<int, std::shared_ptr<const std::vector<std::uint64_t>>> m_rowIds;
    std::function<void()> m_playSound;
    int m_minuteMs = 60000;
    bool m_shutDown = false;
    bool m_allEnded = true;
};

} // namespace qm
