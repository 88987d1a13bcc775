#include "tray/CoolTrayIcon.h"

#include <QAction>
#include <QEvent>
#include <QMenu>
#include <QTimer>
#include <QWidget>

#include <algorithm>

namespace qm {

TCoolTrayIcon::TCoolTrayIcon(QObject* parent, TrayBackendKind backend)
    : QObject(parent), m_cycleTimer(1000, [this](TSimpleTimer&) { cycleTick(); }) {
    m_backend = createTrayBackend(backend == TrayBackendKind::Automatic ? chooseTrayBackend() : backend, *this);
}

TCoolTrayIcon::~TCoolTrayIcon() {
    m_cycleTimer.Stop();
    SetIconVisible(false);
    if (m_mainWindow)
        m_mainWindow->removeEventFilter(this);
    m_backend.reset();
}

void TCoolTrayIcon::SetIconList(const QList<QImage>& list) {
    m_iconList = list;
    SetIconIndex(0);
}

void TCoolTrayIcon::SetIconIndex(int index) {
    if (m_iconList.isEmpty()) {
        m_iconIndex = 0;
    } else {
        // A negative index would address no image at all; treat it as the first one.
        m_iconIndex = std::clamp(index, 0, static_cast<int>(m_iconList.size()) - 1);
        m_icon = m_iconList.at(m_iconIndex);
    }
    RefreshIcon();
}

void TCoolTrayIcon::SetCycleIcons(bool cycle) {
    m_cycleIcons = cycle;
    // The envelope animates while there is news: the desktop may show that the item wants attention.
    if (m_backend)
        m_backend->setAttention(cycle);
    if (cycle) {
        SetIconIndex(0);
        m_cycleTimer.SetInterval(m_cycleInterval);
        m_cycleTimer.SetEnabled(true);
    } else {
        m_cycleTimer.SetEnabled(false);
    }
}

void TCoolTrayIcon::SetCycleInterval(unsigned interval) {
    m_cycleInterval = interval;
    SetCycleIcons(m_cycleIcons);
}

void TCoolTrayIcon::cycleTick() {
    if (m_iconList.isEmpty())
        return;
    const int count = static_cast<int>(m_iconList.size());
    const int shown = std::clamp(m_iconIndex, 0, count - 1);
    m_icon = m_iconList.at(shown);
    m_iconIndex = shown + 1 < count ? shown + 1 : 0;
    RefreshIcon();
}

void TCoolTrayIcon::SetIcon(const QImage& icon) {
    m_icon = icon;
    RefreshIcon();
}

void TCoolTrayIcon::SetIconVisible(bool visible) {
    if (visible == m_iconVisible)
        return;
    m_iconVisible = visible;
    if (visible)
        RefreshIcon();
    if (m_backend)
        m_backend->setVisible(visible);
    emit IconRefreshed();
}

void TCoolTrayIcon::SetHint(const QString& hint) {
    m_hint = hint;
    RefreshIcon();
}

void TCoolTrayIcon::SetShowHint(bool show) {
    m_showHint = show;
    RefreshIcon();
}

QString TCoolTrayIcon::ShellTip() const {
    if (m_hint.isEmpty() || !m_showHint)
        return {};
    int length = std::min<int>(kMaxTipLength, static_cast<int>(m_hint.size()));
    // Never cut between the two halves of a character outside the basic plane.
    if (length < m_hint.size() && length > 0 && m_hint.at(length - 1).isHighSurrogate())
        --length;
    return m_hint.left(length);
}

void TCoolTrayIcon::SetHoverText(const QString& text) {
    m_hoverText = text;
    if (!HasHoverEvents())
        RefreshIcon();
}

void TCoolTrayIcon::RefreshIcon() {
    if (m_backend) {
        m_backend->setIcon(m_icon);
        QString tip = ShellTip();
        if (!m_backend->hasHoverEvents() && !m_hoverText.isEmpty()) {
            tip = m_hoverText;
            tip.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
            tip.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        }
        m_backend->setToolTip(tip);
        m_desktopToolTip = tip;
    }
    emit IconRefreshed();
}

void TCoolTrayIcon::SetPopupMenu(QMenu* menu) {
    m_popupMenu = menu;
    if (m_backend)
        m_backend->setMenu(menu);
}

void TCoolTrayIcon::SetWantEnterExitEvents(bool want) {
    m_wantEnterExit = want;
    if (!want)
        m_mouseOutside = true;
}

void TCoolTrayIcon::SetMainWindow(QWidget* window) {
    if (m_mainWindow)
        m_mainWindow->removeEventFilter(this);
    m_mainWindow = window;
    if (window)
        window->installEventFilter(this);
}

void TCoolTrayIcon::HideToTray() {
    if (!m_mainWindow)
        return;
    // Asked each time: a tray may have started or gone since the last hide.
    if (TrayPresent())
        m_mainWindow->hide();
    else if (!m_mainWindow->isMinimized())
        m_mainWindow->showMinimized();
}

bool TCoolTrayIcon::TrayPresent() const {
    if (m_trayPresence)
        return m_trayPresence();
    return m_backend && m_backend->trayPresent();
}

void TCoolTrayIcon::RestoreFromTray() {
    if (!m_mainWindow)
        return;
    if (m_mainWindow->isMinimized())
        m_mainWindow->setWindowState(m_mainWindow->windowState() & ~Qt::WindowMinimized);
    m_mainWindow->show();
    m_mainWindow->raise();
    m_mainWindow->activateWindow();
}

bool TCoolTrayIcon::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_mainWindow && event->type() == QEvent::WindowStateChange && m_minimizeToTray &&
        m_mainWindow->isMinimized()) {
        // Hiding from inside the state change confuses some window managers; do it right after.
        QTimer::singleShot(0, this, [this] {
            if (m_mainWindow && m_mainWindow->isMinimized()) {
                HideToTray();
                SetIconVisible(true);
            }
        });
    }
    return QObject::eventFilter(watched, event);
}

TrayBackendKind TCoolTrayIcon::BackendKind() const {
    return m_backend ? m_backend->kind() : TrayBackendKind::SystemTray;
}

WId TCoolTrayIcon::NativeWindow() const {
    return m_backend ? m_backend->nativeWindow() : 0;
}

bool TCoolTrayIcon::HasHoverEvents() const {
    return m_backend && m_backend->hasHoverEvents();
}

void TCoolTrayIcon::MouseMoved(QPoint globalPos, Qt::KeyboardModifiers modifiers) {
    if (!m_enabled)
        return;
    if (m_wantEnterExit && m_mouseOutside) {
        m_mouseOutside = false;
        emit OnMouseEnter();
    }
    emit OnMouseMove(modifiers, globalPos.x(), globalPos.y());
}

void TCoolTrayIcon::MouseLeft() {
    if (!m_enabled || !m_wantEnterExit || m_mouseOutside)
        return;
    m_mouseOutside = true;
    emit OnMouseExit();
}

void TCoolTrayIcon::ButtonPressed(Qt::MouseButton button, QPoint globalPos, Qt::KeyboardModifiers modifiers) {
    if (!m_enabled)
        return;
    emit OnMouseDown(button, modifiers, globalPos.x(), globalPos.y());
    if (button == Qt::RightButton || (button == Qt::LeftButton && m_leftPopup))
        PopupAtCursor(globalPos);
}

void TCoolTrayIcon::ButtonReleased(Qt::MouseButton button, QPoint globalPos, Qt::KeyboardModifiers modifiers) {
    if (!m_enabled)
        return;
    emit OnMouseUp(button, modifiers, globalPos.x(), globalPos.y());
}

void TCoolTrayIcon::DoubleClicked(QPoint) {
    if (!m_enabled)
        return;
    emit OnDblClick();
    if (m_popupMenu && !m_leftPopup)
        runDefaultItem();
}

void TCoolTrayIcon::runDefaultItem() {
    // QMenu keeps one default action; a disabled one does nothing when triggered.
    if (QAction* item = m_popupMenu->defaultAction())
        item->trigger();
}

void TCoolTrayIcon::PopupAtCursor(QPoint globalPos) {
    if (m_popupMenu)
        m_popupMenu->popup(globalPos);
}

} // namespace qm
