#pragma once

#include <QDialog>

#include <string>
#include <vector>

class QAction;
class QListWidget;
class QMenu;
class QToolButton;

namespace qm {

class FilterListEditor;

// The window of the sender addresses read in the last check: one check box per address, and a
// command that moves the ticked ones into the sender anti-spam list. Kept for the whole run,
// hidden when closed and refilled on every opening; what it shows is a copy.
class Tmess_list_fm : public QDialog {
    Q_OBJECT
public:
    // runMailClient: the main window's command, offered in the context menu.
    explicit Tmess_list_fm(QAction* runMailClient, QWidget* parent = nullptr);

    // The sender anti-spam list the ticked addresses go to; must outlive the window.
    void setAntiSpamList(FilterListEditor* senders) { m_senders = senders; }
    // Also names the address list for screen readers in that language.
    void setLanguage(const std::string& code);

    // Fills the list with the addresses (code page bytes, in their order, all unticked),
    // captions the window and shows it without making it modal.
    void Open(const std::vector<std::string>& addresses);

    QListWidget* clbMessList() const { return m_clbMessList; }
    QAction* aAddToAntispam() const { return m_aAddToAntispam; }
    QAction* aClose() const { return m_aClose; }
    QMenu* PopupMenu1() const { return m_PopupMenu1; }

    void FormShow();
    void FormActivate();
    void aAddToAntispamExecute();
    void aCloseExecute();

protected:
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;

private:
    QString tr_(const char* english) const;

    QListWidget* m_clbMessList;
    QAction* m_aAddToAntispam;
    QAction* m_aClose;
    QMenu* m_PopupMenu1;
    FilterListEditor* m_senders = nullptr;
    std::string m_language = "EN";
};

} // namespace qm
