#include "support/PlainTrayIcon.h"

#include <QAction>
#include <QMenu>
#include <QSystemTrayIcon>

#include <algorithm>

namespace qm {

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

} // namespace qm
