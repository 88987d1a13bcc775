#pragma once

#include <QIcon>
#include <QList>
#include <QObject>
#include <QPointer>

class QMenu;
class QSystemTrayIcon;
class QWidget;

namespace qm {

// What the main window needs from its tray icon: image list and image, the menu, and hiding the
// window to the tray and bringing it back. The full tray icon plugs in behind this interface.
class TrayFacade : public QObject {
    Q_OBJECT
public:
    explicit TrayFacade(QWidget* mainWindow, QObject* parent = nullptr);
    ~TrayFacade() override;

    // IconList := list; shows image 0 of it.
    virtual void setIconList(const QList<QIcon>& list) = 0;
    // Shows image index of the list (clamped to its last image).
    virtual void setIconIndex(int index) = 0;
    virtual int iconIndex() const = 0;
    virtual void setPopupMenu(QMenu* menu) = 0;
    virtual void setIconVisible(bool visible) = 0;

    // Makes the main window invisible; the tray icon stays.
    virtual void HideToTray();
    // Shows the main window in its normal state and brings it to the front.
    virtual void RestoreFromTray();

protected:
    QWidget* mainWindow() const { return m_mainWindow; }

private:
    QPointer<QWidget> m_mainWindow;
};

// A plain tray icon on QSystemTrayIcon: shows the chosen image, opens the menu on the right
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

    QSystemTrayIcon* systemTrayIcon() const { return m_icon; }

private:
    void showCurrent();

    QSystemTrayIcon* m_icon;
    QList<QIcon> m_list;
    QPointer<QMenu> m_menu;
    int m_index = 0;
    qint64 m_shownKey = -1;
};

// Envelope pictures for a tray without its own images: plain, or crossed out in red (stopped).
QIcon FallbackEnvelopeIcon(bool crossed);

} // namespace qm
