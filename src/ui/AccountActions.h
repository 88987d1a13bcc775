#pragma once

#include <QMenu>
#include <QObject>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QWidget;

namespace qm {

class ISecretStore;
class SecretCancel;
struct AccountRow;
struct SecretResult;
class AccountListView;
class Taccount_settings_fm;

// The account commands of the main window: add, edit, delete, disable or enable, copy, paste and
// select all, with the context menu SettPopup of the account list. The main window puts the
// actions on its buttons and menus, calls refreshEnabling from its refresh tick, and connects
// saveSettingsRequested to its SaveSettings.
class AccountActions : public QObject {
    Q_OBJECT
public:
    // list and dialog stay owned by the caller and must outlive this object; dialogParent is
    // the parent of the confirmation box.
    AccountActions(AccountListView* list, Taccount_settings_fm* dialog, QWidget* dialogParent,
                   QObject* parent = nullptr);
    ~AccountActions() override;

    QAction* aAddAccount() const { return m_add; }
    QAction* aEditAccount() const { return m_edit; }
    QAction* aDelAccount() const { return m_del; }
    QAction* aDisableAccount() const { return m_disable; }
    QAction* aCopyAccount() const { return m_copy; }
    QAction* aPasteAccount() const { return m_paste; }
    QAction* aSelectAllAccount() const { return m_selectAll; }
    // File menu: every password kept in the settings file goes to the desktop keyring.
    QAction* aMoveAllToKeyring() const { return m_moveAll; }

    // The keyring the commands keep passwords in; the desktop's unless replaced.
    void setSecretStore(std::shared_ptr<ISecretStore> store);
    // How long a command waits for each keyring call (kKeyringCommandTimeoutMs unless set); the
    // window stays responsive meanwhile.
    void setKeyringTimeout(int timeoutMs) { m_keyringTimeoutMs = timeoutMs; }
    // The context menu of the list: add, edit, delete, disable, copy, paste, select all.
    QMenu* SettPopup() const { return m_popup; }

    // Where the handlers learn whether checking is switched on (cbExec checked). Without a
    // source, the value last given to refreshEnabling counts.
    void setExecutingSource(std::function<bool()> source);
    // The enabling rules of the refresh tick.
    void refreshEnabling(bool executing);
    void refreshEnabling();

    // The interface language code texts are translated into; re-captions the actions and the
    // list's column headers at once.
    void setLanguage(const std::string& code);
    const std::string& language() const { return m_language; }

    // The row Copy account remembered, as a list index; -1 when none (never copied, or that row
    // was deleted or moved since).
    int copiedRow() const;

    // Handlers; each does nothing when its rule does not allow it at this moment.
    void aAddAccountExecute();
    void aEditAccountExecute();
    void aDelAccountExecute();
    void aDisableAccountExecute();
    void aCopyAccountExecute();
    void aPasteAccountExecute();
    void aSelectAllAccountExecute();
    void aMoveAllToKeyringExecute();
    // Captions aDisableAccount for the rows selected when the context menu opens.
    void SettPopupPopup();

signals:
    // Add, Edit and Delete ask for the settings to be written after their dialogs, whatever the
    // answer was.
    void saveSettingsRequested();

private:
    bool executing() const;
    bool hasCurrentRow() const;
    QString tr_(const char* english) const;
    void retranslate();
    // Shows the dialog until it is cancelled or accepted with a complete account; a token command
    // the settings file cannot hold whole is refused with the reason and the dialog shown again.
    bool dialogAccepted();
    // The keyring parts of the commands (AccountActionsKeyring.cpp), each call on a thread of its
    // own within boundMs: its answer, or TimedOut or Aborted when the wait ended first.
    SecretResult callKeyring(int boundMs, std::function<SecretResult(SecretCancel&)> call);
    // Whether a keyring answers, asked briefly.
    bool keyringAnswers();
    // The row's password as it is kept; empty when the keyring cannot give it.
    QString keptPassword(const AccountRow& row);
    // Keeps the dialog's password for `row` where the dialog says; says why when it could not.
    bool keepDialogPassword(AccountRow& row);
    // The IMAP folder names typed in the dialog, in the code page.
    void takeImapFolders(AccountRow& row) const;
    // Removes the keyring entries the rows `gone` used that no row of the list uses now; says which
    // stayed when some could not be removed.
    void forgetEntries(const std::vector<AccountRow>& gone);
    void warnKeyring(const QString& text);

    AccountListView* m_list;
    Taccount_settings_fm* m_dialog;
    QWidget* m_dialogParent;
    QAction* m_add = nullptr;
    QAction* m_edit = nullptr;
    QAction* m_del = nullptr;
    QAction* m_disable = nullptr;
    QAction* m_copy = nullptr;
    QAction* m_paste = nullptr;
    QAction* m_selectAll = nullptr;
    QAction* m_moveAll = nullptr;
    std::shared_ptr<ISecretStore> m_secrets;
    int m_keyringTimeoutMs;
    QPointer<QMenu> m_popup;
    std::function<bool()> m_executingSource;
    bool m_lastExecuting = false;
    std::uint64_t m_copiedRowId = 0;
    std::string m_language = "EN";
};

} // namespace qm
