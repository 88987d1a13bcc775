// Re-captioning the main window in the interface language.
#include "app/MainWindow.h"

#include "lang/Captions.h"
#include "ui/AboutBox.h"
#include "ui/AccountActions.h"
#include "ui/AccountDialog.h"
#include "ui/AccountListView.h"
#include "ui/CodePageText.h"
#include "ui/MailClientDialog.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QTabWidget>

namespace qm {

QString TmQuillmere::tr_(const char* english) const {
    return fromUtf8(m_LR.Translate(english, "EN", m_currentLanguage));
}

void TmQuillmere::ApplyLanguage(const std::string& code) {
    m_checkMailCaptions.language.clear();
    m_accountActions->setLanguage(code);
    m_account_settings_fm->setLanguage(code);
    m_AboutBox->setLanguage(code);
    m_selMailCl_fm->setLanguage(code);
    applyListsLanguage(code);
    for (const CaptionEntry& entry : MainWindowCaptions()) {
        const QString text = fromUtf8(m_LR.Translate(entry.englishText, "EN", code));
        const QString name = QString::fromLatin1(entry.objectName);
        switch (entry.target) {
        case CaptionTarget::Action:
            if (auto* command = findChild<QAction*>(name)) {
                command->setText(text);
            }
            break;
        case CaptionTarget::MenuItem:
            if (auto* menu = findChild<QMenu*>(name)) {
                menu->setTitle(text);
            } else if (auto* item = findChild<QAction*>(name)) {
                item->setText(text);
            }
            break;
        case CaptionTarget::CheckBox:
            if (auto* box = findChild<QCheckBox*>(name)) {
                box->setText(text);
            }
            break;
        case CaptionTarget::Label:
            if (auto* label = findChild<QLabel*>(name)) {
                label->setText(text);
            }
            break;
        case CaptionTarget::ListColumn:
            if (entry.column >= 0 && entry.column < m_lwServers->columnCount()) {
                m_lwServers->headerItem()->setText(entry.column, text);
            }
            break;
        case CaptionTarget::Tab:
            if (auto* page = findChild<QWidget*>(name)) {
                const int index = m_PageControl1->indexOf(page);
                if (index >= 0) {
                    m_PageControl1->setTabText(index, text);
                }
            }
            break;
        case CaptionTarget::AccessibleName:
            if (auto* widget = findChild<QWidget*>(name)) {
                widget->setAccessibleName(text);
            }
            break;
        }
    }
    // Longer captions of another language may need more room; the window stays fixed otherwise.
    fixWindowSize();
    repaint();
}

void TmQuillmere::CheckLanguageMenu() {
    for (const LanguageMenuEntry& entry : LanguageMenuItems()) {
        if (QAction* item = action(entry.objectName)) {
            item->setChecked(IsLanguageMenuChecked(m_currentLanguage, entry.code));
        }
    }
}

void TmQuillmere::English1Click() {
    m_currentLanguage = "EN";
    ApplyLanguage(m_currentLanguage);
    action("English1")->setChecked(true);
}

void TmQuillmere::Russian1Click() {
    m_currentLanguage = "RU";
    ApplyLanguage(m_currentLanguage);
    action("Russian1")->setChecked(true);
}

void TmQuillmere::Italian1Click() {
    m_currentLanguage = "IT";
    ApplyLanguage(m_currentLanguage);
    action("Italian1")->setChecked(true);
}

} // namespace qm
