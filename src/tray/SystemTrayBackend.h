#pragma once

#include "tray/TrayBackend.h"

#include <QObject>

class QSystemTrayIcon;

namespace qm {

// The tray icon through QSystemTrayIcon: StatusNotifierItem desktops, Wayland, or no tray yet.
// The desktop shows the menu itself and reports no hover, so the hover text goes into the tooltip.
class SystemTrayBackend : public QObject, public TrayBackend {
public:
    explicit SystemTrayBackend(TCoolTrayIcon& owner);
    ~SystemTrayBackend() override;

    TrayBackendKind kind() const override { return TrayBackendKind::SystemTray; }
    void setVisible(bool visible) override;
    void setIcon(const QImage& icon) override;
    void setToolTip(const QString& text) override;
    void setMenu(QMenu* menu) override;
    bool hasHoverEvents() const override { return false; }
    // Asks Qt, which also brings the icon into a tray that starts later.
    bool trayPresent() const override;

private:
    TCoolTrayIcon& m_owner;
    QSystemTrayIcon* m_icon;
    qint64 m_iconKey = -1;
};

} // namespace qm
