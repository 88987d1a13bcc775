#include "PanelHost.h"

#include "XServer.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QStandardPaths>

namespace qm::test {

namespace {
constexpr int kWaitMs = 20000;
} // namespace

QStringList StatusNotifierWatcher::items() const {
    const QMutexLocker lock(&m_mutex);
    return m_items;
}

void StatusNotifierWatcher::RegisterStatusNotifierItem(const QString& service) {
    const QMutexLocker lock(&m_mutex);
    m_items.append(service);
}

PanelHost::~PanelHost() {
    QDBusConnection::disconnectFromBus(kConnection);
    m_thread.quit();
    m_thread.wait();
    if (m_bus.state() != QProcess::NotRunning) {
        m_bus.kill();
        m_bus.waitForFinished(kWaitMs);
    }
}

bool PanelHost::connect(const QString& address) {
    m_address = address;
    if (m_address.isEmpty()) {
        if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
            return false;
        m_bus.start(QStringLiteral("dbus-daemon"),
                    {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        if (!m_bus.waitForStarted(kWaitMs))
            return false;
        m_address = firstOutputLine(m_bus);
    }
    return !m_address.isEmpty() && QDBusConnection::connectToBus(m_address, kConnection).isConnected();
}

bool PanelHost::startWatcher() {
    QDBusConnection bus(kConnection);
    m_watcher.moveToThread(&m_thread);
    m_thread.start();
    return bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), &m_watcher,
                              QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties) &&
           bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher")) &&
           bus.registerService(QStringLiteral("org.kde.StatusNotifierHost-%1").arg(QCoreApplication::applicationPid()));
}

QString PanelHost::registeredItem(int timeoutMs) const {
    QElapsedTimer clock;
    clock.start();
    while (m_watcher.items().isEmpty() && clock.elapsed() < timeoutMs)
        QThread::msleep(50);
    return m_watcher.items().value(0);
}

WaylandCompositor::WaylandCompositor() {
    // Private to this process and run: weston and its clients refuse a runtime folder others may enter.
    static int started = 0;
    m_runtimeDir =
        QDir::tempPath() + QStringLiteral("/qm-wayland-%1-%2").arg(QCoreApplication::applicationPid()).arg(++started);
    QDir().mkpath(m_runtimeDir);
    QFile::setPermissions(m_runtimeDir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

WaylandCompositor::~WaylandCompositor() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(kWaitMs);
    }
    QDir(m_runtimeDir).removeRecursively();
}

bool WaylandCompositor::start(QProcessEnvironment& env) {
    const QString socket = QStringLiteral("wayland-qm");
    if (QStandardPaths::findExecutable(QStringLiteral("weston")).isEmpty())
        return false;
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtimeDir);
    m_process.setProcessEnvironment(env);
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.setStandardErrorFile(QProcess::nullDevice());
    m_process.start(QStringLiteral("weston"),
                    {QStringLiteral("--backend=headless-backend.so"), QStringLiteral("--socket=") + socket,
                     QStringLiteral("--no-config"), QStringLiteral("--idle-time=0")});
    if (!m_process.waitForStarted(kWaitMs))
        return false;
    const QString path = m_runtimeDir + QLatin1Char('/') + socket;
    QElapsedTimer clock;
    clock.start();
    while (!QFileInfo::exists(path) && clock.elapsed() < kWaitMs && m_process.state() == QProcess::Running)
        QThread::msleep(50);
    env.remove(QStringLiteral("DISPLAY"));
    env.insert(QStringLiteral("WAYLAND_DISPLAY"), socket);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    return QFileInfo::exists(path);
}

} // namespace qm::test
