#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <optional>

class QDBusPendingCall;

namespace qm {

// Desktop notifications through org.freedesktop.Notifications (protocol version 1.2). Each call replaces this program's previous notification instead of
// stacking a new one. Every bus call is asynchronous, so a server that hangs never holds up the
// caller; without a bus or a server nothing is shown and nothing is reported.
class DesktopNotifier : public QObject {
    Q_OBJECT
public:
    // appIcon: the icon theme name; desktopEntry: the desktop entry's name without ".desktop";
    // actionLabel: the text of the action that activating the notification runs.
    DesktopNotifier(QDBusConnection bus, QString appIcon, QString desktopEntry, QObject* parent = nullptr);

    void notify(const QString& summary, const QString& body);
    void setActionLabel(const QString& label) { m_actionLabel = label; }

signals:
    // The user activated the notification shown last (servers that support actions only).
    void activated();

private slots:
    // Named in a D-Bus signal connection, which QtDBus makes by slot signature only.
    void onActionInvoked(uint id, const QString& actionKey);

private:
    struct Pending {
        QString summary;
        QString body;
    };
    // A call to the server without waiting; onFinished gets its answer or error.
    void callAsync(const QString& method, const QList<QVariant>& arguments,
                   std::function<void(const QDBusPendingCall&)> onFinished);
    void sendNext();
    void askCapabilities();
    void sendNotify(const Pending& pending);
    void finished();

    QDBusConnection m_bus;
    QString m_appIcon;
    QString m_desktopEntry;
    QString m_actionLabel;
    // The id the server gave the last notification; 0 before the first.
    uint m_lastId = 0;
    // A call is on its way: a newer notification waits for its answer, for the id to replace.
    bool m_busy = false;
    std::optional<Pending> m_waiting;
    std::optional<QStringList> m_capabilities;
};

} // namespace qm
