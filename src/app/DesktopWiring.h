#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QTimer>

#include <chrono>

namespace qm {

class DesktopNotifier;
class SleepWatcher;
class TmQuillmere;

// The monitor on a Linux desktop's buses: a notification for each check with news while
// "show a notification" is on (activating it runs the mail client), and a fresh check shortly
// after the system resumes from suspend while the check is on.
class DesktopWiring : public QObject {
    Q_OBJECT
public:
    DesktopWiring(TmQuillmere& window, QDBusConnection sessionBus, QDBusConnection systemBus);
    ~DesktopWiring() override;

    // How long after a resume the check starts; the network needs a moment to come back.
    void setResumeDelay(std::chrono::milliseconds delay) { m_resumeTimer.setInterval(delay); }
    const QTimer& resumeTimer() const { return m_resumeTimer; }
    const SleepWatcher& sleepWatcher() const { return *m_sleep; }

    // The popup text as a notification body: one account per line.
    static QString notificationBody(const std::string& hintText);

private:
    void summaryPublished();
    void resumed();
    void resumeCheck();

    TmQuillmere& m_window;
    DesktopNotifier* m_notifier = nullptr;
    SleepWatcher* m_sleep = nullptr;
    QTimer m_resumeTimer;
};

} // namespace qm
