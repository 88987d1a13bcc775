#include "tray/TrayBackend.h"

#include "tray/SystemTrayBackend.h"
#include "tray/XEmbedTrayBackend.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QGuiApplication>

namespace qm {

namespace {

// A StatusNotifierItem host takes icons through D-Bus; where one runs, QSystemTrayIcon uses it.
bool statusNotifierWatcherPresent() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage call =
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                                       QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    call << QStringLiteral("org.kde.StatusNotifierWatcher");
    // A stuck bus must not hold the start-up for long.
    const QDBusMessage reply = bus.call(call, QDBus::Block, 2000);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().constFirst().toBool();
}

} // namespace

TrayBackendKind chooseTrayBackend() {
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return TrayBackendKind::SystemTray;
    if (!XEmbedTrayBackend::trayManagerPresent())
        return TrayBackendKind::SystemTray;
    return statusNotifierWatcherPresent() ? TrayBackendKind::SystemTray : TrayBackendKind::XEmbed;
}

std::unique_ptr<TrayBackend> createTrayBackend(TrayBackendKind kind, TCoolTrayIcon& owner) {
    if (kind == TrayBackendKind::Automatic)
        kind = chooseTrayBackend();
    // Our own docked window needs X11; elsewhere only QSystemTrayIcon reaches the desktop.
    if (kind == TrayBackendKind::XEmbed && QGuiApplication::platformName() == QLatin1String("xcb"))
        return std::make_unique<XEmbedTrayBackend>(owner);
    return std::make_unique<SystemTrayBackend>(owner);
}

} // namespace qm
