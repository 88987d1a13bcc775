#pragma once

#include "tray/StatusNotifierTypes.h"
#include "tray/TrayBackend.h"

#include <QDBusObjectPath>
#include <QObject>
#include <QString>

class QDBusServiceWatcher;

namespace qm {

class DBusMenuExporter;

// The tray icon as our own StatusNotifierItem on the session bus, with its menu exported as
// dbusmenu: the way to a panel on Wayland, KDE Plasma, GNOME with the AppIndicator extension and
// Xfce. Unlike the item QSystemTrayIcon exports, its status asks for attention while there is
// news. The host draws the menu and reports no hover, so the hover text goes into the tooltip.
class StatusNotifierBackend : public QObject, public TrayBackend {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(int WindowId READ windowId)
    Q_PROPERTY(QString IconName READ emptyName)
    Q_PROPERTY(qm::SniImageList IconPixmap READ iconPixmap)
    Q_PROPERTY(QString OverlayIconName READ emptyName)
    Q_PROPERTY(qm::SniImageList OverlayIconPixmap READ noImages)
    Q_PROPERTY(QString AttentionIconName READ emptyName)
    Q_PROPERTY(qm::SniImageList AttentionIconPixmap READ noImages)
    Q_PROPERTY(QString AttentionMovieName READ emptyName)
    Q_PROPERTY(qm::SniToolTip ToolTip READ toolTip)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ menu)

public:
    explicit StatusNotifierBackend(TCoolTrayIcon& owner);
    ~StatusNotifierBackend() override;

    // Whether a StatusNotifierWatcher with a host runs on the session bus.
    static bool hostPresent();

    TrayBackendKind kind() const override { return TrayBackendKind::StatusNotifier; }
    void setVisible(bool visible) override;
    void setIcon(const QImage& icon) override;
    void setToolTip(const QString& text) override;
    void setMenu(QMenu* menu) override;
    void setAttention(bool attention) override;
    bool hasHoverEvents() const override { return false; }
    bool trayPresent() const override { return hostPresent(); }

    QString category() const { return QStringLiteral("Communications"); }
    QString id() const;
    QString title() const;
    QString status() const;
    int windowId() const { return 0; }
    QString emptyName() const { return {}; }
    SniImageList iconPixmap() const { return m_images; }
    SniImageList noImages() const { return {}; }
    SniToolTip toolTip() const { return {QString(), {}, m_toolTip, QString()}; }
    bool itemIsMenu() const { return false; }
    QDBusObjectPath menu() const;

public slots:
    void Activate(int x, int y);
    void SecondaryActivate(int x, int y);
    void ContextMenu(int x, int y);
    void Scroll(int delta, const QString& orientation);

signals:
    void NewTitle();
    void NewIcon();
    void NewAttentionIcon();
    void NewOverlayIcon();
    void NewToolTip();
    void NewStatus(const QString& status);

private:
    void registerWithWatcher();

    TCoolTrayIcon& m_owner;
    DBusMenuExporter* m_menu;
    QDBusServiceWatcher* m_watcher;
    QString m_service;
    bool m_visible = false;
    bool m_attention = false;
    qint64 m_iconKey = -1;
    SniImageList m_images;
    QString m_toolTip;
};

} // namespace qm
