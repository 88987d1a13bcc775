// systemd-logind's org.freedesktop.login1.Manager interface: PrepareForSleep(true) before a
// suspend or hibernation, PrepareForSleep(false) after the system is back.
#include "platform/gui/SleepWatcher.h"

namespace qm {

SleepWatcher::SleepWatcher(QDBusConnection systemBus, QObject* parent) : QObject(parent), m_bus(std::move(systemBus)) {
    if (m_bus.isConnected()) {
        m_watching = m_bus.connect(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                                   QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"),
                                   this, SLOT(onPrepareForSleep(bool)));
    }
}

void SleepWatcher::onPrepareForSleep(bool start) {
    if (!start) {
        emit resumed();
    }
}

} // namespace qm
