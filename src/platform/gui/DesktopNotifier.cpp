// freedesktop.org desktop notifications (org.freedesktop.Notifications 1.2), over D-Bus.
#include "platform/gui/DesktopNotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace qm {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kDefaultAction = QStringLiteral("default");
// Long enough for a slow server, short enough that a hung one frees the next notification.
constexpr int kCallTimeoutMs = 10000;

} // namespace

DesktopNotifier::DesktopNotifier(QDBusConnection bus, QString appIcon, QString desktopEntry, QObject* parent)
    : QObject(parent), m_bus(std::move(bus)), m_appIcon(std::move(appIcon)), m_desktopEntry(std::move(desktopEntry)) {
    if (m_bus.isConnected()) {
        // QtDBus connects bus signals by slot signature only.
        m_bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                      SLOT(onActionInvoked(uint, QString)));
    }
}

void DesktopNotifier::notify(const QString& summary, const QString& body) {
    if (!m_bus.isConnected()) {
        return;
    }
    m_waiting = Pending{summary, body};
    if (!m_busy) {
        sendNext();
    }
}

void DesktopNotifier::sendNext() {
    if (!m_waiting) {
        return;
    }
    m_busy = true;
    if (!m_capabilities) {
        askCapabilities();
        return;
    }
    const Pending pending = *m_waiting;
    m_waiting.reset();
    sendNotify(pending);
}

void DesktopNotifier::callAsync(const QString& method, const QList<QVariant>& arguments,
                                std::function<void(const QDBusPendingCall&)> onFinished) {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
    call.setArguments(arguments);
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [onFinished = std::move(onFinished)](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                onFinished(*w);
            });
}

void DesktopNotifier::askCapabilities() {
    callAsync(QStringLiteral("GetCapabilities"), {}, [this](const QDBusPendingCall& call) {
        const QDBusPendingReply<QStringList> reply = call;
        if (reply.isError()) {
            // No server (or a broken one): this notification is dropped; a later one asks again.
            m_waiting.reset();
            finished();
            return;
        }
        m_capabilities = reply.value();
        m_busy = false;
        sendNext();
    });
}

void DesktopNotifier::sendNotify(const Pending& pending) {
    QString body = pending.body;
    if (m_capabilities->contains(QStringLiteral("body-markup"))) {
        body = body.toHtmlEscaped();
    }
    QStringList actions;
    if (m_capabilities->contains(QStringLiteral("actions"))) {
        actions << kDefaultAction << m_actionLabel;
    }
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), m_desktopEntry);
    hints.insert(QStringLiteral("category"), QStringLiteral("email.arrived"));
    const QList<QVariant> arguments{
        QStringLiteral("Quillmere32"), m_lastId, m_appIcon, pending.summary, body, actions, hints, qint32(-1)};
    callAsync(QStringLiteral("Notify"), arguments, [this](const QDBusPendingCall& call) {
        const QDBusPendingReply<uint> reply = call;
        if (reply.isError()) {
            // The server may have gone or been replaced: its capabilities are asked again.
            m_capabilities.reset();
        } else {
            m_lastId = reply.value();
        }
        finished();
    });
}

void DesktopNotifier::finished() {
    m_busy = false;
    sendNext();
}

void DesktopNotifier::onActionInvoked(uint id, const QString& actionKey) {
    if (id != 0 && id == m_lastId && actionKey == kDefaultAction) {
        emit activated();
    }
}

} // namespace qm
