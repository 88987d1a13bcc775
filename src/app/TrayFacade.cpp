#include "app/TrayFacade.h"

#include <QAction>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QWidget>

#include <algorithm>

namespace qm {

TrayFacade::TrayFacade(QWidget* mainWindow, QObject* parent) : QObject(parent), m_mainWindow(mainWindow) {}

TrayFacade::~TrayFacade() = default;

void TrayFacade::HideToTray() {
    if (m_mainWindow) {
        m_mainWindow->hide();
    }
}

void TrayFacade::RestoreFromTray() {
    if (!m_mainWindow) {
        return;
    }
    if (m_mainWindow->isMinimized()) {
        m_mainWindow->setWindowState(m_mainWindow->windowState() & ~Qt::WindowMinimized);
    }
    m_mainWindow->show();
    m_mainWindow->raise();
    m_mainWindow->activateWindow();
}

PlainTrayIcon::PlainTrayIcon(QWidget* mainWindow, QObject* parent)
    : TrayFacade(mainWindow, parent), m_icon(new QSystemTrayIcon(this)) {
    m_icon->setObjectName(QStringLiteral("TextTrayIcon1"));
    connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::DoubleClick && m_menu && m_menu->defaultAction() != nullptr &&
            m_menu->defaultAction()->isEnabled()) {
            m_menu->defaultAction()->trigger();
        }
    });
}

PlainTrayIcon::~PlainTrayIcon() = default;

void PlainTrayIcon::setIconList(const QList<QIcon>& list) {
    m_list = list;
    setIconIndex(0);
}

void PlainTrayIcon::setIconIndex(int index) {
    if (m_list.isEmpty()) {
        m_index = 0;
    } else {
        m_index = std::clamp(index, 0, static_cast<int>(m_list.size()) - 1);
    }
    showCurrent();
}

void PlainTrayIcon::showCurrent() {
    const QIcon icon = m_list.isEmpty() ? FallbackEnvelopeIcon(false) : m_list.at(m_index);
    // The refresh tick sets the same picture five times a second; hand the desktop only changes.
    if (icon.cacheKey() == m_shownKey) {
        return;
    }
    m_shownKey = icon.cacheKey();
    m_icon->setIcon(icon);
}

void PlainTrayIcon::setPopupMenu(QMenu* menu) {
    m_menu = menu;
    m_icon->setContextMenu(menu);
}

void PlainTrayIcon::setIconVisible(bool visible) {
    if (m_icon->icon().isNull()) {
        showCurrent();
    }
    m_icon->setVisible(visible);
}

namespace {

QIcon paintEnvelope(bool crossed) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setPen(QColor(60, 60, 60));
    painter.setBrush(Qt::white);
    painter.drawRect(1, 3, 13, 9);
    painter.drawLine(1, 3, 8, 8);
    painter.drawLine(14, 3, 8, 8);
    if (crossed) {
        QPen pen(QColor(220, 0, 0));
        pen.setWidth(2);
        painter.setPen(pen);
        painter.drawLine(3, 2, 13, 13);
        painter.drawLine(13, 2, 3, 13);
    }
    painter.end();
    return QIcon(pixmap);
}

} // namespace

QIcon FallbackEnvelopeIcon(bool crossed) {
    // Painted once, so the same picture keeps its identity.
    static const QIcon plain = paintEnvelope(false);
    static const QIcon stopped = paintEnvelope(true);
    return crossed ? stopped : plain;
}

} // namespace qm
