#pragma once

#include "tray/TrayBackend.h"

#include <QAbstractNativeEventFilter>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <cstdint>

namespace qm {

// The small window that the XEmbed tray swallows: paints the icon and turns the pointer's
// real enter, move, leave and button events into the tray icon's events.
class XEmbedTrayWidget : public QWidget {
public:
    explicit XEmbedTrayWidget(TCoolTrayIcon& owner);

    void setIcon(const QImage& icon);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    TCoolTrayIcon& m_owner;
    QImage m_icon;
};

// The tray icon docked into an X11 system tray (freedesktop system tray protocol over XEmbed).
// Docks when shown and again whenever a new tray announces itself; hides while no tray holds it.
class XEmbedTrayBackend : public QObject, public TrayBackend, public QAbstractNativeEventFilter {
public:
    explicit XEmbedTrayBackend(TCoolTrayIcon& owner);
    ~XEmbedTrayBackend() override;

    // Whether this display has an X11 system tray right now.
    static bool trayManagerPresent();

    TrayBackendKind kind() const override { return TrayBackendKind::XEmbed; }
    void setVisible(bool visible) override;
    void setIcon(const QImage& icon) override;
    void setToolTip(const QString& text) override;
    void setMenu(QMenu*) override {}
    bool hasHoverEvents() const override { return true; }
    bool trayPresent() const override { return trayManagerPresent(); }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

    bool embedded() const { return m_embedded; }
    WId nativeWindow() const override { return currentWindow(); }

private:
    void createWidget();
    void dropWidget();
    uint32_t currentWindow() const;
    void requestDock();
    void setEmbedded(bool embedded);

    TCoolTrayIcon& m_owner;
    QPointer<XEmbedTrayWidget> m_widget;
    QImage m_icon;
    QString m_toolTip;
    bool m_visible = false;
    bool m_embedded = false;
    uint32_t m_root = 0;
    uint32_t m_selectionAtom = 0;
    uint32_t m_opcodeAtom = 0;
    uint32_t m_managerAtom = 0;
    // The tray and window of the last dock request: one tray is asked once per window.
    uint32_t m_askedManager = 0;
    uint32_t m_askedWindow = 0;
};

} // namespace qm
