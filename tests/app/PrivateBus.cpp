#include "PrivateBus.h"

#include <QDBusConnectionInterface>
#include <QFile>

namespace qm::test {

PrivateBus::PrivateBus(const QString& name) : m_name(name) {
    const QString config = m_dir.filePath(QStringLiteral("bus.conf"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly)) {
        return;
    }
    file.write("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
               " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
               "<busconfig><type>session</type><listen>unix:dir=");
    file.write(QFile::encodeName(m_dir.path()));
    file.write("</listen><auth>EXTERNAL</auth><policy context=\"default\">"
               // Without a rule for receiving, the bus withholds even the reply to Hello.
               "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
               "<allow own=\"*\"/></policy></busconfig>\n");
    file.close();
    m_daemon.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--config-file=") + config,
                                                   QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    if (!m_daemon.waitForStarted(10000)) {
        return;
    }
    QByteArray line;
    while (!line.contains('\n') && m_daemon.waitForReadyRead(10000)) {
        line += m_daemon.readAllStandardOutput();
    }
    m_address = QString::fromUtf8(line.trimmed());
}

PrivateBus::~PrivateBus() {
    for (const QString& connection : m_connections) {
        QDBusConnection::disconnectFromBus(connection);
    }
    m_daemon.terminate();
    m_daemon.waitForFinished(5000);
}

QDBusConnection PrivateBus::connect(const QString& connectionName) const {
    const QString full = m_name + QLatin1Char('-') + connectionName;
    m_connections << full;
    return QDBusConnection::connectToBus(m_address, full);
}

FakeNotificationServer::FakeNotificationServer(QDBusConnection bus, QStringList capabilities, bool hang)
    : m_bus(std::move(bus)), m_capabilities(std::move(capabilities)), m_hang(hang) {
    m_registered =
        m_bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this, QDBusConnection::ExportAllSlots) &&
        m_bus.registerService(QStringLiteral("org.freedesktop.Notifications"));
}

QStringList FakeNotificationServer::GetCapabilities() {
    ++capabilityQueries;
    return m_capabilities;
}

uint FakeNotificationServer::Notify(const QString& appName, uint replacesId, const QString& appIcon,
                                    const QString& summary, const QString& body, const QStringList& actions,
                                    const QVariantMap& hints, int) {
    calls.push_back({appName, replacesId, appIcon, summary, body, actions, hints});
    if (m_hang) {
        setDelayedReply(true);
        m_unanswered.push_back(message());
        return 0;
    }
    return replacesId != 0 ? replacesId : m_nextId++;
}

void FakeNotificationServer::CloseNotification(uint) {}

void FakeNotificationServer::invokeAction(uint id, const QString& key) {
    QDBusMessage signal =
        QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/Notifications"),
                                   QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("ActionInvoked"));
    signal << id << key;
    m_bus.send(signal);
}

StandInLogind::StandInLogind(QDBusConnection bus) : m_bus(std::move(bus)) {
    m_registered = m_bus.registerService(QStringLiteral("org.freedesktop.login1"));
}

void StandInLogind::prepareForSleep(bool start) {
    QDBusMessage signal =
        QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/login1"),
                                   QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"));
    signal << start;
    m_bus.send(signal);
}

} // namespace qm::test
