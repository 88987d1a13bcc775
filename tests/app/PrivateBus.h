#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantMap>

#include <vector>

namespace qm::test {

// A D-Bus daemon of the test's own, on a socket in a temporary folder; stopped with the object.
class PrivateBus {
public:
    // name: the connection name this test's connections are registered under.
    explicit PrivateBus(const QString& name);
    ~PrivateBus();
    bool isRunning() const { return !m_address.isEmpty(); }
    // A new connection to the bus under its own name.
    QDBusConnection connect(const QString& connectionName) const;

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address;
    QString m_name;
    mutable QStringList m_connections;
};

// One Notify call as the server received it.
struct NotifyCall {
    QString appName;
    uint replacesId = 0;
    QString appIcon;
    QString summary;
    QString body;
    QStringList actions;
    QVariantMap hints;
};

// A notification server of our own: records each Notify and answers with a fresh id (or the
// replaced one); when hanging it never answers.
class FakeNotificationServer : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    FakeNotificationServer(QDBusConnection bus, QStringList capabilities, bool hang = false);
    bool isRegistered() const { return m_registered; }
    // Sends ActionInvoked(id, key) as a server does when the user activates a notification.
    void invokeAction(uint id, const QString& key);

    std::vector<NotifyCall> calls;
    int capabilityQueries = 0;

public slots:
    QStringList GetCapabilities();
    uint Notify(const QString& appName, uint replacesId, const QString& appIcon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints, int expireTimeout);
    void CloseNotification(uint id);

private:
    QDBusConnection m_bus;
    QStringList m_capabilities;
    bool m_hang;
    bool m_registered = false;
    uint m_nextId = 41;
    std::vector<QDBusMessage> m_unanswered;
};

// systemd-logind as far as the monitor uses it: the name and the PrepareForSleep signal.
class StandInLogind {
public:
    explicit StandInLogind(QDBusConnection bus);
    bool isRegistered() const { return m_registered; }
    void prepareForSleep(bool start);

private:
    QDBusConnection m_bus;
    bool m_registered = false;
};

} // namespace qm::test
