#pragma once

#include <QDBusConnection>
#include <QObject>

namespace qm {

// Tells when the system has resumed from suspend: logind's PrepareForSleep(false) on the system
// bus. Without a system bus it never tells anything.
class SleepWatcher : public QObject {
    Q_OBJECT
public:
    explicit SleepWatcher(QDBusConnection systemBus, QObject* parent = nullptr);

    // The signal is subscribed to.
    bool isWatching() const { return m_watching; }

signals:
    void resumed();

private slots:
    // Named in a D-Bus signal connection, which QtDBus makes by slot signature only.
    void onPrepareForSleep(bool start);

private:
    QDBusConnection m_bus;
    bool m_watching = false;
};

} // namespace qm
