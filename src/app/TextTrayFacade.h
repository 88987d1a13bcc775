#pragma once

#include "app/TrayFacade.h"
#include "tray/TrayBackend.h"
#include "tray/TrayHintController.h"

#include <QIcon>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

class QTimer;

namespace qm {

class TTextTrayIcon;

// The monitor's real tray icon behind the window's tray interface: the text tray icon on the
// backend the desktop offers, the popup hint driven by its pointer events, and the window hidden
// to and restored from the tray. The popup shows the text hintText answers when it opens.
class TextTrayFacade : public TrayFacade {
    Q_OBJECT
public:
    TextTrayFacade(QWidget* mainWindow, std::function<QString()> hintText,
                   TrayBackendKind backend = TrayBackendKind::Automatic, const TrayHintIntervals& intervals = {},
                   QObject* parent = nullptr);
    ~TextTrayFacade() override;

    void setIconList(const QList<QIcon>& list) override;
    void setIconIndex(int index) override;
    int iconIndex() const override;
    void setPopupMenu(QMenu* menu) override;
    void setIconVisible(bool visible) override;
    void HideToTray() override;
    void RestoreFromTray() override;

    // The list last set, as given.
    const QList<QIcon>& iconList() const { return m_list; }
    void setCycleIcons(bool cycle) override;
    bool cycleIcons() const;
    void setCycleInterval(unsigned interval) override;
    unsigned cycleInterval() const;
    // Where the desktop gives no hover events, the popup's text goes into the icon's tooltip.
    void setHoverText(const QString& text) override;

    // The popup's show and hide delays run on these timers (the window's Timer1 and Timer2).
    void useHintTimers(QTimer& timer1, QTimer& timer2);

    TTextTrayIcon& icon() { return *m_icon; }
    TrayHintController& hint() { return *m_hint; }

private:
    std::unique_ptr<TTextTrayIcon> m_icon;
    std::unique_ptr<TrayHintController> m_hint;
    QList<QIcon> m_list;
    QList<qint64> m_listKeys;
};

} // namespace qm
