#pragma once

#include <QIcon>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

class QMenu;

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
    // Whether the icon steps through its image list, and the step in milliseconds.
    virtual void setCycleIcons(bool cycle) = 0;
    virtual void setCycleInterval(unsigned interval) = 0;
    // The popup's text, for desktops where it has to go into the icon's tooltip.
    virtual void setHoverText(const QString& text) = 0;

    // Makes the main window invisible; the tray icon stays. The real icon only minimizes the
    // window where the desktop has no tray.
    virtual void HideToTray();
    // Shows the main window in its normal state and brings it to the front.
    virtual void RestoreFromTray();

protected:
    QWidget* mainWindow() const { return m_mainWindow; }

private:
    QPointer<QWidget> m_mainWindow;
};

// Envelope pictures for a tray without its own images: plain, or crossed out in red (stopped).
QIcon FallbackEnvelopeIcon(bool crossed);

} // namespace qm
