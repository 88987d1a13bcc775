#pragma once

#include <QMutex>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QThread>

namespace qm::test {

// A minimal StatusNotifierWatcher with a host, as a desktop's panel runs it; it records the items
// that register.
class StatusNotifierWatcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)

public:
    bool hostRegistered() const { return true; }
    int protocolVersion() const { return 0; }
    QStringList items() const;

public slots:
    void RegisterStatusNotifierItem(const QString& service);

private:
    mutable QMutex m_mutex;
    QStringList m_items;
};

// A panel's side of the tray on a private session bus: the bus (its own dbus-daemon, or one the
// test started) and, once started, the watcher in a thread of its own, so the test may wait on
// a program without an event loop.
class PanelHost {
public:
    // The connection the host and the test's calls use.
    static inline const QString kConnection = QStringLiteral("qm-panel-host");

    PanelHost() = default;
    ~PanelHost();
    PanelHost(const PanelHost&) = delete;
    PanelHost& operator=(const PanelHost&) = delete;

    // Connects to `address`, or starts a bus of its own when it is empty. False when neither works.
    bool connect(const QString& address = QString());
    QString address() const { return m_address; }
    // Registers the watcher and a host, as a panel does when it starts.
    bool startWatcher();
    // The first item's service once one registered; empty if none does within `timeoutMs`.
    QString registeredItem(int timeoutMs = 20000) const;

private:
    QProcess m_bus;
    QString m_address;
    StatusNotifierWatcher m_watcher;
    QThread m_thread;
};

// A headless Wayland compositor (weston) with its socket in a private runtime folder.
class WaylandCompositor {
public:
    WaylandCompositor();
    ~WaylandCompositor();
    // Starts it and points `env` at it: Wayland instead of the X display. False when it did not start.
    bool start(QProcessEnvironment& env);

private:
    QString m_runtimeDir;
    QProcess m_process;
};

} // namespace qm::test
