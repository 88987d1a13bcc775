#include "tray/TrayHintController.h"

#include "tray/CoolTrayIcon.h"

#include <QGuiApplication>
#include <QMenu>
#include <QScreen>

namespace qm {

TrayHintController::TrayHintController(HintTextProvider hintText, const TrayHintIntervals& intervals, QObject* parent)
    : QObject(parent), m_hintText(std::move(hintText)), m_intervals(intervals),
      m_window(std::make_unique<TrayHintWindow>()) {
    UseTimers(m_ownTimer1, m_ownTimer2);
}

void TrayHintController::UseTimers(QTimer& timer1, QTimer& timer2) {
    m_timer1->stop();
    m_timer2->stop();
    disconnect(m_timer1, nullptr, this, nullptr);
    disconnect(m_timer2, nullptr, this, nullptr);
    m_timer1 = &timer1;
    m_timer2 = &timer2;
    m_timer1->setInterval(m_intervals.HintPause);
    m_timer2->setInterval(m_intervals.HintHidePause);
    connect(m_timer1, &QTimer::timeout, this, &TrayHintController::Timer1Timer);
    connect(m_timer2, &QTimer::timeout, this, &TrayHintController::Timer2Timer);
}

TrayHintController::~TrayHintController() = default;

void TrayHintController::Attach(TCoolTrayIcon& icon) {
    connect(&icon, &TCoolTrayIcon::OnMouseMove, this,
            [this](Qt::KeyboardModifiers, int x, int y) { TextTrayIcon1MouseMove(QPoint(x, y)); });
    connect(&icon, &TCoolTrayIcon::OnMouseEnter, this, &TrayHintController::TextTrayIcon1MouseEnter);
    connect(&icon, &TCoolTrayIcon::OnMouseExit, this, &TrayHintController::TextTrayIcon1MouseExit);
}

void TrayHintController::AttachMenu(QMenu& menu) {
    connect(&menu, &QMenu::aboutToShow, this, &TrayHintController::PopupMenu1Popup);
}

void TrayHintController::TextTrayIcon1MouseMove(QPoint screenPos) {
    m_trayCursorPos = screenPos;
}

void TrayHintController::TextTrayIcon1MouseEnter() {
    if (!m_timer1->isActive())
        m_timer1->start();
}

void TrayHintController::Timer1Timer() {
    m_timer1->stop();
    if (m_trayCursorPos == m_lastHintPos) {
        // Not again at the very spot where it last opened.
        if (!m_timer2->isActive())
            m_timer2->start();
        return;
    }
    if (!m_timer2->isActive()) {
        const QString text = m_hintText ? m_hintText() : QString();
        const QScreen* screen = QGuiApplication::screenAt(m_trayCursorPos);
        if (!screen)
            screen = QGuiApplication::primaryScreen();
        const int maxWidth = screen ? screen->geometry().width() : 1024;
        const QSize size = m_window->CalcHintRect(maxWidth, text);
        const QRect rect(m_trayCursorPos.x() - size.width(), m_trayCursorPos.y() - size.height(), size.width(),
                         size.height());
        m_window->ActivateHint(rect, text);
    }
    m_lastHintPos = m_trayCursorPos;
    if (!m_timer2->isActive())
        m_timer2->start();
}

void TrayHintController::Timer2Timer() {
    m_window->hide();
    m_timer2->stop();
}

void TrayHintController::TextTrayIcon1MouseExit() {
    m_window->hide();
    m_timer1->stop();
    m_timer2->stop();
    m_timer1->setInterval(m_intervals.HintPause);
    m_timer2->setInterval(m_intervals.HidePauseAfterExit);
}

void TrayHintController::PopupMenu1Popup() {
    m_timer1->stop();
    m_timer2->stop();
}

} // namespace qm
