#pragma once

#include <QImage>
#include <QString>
#include <qwindowdefs.h>

#include <memory>

class QMenu;

namespace qm {

class TCoolTrayIcon;

// Which way the tray icon reaches the desktop.
enum class TrayBackendKind {
    Automatic,      // StatusNotifier where a host runs or on Wayland, else XEmbed where its tray runs, else SystemTray
    XEmbed,         // our own docked window: real enter, move, exit and button events
    SystemTray,     // QSystemTrayIcon: clicks and menu only, the hover text goes into its tooltip
    StatusNotifier, // our own StatusNotifierItem: clicks and menu, a status that follows news
};

// One way of showing the icon; reports the user's mouse actions back to its TCoolTrayIcon.
class TrayBackend {
public:
    virtual ~TrayBackend() = default;

    virtual TrayBackendKind kind() const = 0;
    virtual void setVisible(bool visible) = 0;
    virtual void setIcon(const QImage& icon) = 0;
    virtual void setToolTip(const QString& text) = 0;
    virtual void setMenu(QMenu* menu) = 0;
    // Whether the icon asks for the user's attention (news); where the desktop can show it.
    virtual void setAttention(bool) {}
    // False where the desktop tells nothing about the pointer resting on the icon.
    virtual bool hasHoverEvents() const = 0;
    virtual WId nativeWindow() const { return 0; }
    // Whether a tray that can show this icon runs now.
    virtual bool trayPresent() const = 0;
};

// Resolves Automatic by looking at the running desktop.
TrayBackendKind chooseTrayBackend();

std::unique_ptr<TrayBackend> createTrayBackend(TrayBackendKind kind, TCoolTrayIcon& owner);

} // namespace qm
