#pragma once

#include "settings/FilterList.h"

#include <QObject>

#include <filesystem>
#include <string>

class QAction;
class QListWidget;
class QWidget;

namespace qm {

class TfmValue;

// Which of the two anti-spam lists an editor serves; the texts of its value dialog differ.
enum class FilterListKind { Sender, Subject };

// The commands of one anti-spam list (clbAntiSpam or clbSubjAntiSpam): add, edit the current
// entry, mark all, unmark all and delete the marked entries, the Delete key and the double click.
// The main window owns the list box, the actions and the dialog; its refresh tick enables the
// actions. Adding and deleting write this list's file; editing asks for the settings to be saved.
class FilterListEditor : public QObject {
    Q_OBJECT
public:
    struct Actions {
        QAction* add;
        QAction* edit;
        QAction* checkAll;
        QAction* uncheckAll;
        QAction* delChecked;
    };

    // box, actions and dialog must outlive the editor; dialogParent is the parent of the
    // confirmation box; file is this list's file.
    FilterListEditor(FilterListKind kind, QListWidget* box, const Actions& actions, TfmValue* dialog,
                     std::filesystem::path file, QWidget* dialogParent, QObject* parent = nullptr);

    // The interface language of the dialog texts.
    void setLanguage(const std::string& code) { m_language = code; }

    // The list as the box holds it (the enabled flag is the caller's).
    FilterList list() const;
    const std::filesystem::path& file() const { return m_file; }

    // Appends the value as an unmarked entry unless it is empty or the list holds it already
    // (ASCII letters in either case). True when appended.
    bool AddUnique(const std::string& value);
    // Writes the list file; write errors are silent.
    void SaveList() const;

    // Handlers.
    void AddExecute();
    void EditExecute();
    void CheckAllExecute();
    void UncheckAllExecute();
    void DelCheckedExecute();

signals:
    void saveSettingsRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString tr_(const char* english) const;
    void prepareDialog(const char* caption, bool translateCaption, const char* button);
    void setAllMarks(bool marked);

    FilterListKind m_kind;
    QListWidget* m_box;
    Actions m_actions;
    TfmValue* m_dialog;
    std::filesystem::path m_file;
    QWidget* m_dialogParent;
    std::string m_language = "EN";
};

} // namespace qm
