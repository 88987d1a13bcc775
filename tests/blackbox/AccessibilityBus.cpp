#include "AccessibilityBus.h"

#include "XServer.h"

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>

namespace qm::test {

AccessibilityBus::AccessibilityBus(const QString& display, const QString& folder) {
    const QString runtime = folder + QStringLiteral("/runtime");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // Services the bus activates inherit this environment: the launcher needs the display and
    // keeps its own bus below the private runtime folder.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display);
    env.insert(QStringLiteral("HOME"), folder);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    m_process.setProcessEnvironment(env);
    m_process.start(QStringLiteral("dbus-daemon"),
                    {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    if (!m_process.waitForStarted(10000)) {
        return;
    }
    m_address = firstOutputLine(m_process);
}

AccessibilityBus::~AccessibilityBus() {
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

} // namespace qm::test
