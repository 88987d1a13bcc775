#include "app/TrayFacade.h"

#include <QPainter>
#include <QPixmap>
#include <QWidget>

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
