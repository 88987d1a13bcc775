#include "ui/AccountActions.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMessageBox>

#include "engine/PasswordKeeping.h"
#include "lang/LangRes.h"
#include "settings/SettingsFile.h"
#include "ui/AccountDialog.h"
#include "ui/AccountListView.h"
#include "ui/CodePageText.h"
#include "ui/ProviderPresets.h"

namespace qm {

namespace {

constexpr int kDefaultTimeOut = 60;

// Captioned by retranslate, so the texts have one place.
QAction* makeAction(const char* name, QObject* parent) {
    auto* action = new QAction(parent);
    action->setObjectName(QLatin1String(name));
    return action;
}

std::string decimal(int value) {
    return std::to_string(value);
}

} // namespace

AccountActions::AccountActions(AccountListView* list, Taccount_settings_fm* dialog, QWidget* dialogParent,
                               QObject* parent)
    : QObject(parent), m_list(list), m_dialog(dialog), m_dialogParent(dialogParent) {
    m_add = makeAction("aAddAccount", this);
    m_edit = makeAction("aEditAccount", this);
    m_del = makeAction("aDelAccount", this);
    m_disable = makeAction("aDisableAccount", this);
    m_disable->setText(QStringLiteral("Disable account"));
    m_copy = makeAction("aCopyAccount", this);
    m_copy->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    m_paste = makeAction("aPasteAccount", this);
    m_paste->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
    m_selectAll = makeAction("aSelectAllAccount", this);
    m_moveAll = makeAction("aMoveAllToKeyring", this);
    retranslate();
    m_secrets = DesktopSecretStore();
    m_keyringTimeoutMs = kKeyringCommandTimeoutMs;

    m_popup = new QMenu(m_list);
    m_popup->setObjectName(QStringLiteral("SettPopup"));
    m_popup->addAction(m_add);
    m_popup->addAction(m_edit);
    m_popup->addAction(m_del);
    m_popup->addAction(m_disable);
    m_popup->addSeparator();
    m_popup->addAction(m_copy);
    m_popup->addAction(m_paste);
    m_popup->addSeparator();
    m_popup->addAction(m_selectAll);

    // The shortcuts act wherever the list's window has the focus.
    m_list->addActions({m_add, m_edit, m_del, m_disable, m_copy, m_paste, m_selectAll});

    connect(m_add, &QAction::triggered, this, &AccountActions::aAddAccountExecute);
    connect(m_edit, &QAction::triggered, this, &AccountActions::aEditAccountExecute);
    connect(m_del, &QAction::triggered, this, &AccountActions::aDelAccountExecute);
    connect(m_disable, &QAction::triggered, this, &AccountActions::aDisableAccountExecute);
    connect(m_copy, &QAction::triggered, this, &AccountActions::aCopyAccountExecute);
    connect(m_paste, &QAction::triggered, this, &AccountActions::aPasteAccountExecute);
    connect(m_selectAll, &QAction::triggered, this, &AccountActions::aSelectAllAccountExecute);
    connect(m_moveAll, &QAction::triggered, this, &AccountActions::aMoveAllToKeyringExecute);
    connect(m_popup, &QMenu::aboutToShow, this, &AccountActions::SettPopupPopup);

    // A disabled action ignores trigger(), so the Delete key and a double click obey the
    // same enabling as the buttons.
    connect(m_list, &AccountListView::deleteKeyPressed, m_del, &QAction::trigger);
    connect(m_list, &AccountListView::rowDoubleClicked, m_edit, &QAction::trigger);
    // A row moved by dragging is no longer the one Copy account remembered.
    connect(m_list, &AccountListView::rowMoved, this, [this](std::uint64_t id) {
        if (id == m_copiedRowId)
            m_copiedRowId = 0;
    });
    connect(m_list, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { m_popup->popup(m_list->viewport()->mapToGlobal(pos)); });
}

AccountActions::~AccountActions() {
    // The menu belongs to the list; it goes with these actions unless the list took it first.
    delete m_popup.data();
}

void AccountActions::setSecretStore(std::shared_ptr<ISecretStore> store) {
    m_secrets = std::move(store);
}

void AccountActions::setExecutingSource(std::function<bool()> source) {
    m_executingSource = std::move(source);
}

bool AccountActions::executing() const {
    return m_executingSource ? m_executingSource() : m_lastExecuting;
}

bool AccountActions::hasCurrentRow() const {
    return m_list->rowCount() > 0 && m_list->currentRow() >= 0;
}

int AccountActions::copiedRow() const {
    return m_list->indexOfRowId(m_copiedRowId);
}

void AccountActions::refreshEnabling() {
    refreshEnabling(executing());
}

void AccountActions::refreshEnabling(bool executing) {
    m_lastExecuting = executing;
    const bool rows = m_list->rowCount() > 0;
    const bool current = hasCurrentRow();
    m_add->setEnabled(!executing);
    m_edit->setEnabled(!executing && current);
    m_del->setEnabled(!executing && current);
    m_copy->setEnabled(!executing && current);
    m_disable->setEnabled(current);
    m_paste->setEnabled(!executing && copiedRow() >= 0);
    m_selectAll->setEnabled(!executing && rows);
    m_moveAll->setEnabled(!executing && rows);
}

QString AccountActions::tr_(const char* english) const {
    return fromUtf8(Translate(english, "EN", m_language));
}

void AccountActions::setLanguage(const std::string& code) {
    m_language = code;
    retranslate();
    m_list->setLanguage(code);
    m_dialog->setLanguage(code);
}

void AccountActions::retranslate() {
    // aDisableAccount is captioned when the context menu opens.
    m_add->setText(tr_("Add new account"));
    m_edit->setText(tr_("Edit account"));
    m_del->setText(tr_("Delete account"));
    m_copy->setText(tr_("Copy account"));
    m_paste->setText(tr_("Paste account"));
    m_selectAll->setText(tr_("Select all"));
    m_moveAll->setText(tr_("Move all passwords to the keyring"));
}

void AccountActions::takeImapFolders(AccountRow& row) const {
    row.Folders = toCodePage(m_dialog->folders());
    row.JunkFolder = toCodePage(m_dialog->junkFolder());
    row.TrashFolder = toCodePage(m_dialog->trashFolder());
    // Written only when the user changed what the dialog showed: an absent key stays the default.
    if (m_dialog->idle() != IsPushCell(row.Idle, "1"))
        row.Idle = decimal(m_dialog->idle() ? 1 : 0);
}

bool AccountActions::dialogAccepted() {
    while (m_dialog->exec() == QDialog::Accepted && m_dialog->isComplete()) {
        const std::string refusal = TokenCommandLengthError(toCodePage(m_dialog->tokenCommand()));
        if (refusal.empty())
            return true;
        QMessageBox box(QMessageBox::Warning, tr_("Token command"), fromUtf8(refusal), QMessageBox::Ok, m_dialogParent);
        box.setObjectName(QStringLiteral("tokenCommandBox"));
        box.exec();
    }
    return false;
}

void AccountActions::aAddAccountExecute() {
    if (executing())
        return;
    m_dialog->reset();
    m_dialog->setCaptions("Add new account", "Apply");
    // A new account keeps its password in the keyring whenever there is one to keep it.
    m_dialog->setPasswordStore(static_cast<int>(keyringAnswers() ? PasswordStore::Keyring : PasswordStore::File));
    if (dialogAccepted()) {
        AccountRow row;
        row.Caption = toCodePage(m_dialog->server());
        row.AccountName = toCodePage(m_dialog->accountName());
        row.Port = decimal(m_dialog->port());
        row.TimeOut = decimal(m_dialog->timeOut());
        row.Disabled = BoolCellText(false);
        row.Security = decimal(m_dialog->security());
        row.Auth = decimal(m_dialog->auth());
        row.TokenCommand = toCodePage(m_dialog->tokenCommand());
        // A POP3 account's section keeps the keys it always had.
        if (m_dialog->protocol() != static_cast<int>(AccountProtocol::Pop3)) {
            row.Protocol = decimal(m_dialog->protocol());
            row.SpamAction = decimal(m_dialog->spamAction());
        }
        takeImapFolders(row);
        if (keepDialogPassword(row))
            m_list->appendRow(row);
    }
    emit saveSettingsRequested();
}

void AccountActions::aEditAccountExecute() {
    if (executing() || !hasCurrentRow())
        return;
    const int index = m_list->currentRow();
    // The row is found again by its identity after the dialog, in case the list changed meanwhile.
    const std::uint64_t id = m_list->rowId(index);
    const AccountRow current = m_list->row(index);
    m_dialog->reset();
    m_dialog->setServer(fromCodePage(current.Caption));
    m_dialog->setAccountName(fromCodePage(current.AccountName));
    // A keyring that cannot give the password leaves the field empty, to be typed again.
    m_dialog->setPassword(keptPassword(current));
    m_dialog->setPasswordStore(
        static_cast<int>(PasswordStoreOfCell(current.PasswordStore).value_or(PasswordStore::File)));
    const bool tls = SecurityOfCell(current.Security) == AccountSecurity::TlsOnConnect;
    m_dialog->setPort(
        CellInteger(current.Port)
            .value_or(StandardPort(ProtocolOfCell(current.Protocol).value_or(AccountProtocol::Pop3), tls)));
    m_dialog->setTimeOut(CellInteger(current.TimeOut).value_or(kDefaultTimeOut));
    m_dialog->setSecurity(CellInteger(current.Security).value_or(0));
    const int shownSecurity = m_dialog->security();
    m_dialog->setAuth(CellInteger(current.Auth).value_or(0));
    const int shownAuth = m_dialog->auth();
    m_dialog->setTokenCommand(fromCodePage(current.TokenCommand));
    m_dialog->setProtocol(CellInteger(current.Protocol).value_or(0));
    const int shownProtocol = m_dialog->protocol();
    m_dialog->setSpamAction(CellInteger(current.SpamAction).value_or(0));
    const int shownSpamAction = m_dialog->spamAction();
    m_dialog->setFolders(fromCodePage(current.Folders));
    m_dialog->setJunkFolder(fromCodePage(current.JunkFolder));
    m_dialog->setTrashFolder(fromCodePage(current.TrashFolder));
    m_dialog->setIdle(IsPushCell(current.Idle, "1"));
    m_dialog->setCaptions("Edit account", "Save");
    if (dialogAccepted()) {
        const int now = m_list->indexOfRowId(id);
        if (now >= 0) {
            const AccountRow before = m_list->row(now);
            AccountRow row = before;
            row.Caption = toCodePage(m_dialog->server());
            row.AccountName = toCodePage(m_dialog->accountName());
            row.Port = decimal(m_dialog->port());
            row.TimeOut = decimal(m_dialog->timeOut());
            // A damaged Security value stays until the user picks another choice: the dialog shows
            // it as None, and saving that unchanged must not turn the account into plain text.
            if (SecurityOfCell(row.Security) || m_dialog->security() != shownSecurity)
                row.Security = decimal(m_dialog->security());
            // Likewise a damaged sign-in method, which the dialog shows as the password.
            if (AuthOfCell(row.Auth) || m_dialog->auth() != shownAuth)
                row.Auth = decimal(m_dialog->auth());
            row.TokenCommand = toCodePage(m_dialog->tokenCommand());
            // The protocol and spam action change only when the user picks another: a damaged
            // cell must never speak another protocol or act otherwise, and an empty one stays.
            if (m_dialog->protocol() != shownProtocol)
                row.Protocol = decimal(m_dialog->protocol());
            if (m_dialog->spamAction() != shownSpamAction)
                row.SpamAction = decimal(m_dialog->spamAction());
            takeImapFolders(row);
            // The entry follows a changed server, port or name; the old one goes once the new holds.
            if (keepDialogPassword(row)) {
                m_list->setRow(now, row);
                forgetEntries({before});
            }
        }
    }
    emit saveSettingsRequested();
}

void AccountActions::aDelAccountExecute() {
    if (executing() || !hasCurrentRow())
        return;
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), tr_("Are you sure?"),
                    QMessageBox::Yes | QMessageBox::No, m_dialogParent);
    box.setObjectName(QStringLiteral("confirmBox"));
    box.setDefaultButton(QMessageBox::Yes);
    if (box.exec() == QMessageBox::Yes) {
        const std::vector<int> selected = m_list->selectedRows();
        std::vector<AccountRow> gone;
        for (auto it = selected.rbegin(); it != selected.rend(); ++it) {
            gone.push_back(m_list->row(*it));
            m_list->removeRowAt(*it);
        }
        forgetEntries(gone);
    }
    emit saveSettingsRequested();
}

void AccountActions::aDisableAccountExecute() {
    if (!hasCurrentRow())
        return;
    const std::vector<int> selected = m_list->selectedRows();
    for (auto it = selected.rbegin(); it != selected.rend(); ++it) {
        const int index = *it;
        const bool enabling = IsDisabledCell(m_list->cell(index, kColDisabled));
        m_list->setCell(index, kColDisabled, BoolCellText(!enabling));
        if (enabling)
            m_list->setRowImage(index, 0);
    }
    m_list->viewport()->update();
}

void AccountActions::aCopyAccountExecute() {
    if (executing() || !hasCurrentRow())
        return;
    // Kept inside the program: the system clipboard is left alone.
    m_copiedRowId = m_list->rowId(m_list->currentRow());
}

void AccountActions::aPasteAccountExecute() {
    if (executing())
        return;
    const int source = copiedRow();
    if (source < 0)
        return;
    m_list->appendRow(m_list->row(source));
}

void AccountActions::aSelectAllAccountExecute() {
    if (executing())
        return;
    m_list->selectAllRows();
}

void AccountActions::SettPopupPopup() {
    if (!hasCurrentRow())
        return;
    const std::size_t selected = m_list->selectedRows().size();
    if (selected >= 2) {
        m_disable->setText(tr_("Enable/disable account"));
        return;
    }
    const std::string disabled = m_list->cell(m_list->currentRow(), kColDisabled);
    const std::optional<bool> state = CellBool(disabled);
    if (state == true)
        m_disable->setText(tr_("Enable account"));
    else if (state == false)
        m_disable->setText(tr_("Disable account"));
}

} // namespace qm
