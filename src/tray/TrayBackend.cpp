#include "tray/TrayBackend.h"

#include "tray/StatusNotifierBackend.h"
#include "tray/SystemTrayBackend.h"
#include "tray/XEmbedTrayBackend.h"

#include <QGuiApplication>

namespace qm {

TrayBackendKind chooseTrayBackend() {
    // On Wayland only a StatusNotifierItem host can show the icon, and it may start later.
    const QString platform = QGuiApplication::platformName();
    if (platform.startsWith(QLatin1String("wayland")) || StatusNotifierBackend::hostPresent())
        return TrayBackendKind::StatusNotifier;
    if (platform == QLatin1String("xcb") && XEmbedTrayBackend::trayManagerPresent())
        return TrayBackendKind::XEmbed;
    // With no tray yet, Qt's icon takes whichever kind appears first.
    return TrayBackendKind::SystemTray;
}

std::unique_ptr<TrayBackend> createTrayBackend(TrayBackendKind kind, TCoolTrayIcon& owner) {
    if (kind == TrayBackendKind::Automatic)
        kind = chooseTrayBackend();
    // Our own docked window needs X11.
    if (kind == TrayBackendKind::XEmbed && QGuiApplication::platformName() == QLatin1String("xcb"))
        return std::make_unique<XEmbedTrayBackend>(owner);
    if (kind == TrayBackendKind::StatusNotifier)
        return std::make_unique<StatusNotifierBackend>(owner);
    return std::make_unique<SystemTrayBackend>(owner);
}

} // namespace qm
