#include "ui/FilterListEditor.h"

#include "lang/LangRes.h"
#include "ui/CodePageText.h"
#include "ui/FilterListBox.h"
#include "ui/ValueDialog.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>

namespace qm {

FilterListEditor::FilterListEditor(FilterListKind kind, QListWidget* box, const Actions& actions, TfmValue* dialog,
                                   std::filesystem::path file, QWidget* dialogParent, QObject* parent)
    : QObject(parent), m_kind(kind), m_box(box), m_actions(actions), m_dialog(dialog), m_file(std::move(file)),
      m_dialogParent(dialogParent) {
    connect(m_actions.add, &QAction::triggered, this, &FilterListEditor::AddExecute);
    connect(m_actions.edit, &QAction::triggered, this, &FilterListEditor::EditExecute);
    connect(m_actions.checkAll, &QAction::triggered, this, &FilterListEditor::CheckAllExecute);
    connect(m_actions.uncheckAll, &QAction::triggered, this, &FilterListEditor::UncheckAllExecute);
    connect(m_actions.delChecked, &QAction::triggered, this, &FilterListEditor::DelCheckedExecute);
    // A disabled edit action ignores the double click, as its button would.
    connect(m_box, &QListWidget::itemDoubleClicked, m_actions.edit, [this] { m_actions.edit->trigger(); });
    m_box->installEventFilter(this);
}

QString FilterListEditor::tr_(const char* english) const {
    return fromUtf8(Translate(english, "EN", m_language));
}

FilterList FilterListEditor::list() const {
    return ReadFilterList(m_box);
}

bool FilterListEditor::AddUnique(const std::string& value) {
    if (value.empty() || ContainsValue(list(), value)) {
        return false;
    }
    AddFilterEntry(m_box, value);
    return true;
}

void FilterListEditor::SaveList() const {
    SaveFilterList(list(), m_file);
}

void FilterListEditor::prepareDialog(const char* caption, bool translateCaption, const char* button) {
    m_dialog->eValue()->clear();
    m_dialog->setWindowTitle(translateCaption ? tr_(caption) : QString::fromLatin1(caption));
    m_dialog->bbAddEdit()->setText(tr_(button));
    m_dialog->setCommonTexts(m_language);
}

void FilterListEditor::AddExecute() {
    const bool sender = m_kind == FilterListKind::Sender;
    prepareDialog(sender ? "address or its part" : "subject or its part", true, "Apply");
    if (m_dialog->exec() != QDialog::Accepted) {
        return;
    }
    // An empty entry would match every message without a subject and delete it from the server;
    // neither list takes one.
    if (!AddUnique(m_dialog->valueBytes())) {
        return;
    }
    m_box->setCurrentRow(0);
    SaveList();
}

void FilterListEditor::EditExecute() {
    QListWidgetItem* item = m_box->currentItem();
    if (item == nullptr || m_box->currentRow() < 0) {
        return;
    }
    const bool sender = m_kind == FilterListKind::Sender;
    const QString remembered = m_dialog->bbAddEdit()->text();
    // "edit subject" has no translation and is always shown in English.
    prepareDialog(sender ? "edit address" : "edit subject", sender, "Save");
    m_dialog->eValue()->setText(fromCodePage(FilterEntryText(item)));
    const bool accepted = m_dialog->exec() == QDialog::Accepted;
    const std::string value = m_dialog->valueBytes();
    m_dialog->bbAddEdit()->setText(remembered);
    // The box may have been refilled while the dialog was open.
    if (!accepted || value.empty() || m_box->currentItem() != item) {
        return;
    }
    SetFilterEntry(item, value);
    emit saveSettingsRequested();
}

void FilterListEditor::setAllMarks(bool marked) {
    for (int i = 0; i < m_box->count(); ++i) {
        m_box->item(i)->setCheckState(marked ? Qt::Checked : Qt::Unchecked);
    }
}

void FilterListEditor::CheckAllExecute() {
    setAllMarks(true);
}

void FilterListEditor::UncheckAllExecute() {
    setAllMarks(false);
}

void FilterListEditor::DelCheckedExecute() {
    QMessageBox box(QMessageBox::Question, QApplication::applicationDisplayName(), tr_("Are you sure?"),
                    QMessageBox::Yes | QMessageBox::No, m_dialogParent);
    box.setObjectName(QStringLiteral("confirmBox"));
    box.setDefaultButton(QMessageBox::Yes);
    // Only a Yes deletes: a box closed with Escape or its close box has not been answered.
    if (box.exec() == QMessageBox::Yes) {
        FilterList entries = list();
        entries.DeleteChecked();
        ShowFilterList(m_box, entries);
    }
    SaveList();
}

bool FilterListEditor::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_box && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        m_actions.delChecked->trigger();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace qm
