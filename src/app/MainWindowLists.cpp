// The anti-spam lists, the notice conditions and the received addresses hung on the main window.
#include "app/MainWindow.h"

#include "app/CheckWiring.h"
#include "ui/FilterListEditor.h"
#include "ui/NoticePanel.h"
#include "ui/ReceivedAddressesWindow.h"

#include <QAction>
#include <QTabWidget>
#include <QToolButton>

namespace qm {

void TmQuillmere::createListEditors() {
    auto editor = [this](FilterListKind kind, QListWidget* box, const char* const(&names)[5],
                         const std::filesystem::path& file) {
        const FilterListEditor::Actions actions{action(names[0]), action(names[1]), action(names[2]), action(names[3]),
                                                action(names[4])};
        auto* made = new FilterListEditor(kind, box, actions, m_fmValue, file, this, this);
        connect(made, &FilterListEditor::saveSettingsRequested, this, &TmQuillmere::SaveSettings);
        return made;
    };
    const char* const sender[5] = {"aAddAddress", "aEditAddress", "aCheckAll", "aUncheckAll", "aDelChecked"};
    const char* const subject[5] = {"aAddSubject", "aEditSubject", "aCheckAllSubj", "aUncheckAllSubj",
                                    "aDelCheckedSubj"};
    m_senderEditor = editor(FilterListKind::Sender, m_clbAntiSpam, sender, SenderListPath());
    m_subjectEditor = editor(FilterListKind::Subject, m_clbSubjAntiSpam, subject, SubjectListPath());
    m_mess_list_fm->setAntiSpamList(m_senderEditor);

    auto button = [this](const char* name) { return findChild<QToolButton*>(QString::fromLatin1(name)); };
    const NoticePanel::Controls controls{m_cbInform,
                                         m_cbFromAddress,
                                         m_cbSubject,
                                         m_cbAttach,
                                         m_cbWriteToFile,
                                         m_cbOverwrite,
                                         button("SpeedButton1"),
                                         button("SpeedButton2"),
                                         button("SpeedButton3"),
                                         button("SpeedButton4"),
                                         button("SpeedButton13"),
                                         m_cFromAddress,
                                         m_cSubject,
                                         m_eFileName};
    m_notice = new NoticePanel(controls, m_fmValue, this, this);
    connect(action("aShowMessagesList"), &QAction::triggered, this, &TmQuillmere::aShowMessagesListExecute);
}

void TmQuillmere::applyListsLanguage(const std::string& code) {
    m_senderEditor->setLanguage(code);
    m_subjectEditor->setLanguage(code);
    m_notice->setLanguage(code);
    m_mess_list_fm->setLanguage(code);
}

void TmQuillmere::aShowMessagesListExecute() {
    RestoreFromTray();
    m_PageControl1->setCurrentWidget(findChild<QWidget*>(QStringLiteral("tsAntiSpam")));
    m_mess_list_fm->Open(m_check->cycle().ReceivedAddresses());
}

} // namespace qm
