#pragma once

#include "tray/SimpleTimer.h"
#include "tray/TrayBackend.h"

#include <QImage>
#include <QList>
#include <QMenu>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <qwindowdefs.h>

#include <functional>
#include <memory>

namespace qm {

// The program's icon in the notification area: shows one image of an image list, can animate
// through the list, opens its menu on the right button, runs the menu's default item on a
// double click, reports the pointer entering, moving over and leaving it, and hides the main
// window to the tray.
class TCoolTrayIcon : public QObject {
    Q_OBJECT

public:
    // The most characters of Hint that go into the desktop's tooltip.
    static constexpr int kMaxTipLength = 127;

    explicit TCoolTrayIcon(QObject* parent = nullptr, TrayBackendKind backend = TrayBackendKind::Automatic);
    ~TCoolTrayIcon() override;

    const QList<QImage>& IconList() const { return m_iconList; }
    // Selects image 0 of the new list at once.
    void SetIconList(const QList<QImage>& list);

    int IconIndex() const { return m_iconIndex; }
    // Clamped to the last image of the list; 0 without a list.
    void SetIconIndex(int index);

    bool CycleIcons() const { return m_cycleIcons; }
    // Starting the animation always begins at image 0.
    void SetCycleIcons(bool cycle);

    unsigned CycleInterval() const { return m_cycleInterval; }
    // A running animation restarts at image 0 with the new interval; 0 never animates.
    void SetCycleInterval(unsigned interval);

    const QImage& Icon() const { return m_icon; }
    void SetIcon(const QImage& icon);

    bool IconVisible() const { return m_iconVisible; }
    void SetIconVisible(bool visible);

    const QString& Hint() const { return m_hint; }
    void SetHint(const QString& hint);
    bool ShowHint() const { return m_showHint; }
    void SetShowHint(bool show);
    // What the desktop's own tooltip shows.
    QString ShellTip() const;
    // The tooltip last handed to the desktop: ShellTip, or the hover text where there is no hover.
    const QString& DesktopToolTip() const { return m_desktopToolTip; }

    // Text shown as the desktop's tooltip where the desktop gives no hover events (CR starts a line).
    void SetHoverText(const QString& text);

    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool enabled) { m_enabled = enabled; }

    QMenu* PopupMenu() const { return m_popupMenu; }
    void SetPopupMenu(QMenu* menu);
    bool LeftPopup() const { return m_leftPopup; }
    void SetLeftPopup(bool left) { m_leftPopup = left; }

    bool WantEnterExitEvents() const { return m_wantEnterExit; }
    void SetWantEnterExitEvents(bool want);

    QWidget* MainWindow() const { return m_mainWindow; }
    void SetMainWindow(QWidget* window);
    bool MinimizeToTray() const { return m_minimizeToTray; }
    void SetMinimizeToTray(bool minimize) { m_minimizeToTray = minimize; }

    // Hides the main window where a tray shows the icon; where none does, only minimizes it, so
    // the window stays within reach from the task bar.
    void HideToTray();
    void RestoreFromTray();

    // Whether a tray that shows this icon runs now; the backend asks the desktop unless a probe
    // of the caller's own answers instead (a desktop stand-in).
    bool TrayPresent() const;
    void SetTrayPresence(std::function<bool()> probe) { m_trayPresence = std::move(probe); }

    // The animation's timer; it runs only while CycleIcons is on with a non-zero CycleInterval.
    const TSimpleTimer& CycleTimer() const { return m_cycleTimer; }

    TrayBackendKind BackendKind() const;
    bool HasHoverEvents() const;
    // The docked X11 window; 0 where the desktop's own tray icon is used.
    WId NativeWindow() const;

    // The pointer events of the icon, as the desktop reports them. Public so that the backends
    // and tests can drive the icon; all are ignored while Enabled is false.
    void MouseMoved(QPoint globalPos, Qt::KeyboardModifiers modifiers);
    void MouseLeft();
    void ButtonPressed(Qt::MouseButton button, QPoint globalPos, Qt::KeyboardModifiers modifiers);
    void ButtonReleased(Qt::MouseButton button, QPoint globalPos, Qt::KeyboardModifiers modifiers);
    void DoubleClicked(QPoint globalPos);
    // Opens PopupMenu with its top left corner at the given screen position.
    void PopupAtCursor(QPoint globalPos);

signals:
    void OnMouseMove(Qt::KeyboardModifiers modifiers, int x, int y);
    void OnMouseEnter();
    void OnMouseExit();
    void OnMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
    void OnMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
    void OnDblClick();
    // The icon handed to the desktop changed (image, tooltip or visibility).
    void IconRefreshed();
    // An X11 system tray took the icon in (true) or let it go (false).
    void Docked(bool docked);

protected:
    // Hands Icon and the tooltip to the desktop again.
    virtual void RefreshIcon();
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void cycleTick();
    void runDefaultItem();

    std::unique_ptr<TrayBackend> m_backend;
    QList<QImage> m_iconList;
    int m_iconIndex = 0;
    bool m_cycleIcons = false;
    unsigned m_cycleInterval = 0;
    TSimpleTimer m_cycleTimer;
    QImage m_icon;
    bool m_iconVisible = false;
    QString m_hint;
    bool m_showHint = true;
    QString m_hoverText;
    QString m_desktopToolTip;
    bool m_enabled = true;
    QPointer<QMenu> m_popupMenu;
    bool m_leftPopup = false;
    bool m_wantEnterExit = false;
    bool m_mouseOutside = true;
    QPointer<QWidget> m_mainWindow;
    bool m_minimizeToTray = false;
    std::function<bool()> m_trayPresence;
};

} // namespace qm
