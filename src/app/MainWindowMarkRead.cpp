// "Mark all as read" and the mail client's start: what the checks have seen is looked at.
#include "app/CheckWiring.h"
#include "app/MainWindow.h"
#include "app/TrayFacade.h"
#include "settings/MailState.h"

#include <QCheckBox>

namespace qm {

void TmQuillmere::aMarkAllReadExecute() {
    if (!dataFolderUsable()) {
        return; // nothing is kept in an unusable folder
    }
    const FileResult marked = MarkAllLooked(SettingsPath().parent_path() / kMailStateFile);
    if (!marked.ok) {
        // In English, like the other file errors of the status bar.
        setStatusText(CheckWiring::displayText("The messages could not be marked as read: " + marked.error));
        return;
    }
    if (m_cbNewOnly->isChecked() && m_tray != nullptr) {
        m_tray->setCycleIcons(false);
        m_tray->setIconIndex(0);
    }
}

} // namespace qm
