#include "app/TextTrayFacade.h"

#include "tray/TextTrayIcon.h"
#include "tray/TrayResources.h"

#include <QMenu>

namespace qm {

TextTrayFacade::TextTrayFacade(QWidget* mainWindow, std::function<QString()> hintText, TrayBackendKind backend,
                               const TrayHintIntervals& intervals, QObject* parent)
    : TrayFacade(mainWindow, parent), m_icon(std::make_unique<TTextTrayIcon>(nullptr, backend)),
      m_hint(std::make_unique<TrayHintController>(std::move(hintText), intervals)) {
    m_icon->setObjectName(QStringLiteral("TextTrayIcon1"));
    // The icon as the window's design has it: the "OO" picture until an image is chosen, no
    // desktop tooltip (the popup takes its place), enter and exit reported.
    m_icon->ApplyStartupText();
    m_icon->SetCycleInterval(0);
    m_icon->SetHint(QStringLiteral("stopped"));
    m_icon->SetShowHint(false);
    m_icon->SetWantEnterExitEvents(true);
    m_icon->SetMainWindow(mainWindow);
    m_icon->SetMinimizeToTray(true);
    m_hint->Attach(*m_icon);
}

TextTrayFacade::~TextTrayFacade() {
    // The hint refers to the icon's signals only; the icon goes last.
    m_hint.reset();
    m_icon.reset();
}

void TextTrayFacade::setIconList(const QList<QIcon>& list) {
    QList<qint64> keys;
    keys.reserve(list.size());
    for (const QIcon& icon : list) {
        keys.append(icon.cacheKey());
    }
    if (keys == m_listKeys && !m_icon->IconList().isEmpty()) {
        // The refresh tick sets the same list five times a second: hand the desktop only changes.
        if (m_icon->IconIndex() != 0) {
            m_icon->SetIconIndex(0);
        }
        return;
    }
    m_list = list;
    m_listKeys = keys;
    m_icon->SetIconList(ImagesFromIcons(list));
}

void TextTrayFacade::setIconIndex(int index) {
    if (index == m_icon->IconIndex() && !m_icon->IconList().isEmpty() && !m_icon->CycleIcons()) {
        return;
    }
    m_icon->SetIconIndex(index);
}

int TextTrayFacade::iconIndex() const {
    return m_icon->IconIndex();
}

void TextTrayFacade::setPopupMenu(QMenu* menu) {
    m_icon->SetPopupMenu(menu);
    if (menu != nullptr) {
        m_hint->AttachMenu(*menu);
    }
}

void TextTrayFacade::setIconVisible(bool visible) {
    m_icon->SetIconVisible(visible);
}

void TextTrayFacade::HideToTray() {
    m_icon->HideToTray();
}

void TextTrayFacade::RestoreFromTray() {
    m_icon->RestoreFromTray();
}

void TextTrayFacade::setCycleIcons(bool cycle) {
    m_icon->SetCycleIcons(cycle);
}

bool TextTrayFacade::cycleIcons() const {
    return m_icon->CycleIcons();
}

void TextTrayFacade::setCycleInterval(unsigned interval) {
    m_icon->SetCycleInterval(interval);
}

unsigned TextTrayFacade::cycleInterval() const {
    return m_icon->CycleInterval();
}

void TextTrayFacade::setHoverText(const QString& text) {
    m_icon->SetHoverText(text);
}

void TextTrayFacade::useHintTimers(QTimer& timer1, QTimer& timer2) {
    m_hint->UseTimers(timer1, timer2);
}

} // namespace qm
