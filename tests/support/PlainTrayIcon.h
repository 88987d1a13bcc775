#pragma once

#include "app/TrayFacade.h"

#include <QList>
#include <QPointer>

class QSystemTrayIcon;

namespace qm {

// A test double of the tray icon on QSystemTrayIcon: shows the chosen image, opens the menu on the right
// button and runs the menu's default item on a double click.
class PlainTrayIcon : public TrayFacade {
    Q_OBJECT
public:
    explicit PlainTrayIcon(QWidget* mainWindow, QObject* parent = nullptr);
    ~PlainTrayIcon() override;

    void setIconList(const QList<QIcon>& list) override;
    void setIconIndex(int index) override;
    int iconIndex() const override { return m_index; }
    void setPopupMenu(QMenu* menu) override;
    void setIconVisible(bool visible) override;
    // A plain icon shows one image; what the window asks is only recorded.
    void setCycleIcons(bool cycle) override { m_cycle = cycle; }
    void setCycleInterval(unsigned interval) override { m_cycleInterval = interval; }
    void setHoverText(const QString& text) override { m_hoverText = text; }
    bool cycleIcons() const { return m_cycle; }
    unsigned cycleInterval() const { return m_cycleInterval; }
    const QString& hoverText() const { return m_hoverText; }

    QSystemTrayIcon* systemTrayIcon() const { return m_icon; }

private:
    void showCurrent();

    QSystemTrayIcon* m_icon;
    QList<QIcon> m_list;
    QPointer<QMenu> m_menu;
    int m_index = 0;
    qint64 m_shownKey = -1;
    bool m_cycle = false;
    unsigned m_cycleInterval = 0;
    QString m_hoverText;
};

} // namespace qm
