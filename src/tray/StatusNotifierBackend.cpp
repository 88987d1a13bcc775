#include "tray/StatusNotifierBackend.h"

#include "tray/CoolTrayIcon.h"
#include "tray/DBusMenuExporter.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QGuiApplication>

namespace qm {

namespace {

const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString kItemPath = QStringLiteral("/StatusNotifierItem");
const QString kMenuPath = QStringLiteral("/MenuBar");

// A stuck bus must not hold the program for long.
constexpr int kBusTimeoutMs = 2000;

} // namespace

StatusNotifierBackend::StatusNotifierBackend(TCoolTrayIcon& owner)
    : m_owner(owner), m_menu(new DBusMenuExporter(this)),
      m_watcher(new QDBusServiceWatcher(kWatcherService, QDBusConnection::sessionBus(),
                                        QDBusServiceWatcher::WatchForRegistration, this)) {
    RegisterStatusNotifierTypes();
    static int items = 0;
    m_service = QStringLiteral("org.kde.StatusNotifierItem-%1-%2").arg(QCoreApplication::applicationPid()).arg(++items);
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.registerObject(kItemPath, this,
                       QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties |
                           QDBusConnection::ExportAllSignals);
    bus.registerObject(kMenuPath, m_menu,
                       QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties |
                           QDBusConnection::ExportAllSignals);
    // A panel that starts (or restarts) later gets the item again.
    connect(m_watcher, &QDBusServiceWatcher::serviceRegistered, this, [this] { registerWithWatcher(); });
}

StatusNotifierBackend::~StatusNotifierBackend() {
    setVisible(false);
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterObject(kMenuPath);
    bus.unregisterObject(kItemPath);
}

bool StatusNotifierBackend::hostPresent() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        kWatcherService, kWatcherPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    call << kWatcherService << QStringLiteral("IsStatusNotifierHostRegistered");
    const QDBusMessage reply = bus.call(call, QDBus::Block, kBusTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().constFirst().value<QDBusVariant>().variant().toBool();
}

void StatusNotifierBackend::setVisible(bool visible) {
    if (visible == m_visible)
        return;
    m_visible = visible;
    QDBusConnection bus = QDBusConnection::sessionBus();
    // The host drops an item whose name goes away: that is how the icon leaves the panel.
    if (visible) {
        bus.registerService(m_service);
        registerWithWatcher();
    } else {
        bus.unregisterService(m_service);
    }
}

void StatusNotifierBackend::registerWithWatcher() {
    if (!m_visible)
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(kWatcherService, kWatcherPath, kWatcherService,
                                                       QStringLiteral("RegisterStatusNotifierItem"));
    call << m_service;
    QDBusConnection::sessionBus().asyncCall(call, kBusTimeoutMs);
}

void StatusNotifierBackend::setIcon(const QImage& icon) {
    // The animation hands the same frames over and over; only a change goes to the host.
    if (icon.cacheKey() == m_iconKey)
        return;
    m_iconKey = icon.cacheKey();
    m_images = SniImagesFromImage(icon);
    emit NewIcon();
}

void StatusNotifierBackend::setToolTip(const QString& text) {
    if (text == m_toolTip)
        return;
    m_toolTip = text;
    emit NewToolTip();
}

void StatusNotifierBackend::setMenu(QMenu* menu) {
    m_menu->setMenu(menu);
}

void StatusNotifierBackend::setAttention(bool attention) {
    if (attention == m_attention)
        return;
    m_attention = attention;
    emit NewStatus(status());
}

QString StatusNotifierBackend::id() const {
    return QCoreApplication::applicationName();
}

QString StatusNotifierBackend::title() const {
    return QGuiApplication::applicationDisplayName();
}

QString StatusNotifierBackend::status() const {
    return m_attention ? QStringLiteral("NeedsAttention") : QStringLiteral("Active");
}

QDBusObjectPath StatusNotifierBackend::menu() const {
    return QDBusObjectPath(kMenuPath);
}

// A left click on the item, reported as the press and release an X11 icon gets.
void StatusNotifierBackend::Activate(int x, int y) {
    const Qt::KeyboardModifiers modifiers = QGuiApplication::queryKeyboardModifiers();
    m_owner.ButtonPressed(Qt::LeftButton, QPoint(x, y), modifiers);
    m_owner.ButtonReleased(Qt::LeftButton, QPoint(x, y), modifiers);
}

void StatusNotifierBackend::SecondaryActivate(int x, int y) {
    const Qt::KeyboardModifiers modifiers = QGuiApplication::queryKeyboardModifiers();
    m_owner.ButtonPressed(Qt::MiddleButton, QPoint(x, y), modifiers);
    m_owner.ButtonReleased(Qt::MiddleButton, QPoint(x, y), modifiers);
}

// Hosts that cannot draw a dbusmenu ask the program to open its own menu.
void StatusNotifierBackend::ContextMenu(int x, int y) {
    m_owner.PopupAtCursor(QPoint(x, y));
}

void StatusNotifierBackend::Scroll(int, const QString&) {}

} // namespace qm
