#pragma once

#include "tray/TrayHintWindow.h"

#include <QObject>
#include <QPoint>
#include <QTimer>

#include <functional>
#include <memory>

class QMenu;

namespace qm {

class TCoolTrayIcon;

// The delays of the tray popup, in milliseconds.
struct TrayHintIntervals {
    int HintPause = 500;           // pointer resting on the icon until the popup opens
    int HintHidePause = 2500;      // popup open until it closes by itself
    int HidePauseAfterExit = 5000; // the same, from the first time the pointer left the icon on
};

// Opens the popup hint when the pointer rests on the tray icon and closes it again: Timer1 is
// the show delay, Timer2 the hide delay. The popup shows the hint text as it is when it opens.
class TrayHintController : public QObject {
public:
    using HintTextProvider = std::function<QString()>;

    explicit TrayHintController(HintTextProvider hintText, const TrayHintIntervals& intervals = {},
                                QObject* parent = nullptr);
    ~TrayHintController() override;

    // Feeds the controller from the icon's pointer events and the menu's opening.
    void Attach(TCoolTrayIcon& icon);
    void AttachMenu(QMenu& menu);
    // Runs the show and hide delays on timers the caller owns (a window's Timer1 and Timer2)
    // instead of its own; their intervals are set here. They must outlive the controller.
    void UseTimers(QTimer& timer1, QTimer& timer2);

    void TextTrayIcon1MouseMove(QPoint screenPos);
    void TextTrayIcon1MouseEnter();
    void TextTrayIcon1MouseExit();
    void Timer1Timer();
    void Timer2Timer();
    // Neither opens nor closes the popup while the menu is open.
    void PopupMenu1Popup();

    TrayHintWindow& HintWindow() { return *m_window; }
    const QTimer& Timer1() const { return *m_timer1; }
    const QTimer& Timer2() const { return *m_timer2; }
    QPoint TrayCursorPos() const { return m_trayCursorPos; }
    QPoint LastHintPos() const { return m_lastHintPos; }

private:
    HintTextProvider m_hintText;
    TrayHintIntervals m_intervals;
    std::unique_ptr<TrayHintWindow> m_window;
    QTimer m_ownTimer1;
    QTimer m_ownTimer2;
    QTimer* m_timer1 = &m_ownTimer1;
    QTimer* m_timer2 = &m_ownTimer2;
    QPoint m_trayCursorPos;
    QPoint m_lastHintPos;
};

} // namespace qm
