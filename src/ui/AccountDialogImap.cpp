// The account dialog's protocol choice and the fields only an IMAP account has.
#include "ui/AccountDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

#include "settings/AccountCells.h"
#include "ui/AccountDialogParts.h"
#include "ui/ProviderPresets.h"

namespace qm {

namespace {

QLineEdit* makeEdit(const char* name, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    return edit;
}

} // namespace

void Taccount_settings_fm::createImapFields() {
    m_cProtocol = new QComboBox(this);
    m_cProtocol->setObjectName(QStringLiteral("cProtocol"));
    // Protocol names, the same in every language.
    m_cProtocol->addItem(QStringLiteral("POP3"), static_cast<int>(AccountProtocol::Pop3));
    m_cProtocol->addItem(QStringLiteral("IMAP"), static_cast<int>(AccountProtocol::Imap));
    m_eFolders = makeEdit("eFolders", this);
    m_eFolders->setPlaceholderText(QStringLiteral("INBOX"));
    m_cSpamAction = new QComboBox(this);
    m_cSpamAction->setObjectName(QStringLiteral("cSpamAction"));
    for (const auto action : {ImapSpamAction::MoveToJunk, ImapSpamAction::MoveToTrash, ImapSpamAction::Delete})
        m_cSpamAction->addItem(QString(), static_cast<int>(action));
    m_eJunkFolder = makeEdit("eJunkFolder", this);
    m_eTrashFolder = makeEdit("eTrashFolder", this);
    m_cbIdle = new QCheckBox(this);
    m_cbIdle->setObjectName(QStringLiteral("cbIdle"));
    m_lbProtocol = makeLabel("lbProtocol", m_cProtocol, this);
    m_lbFolders = makeLabel("lbFolders", m_eFolders, this);
    m_lbSpamAction = makeLabel("lbSpamAction", m_cSpamAction, this);
    m_lbJunkFolder = makeLabel("lbJunkFolder", m_eJunkFolder, this);
    m_lbTrashFolder = makeLabel("lbTrashFolder", m_eTrashFolder, this);
    connect(m_cProtocol, &QComboBox::currentIndexChanged, this, &Taccount_settings_fm::onProtocolChosen);
    connect(m_cSpamAction, &QComboBox::currentIndexChanged, this, &Taccount_settings_fm::onSpamActionChosen);
}

void Taccount_settings_fm::layOutImapFields(QGridLayout* grid, int firstRow) {
    const std::pair<QLabel*, QWidget*> rows[] = {{m_lbFolders, m_eFolders},
                                                 {m_lbSpamAction, m_cSpamAction},
                                                 {m_lbJunkFolder, m_eJunkFolder},
                                                 {m_lbTrashFolder, m_eTrashFolder}};
    for (const auto& [label, field] : rows) {
        grid->addWidget(label, firstRow, 0);
        grid->addWidget(field, firstRow++, 1, 1, 2);
    }
    grid->addWidget(m_cbIdle, firstRow, 1, 1, 2);
}

void Taccount_settings_fm::retranslateImapFields() {
    const bool imap = protocol() == static_cast<int>(AccountProtocol::Imap);
    m_lbPop->setText(tr_(imap ? "Mail Server (IMAP)" : "Mail Server (POP3)"));
    m_lbProtocol->setText(tr_("Protocol"));
    m_lbFolders->setText(tr_("Folders"));
    m_lbSpamAction->setText(tr_("Spam"));
    m_lbJunkFolder->setText(tr_("Junk folder"));
    m_lbTrashFolder->setText(tr_("Trash folder"));
    m_cbIdle->setText(tr_("New mail at once (IDLE)"));
    m_cbIdle->setAccessibleName(tr_("New mail at once (IDLE)"));
    m_cSpamAction->setItemText(0, tr_("move to the junk folder"));
    m_cSpamAction->setItemText(1, tr_("move to the trash folder"));
    m_cSpamAction->setItemText(2, tr_("delete from the server"));
    // A combo box would otherwise be read by its current choice.
    m_cProtocol->setAccessibleName(tr_("Protocol"));
    m_cSpamAction->setAccessibleName(tr_("Spam"));
}

void Taccount_settings_fm::resetImapFields() {
    setProtocol(static_cast<int>(AccountProtocol::Pop3));
    m_eFolders->clear();
    m_eJunkFolder->clear();
    m_eTrashFolder->clear();
    m_cbIdle->setChecked(true);
    setSpamAction(static_cast<int>(ImapSpamAction::MoveToJunk));
}

int Taccount_settings_fm::protocol() const {
    return m_cProtocol->currentData().toInt();
}

void Taccount_settings_fm::setProtocol(int protocol) {
    const int index = m_cProtocol->findData(protocol);
    m_filling = true;
    m_cProtocol->setCurrentIndex(index < 0 ? 0 : index);
    m_filling = false;
    onProtocolChosen(m_cProtocol->currentIndex());
}

QString Taccount_settings_fm::folders() const {
    return m_eFolders->text();
}
void Taccount_settings_fm::setFolders(const QString& text) {
    m_eFolders->setText(text);
}
QString Taccount_settings_fm::junkFolder() const {
    return m_eJunkFolder->text();
}
void Taccount_settings_fm::setJunkFolder(const QString& text) {
    m_eJunkFolder->setText(text);
}
QString Taccount_settings_fm::trashFolder() const {
    return m_eTrashFolder->text();
}
void Taccount_settings_fm::setTrashFolder(const QString& text) {
    m_eTrashFolder->setText(text);
}

bool Taccount_settings_fm::idle() const {
    return m_cbIdle->isChecked();
}
void Taccount_settings_fm::setIdle(bool on) {
    m_cbIdle->setChecked(on);
}

int Taccount_settings_fm::spamAction() const {
    return m_cSpamAction->currentData().toInt();
}

void Taccount_settings_fm::setSpamAction(int action) {
    const int index = m_cSpamAction->findData(action);
    m_cSpamAction->setCurrentIndex(index < 0 ? 0 : index);
    onSpamActionChosen(m_cSpamAction->currentIndex());
}

void Taccount_settings_fm::onProtocolChosen(int index) {
    const auto chosen = static_cast<AccountProtocol>(m_cProtocol->itemData(index).toInt());
    const auto before = static_cast<AccountProtocol>(m_shownProtocol);
    m_shownProtocol = static_cast<int>(chosen);
    const bool imap = chosen == AccountProtocol::Imap;
    for (QWidget* field :
         {static_cast<QWidget*>(m_eFolders), static_cast<QWidget*>(m_cSpamAction), static_cast<QWidget*>(m_cbIdle)})
        field->setEnabled(imap);
    onSpamActionChosen(m_cSpamAction->currentIndex());
    retranslateImapFields();
    if (m_filling || chosen == before)
        return;
    // A provider's server for the other protocol, and the standard port that goes with it.
    const int preset = m_cProvider->currentData().toInt();
    if (preset >= 0)
        m_ePop->setText(QString::fromUtf8(ProviderPresets()[static_cast<std::size_t>(preset)].server(chosen)));
    m_sePort->setValue(PortForProtocol(m_sePort->value(), before, chosen));
}

void Taccount_settings_fm::onSpamActionChosen(int index) {
    const bool imap = protocol() == static_cast<int>(AccountProtocol::Imap);
    const int action = m_cSpamAction->itemData(index).toInt();
    // Only the folder the spam goes to is asked for.
    m_eJunkFolder->setEnabled(imap && action == static_cast<int>(ImapSpamAction::MoveToJunk));
    m_eTrashFolder->setEnabled(imap && action == static_cast<int>(ImapSpamAction::MoveToTrash));
}

} // namespace qm
