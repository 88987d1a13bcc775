#include "tray/SystemTrayBackend.h"

#include "tray/CoolTrayIcon.h"

#include <QCursor>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QPixmap>
#include <QSystemTrayIcon>

namespace qm {

SystemTrayBackend::SystemTrayBackend(TCoolTrayIcon& owner) : m_owner(owner), m_icon(new QSystemTrayIcon(this)) {
    QObject::connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        const QPoint pos = QCursor::pos();
        const Qt::KeyboardModifiers modifiers = QGuiApplication::queryKeyboardModifiers();
        switch (reason) {
        case QSystemTrayIcon::DoubleClick:
            m_owner.DoubleClicked(pos);
            break;
        case QSystemTrayIcon::Trigger:
            m_owner.ButtonPressed(Qt::LeftButton, pos, modifiers);
            m_owner.ButtonReleased(Qt::LeftButton, pos, modifiers);
            break;
        case QSystemTrayIcon::MiddleClick:
            m_owner.ButtonPressed(Qt::MiddleButton, pos, modifiers);
            m_owner.ButtonReleased(Qt::MiddleButton, pos, modifiers);
            break;
        case QSystemTrayIcon::Context: // the desktop opens the context menu itself
        case QSystemTrayIcon::Unknown:
            break;
        }
    });
}

SystemTrayBackend::~SystemTrayBackend() {
    m_icon->hide();
}

void SystemTrayBackend::setVisible(bool visible) {
    m_icon->setVisible(visible);
}

void SystemTrayBackend::setIcon(const QImage& icon) {
    // The animation hands the same frames over and over; skip the D-Bus round trip when nothing changed.
    if (icon.cacheKey() == m_iconKey && !m_icon->icon().isNull())
        return;
    m_iconKey = icon.cacheKey();
    m_icon->setIcon(icon.isNull() ? QIcon() : QIcon(QPixmap::fromImage(icon)));
}

void SystemTrayBackend::setToolTip(const QString& text) {
    if (m_icon->toolTip() != text)
        m_icon->setToolTip(text);
}

bool SystemTrayBackend::trayPresent() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void SystemTrayBackend::setMenu(QMenu* menu) {
    m_icon->setContextMenu(menu);
}

} // namespace qm
