#include "ui/AccountDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include <limits>

#include "lang/LangRes.h"
#include "pop3/IdPOP3.h"
#include "settings/SettingsFile.h"
#include "ui/AccountDialogParts.h"
#include "ui/CodePageText.h"
#include "ui/ProviderPresets.h"

namespace qm {

namespace {

constexpr int kDefaultTimeOut = 60;

QSpinBox* makeUnboundedSpin(const char* name, QWidget* parent) {
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(QLatin1String(name));
    spin->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    return spin;
}

} // namespace

QLabel* makeLabel(const char* name, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setBuddy(buddy);
    return label;
}

Taccount_settings_fm::Taccount_settings_fm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("account_settings_fm"));
    setWindowTitle(QStringLiteral("account settings"));
    setModal(true);

    m_ePop = new QLineEdit(this);
    m_ePop->setObjectName(QStringLiteral("ePop"));
    m_eAcc = new QLineEdit(this);
    m_eAcc->setObjectName(QStringLiteral("eAcc"));
    m_ePass = new QLineEdit(this);
    m_ePass->setObjectName(QStringLiteral("ePass"));
    m_ePass->setEchoMode(QLineEdit::Password);
    // Every typed character shows as '*'.
    m_ePass->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    m_sePort = makeUnboundedSpin("sePort", this);
    m_seTimeOut = makeUnboundedSpin("seTimeOut", this);
    m_cSecurity = new QComboBox(this);
    m_cSecurity->setObjectName(QStringLiteral("cSecurity"));
    // Protocol names, the same in every language.
    m_cSecurity->addItem(QStringLiteral("None"), static_cast<int>(AccountSecurity::None));
    m_cSecurity->addItem(QStringLiteral("SSL/TLS"), static_cast<int>(AccountSecurity::TlsOnConnect));
    m_cSecurity->addItem(QStringLiteral("STARTTLS"), static_cast<int>(AccountSecurity::Stls));
    m_cProvider = new QComboBox(this);
    m_cProvider->setObjectName(QStringLiteral("cProvider"));
    // Service names, the same in every language; item data is the index in ProviderPresets().
    m_cProvider->addItem(QStringLiteral("Other"), -1);
    for (std::size_t i = 0; i < ProviderPresets().size(); ++i)
        m_cProvider->addItem(QString::fromUtf8(ProviderPresets()[i].name), static_cast<int>(i));
    m_cAuth = new QComboBox(this);
    m_cAuth->setObjectName(QStringLiteral("cAuth"));
    m_cAuth->addItem(QStringLiteral("Password"), TIdPOP3::kAuthUserPass);
    m_cAuth->addItem(QStringLiteral("SASL PLAIN"), TIdPOP3::kAuthPlain);
    m_cAuth->addItem(QStringLiteral("OAuth2 (XOAUTH2)"), TIdPOP3::kAuthXOAuth2);
    m_cAuth->addItem(QStringLiteral("OAuth2 (OAUTHBEARER)"), TIdPOP3::kAuthOAuthBearer);
    m_eTokenCommand = new QLineEdit(this);
    m_eTokenCommand->setObjectName(QStringLiteral("eTokenCommand"));
    m_cPasswordStore = new QComboBox(this);
    m_cPasswordStore->setObjectName(QStringLiteral("cPasswordStore"));
    m_cPasswordStore->addItem(QStringLiteral("the desktop keyring"), static_cast<int>(PasswordStore::Keyring));
    m_cPasswordStore->addItem(QStringLiteral("the settings file"), static_cast<int>(PasswordStore::File));
    createImapFields();
    m_bbAddEdit = new QPushButton(this);
    m_bbAddEdit->setObjectName(QStringLiteral("bbAddEdit"));
    m_bbAddEdit->setDefault(true);
    m_bbAddEdit->setAutoDefault(true);
    m_bbCancel = new QPushButton(this);
    m_bbCancel->setObjectName(QStringLiteral("bbCancel"));
    m_bbCancel->setAutoDefault(false);

    m_lbPop = makeLabel("lbPop", m_ePop, this);
    m_lbAcc = makeLabel("lbAcc", m_eAcc, this);
    m_lbPass = makeLabel("lbPass", m_ePass, this);
    m_lbPort = makeLabel("lbPort", m_sePort, this);
    m_lbTimeOut = makeLabel("lbTimeOut", m_seTimeOut, this);
    m_lbSec = makeLabel("lbSec", nullptr, this);
    m_lbSecurity = makeLabel("lbSecurity", m_cSecurity, this);
    m_lbProvider = makeLabel("lbProvider", m_cProvider, this);
    m_lbAuth = makeLabel("lbAuth", m_cAuth, this);
    m_lbTokenCommand = makeLabel("lbTokenCommand", m_eTokenCommand, this);
    m_lbPasswordStore = makeLabel("lbPasswordStore", m_cPasswordStore, this);
    m_lbProvider->setText(QStringLiteral("Provider"));
    m_lbAuth->setText(QStringLiteral("Authentication"));
    m_lbTokenCommand->setText(QStringLiteral("Token command"));

    auto* grid = new QGridLayout;
    grid->addWidget(m_lbProtocol, 0, 0);
    grid->addWidget(m_cProtocol, 0, 1);
    grid->addWidget(m_lbProvider, 1, 0);
    grid->addWidget(m_cProvider, 1, 1, 1, 2);
    grid->addWidget(m_lbPop, 2, 0);
    grid->addWidget(m_ePop, 2, 1, 1, 2);
    grid->addWidget(m_lbAcc, 3, 0);
    grid->addWidget(m_eAcc, 3, 1, 1, 2);
    grid->addWidget(m_lbPass, 4, 0);
    grid->addWidget(m_ePass, 4, 1, 1, 2);
    grid->addWidget(m_lbPort, 5, 0);
    grid->addWidget(m_sePort, 5, 1);
    grid->addWidget(m_lbTimeOut, 6, 0);
    grid->addWidget(m_seTimeOut, 6, 1);
    grid->addWidget(m_lbSec, 6, 2);
    grid->addWidget(m_lbSecurity, 7, 0);
    grid->addWidget(m_cSecurity, 7, 1);
    grid->addWidget(m_lbAuth, 8, 0);
    grid->addWidget(m_cAuth, 8, 1, 1, 2);
    grid->addWidget(m_lbTokenCommand, 9, 0);
    grid->addWidget(m_eTokenCommand, 9, 1, 1, 2);
    grid->addWidget(m_lbPasswordStore, 10, 0);
    grid->addWidget(m_cPasswordStore, 10, 1, 1, 2);
    layOutImapFields(grid, 11);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_bbAddEdit);
    buttons->addWidget(m_bbCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(m_cProtocol, m_cProvider);
    setTabOrder(m_cProvider, m_ePop);
    setTabOrder(m_ePop, m_eAcc);
    setTabOrder(m_eAcc, m_ePass);
    setTabOrder(m_ePass, m_cPasswordStore);
    setTabOrder(m_cPasswordStore, m_sePort);
    setTabOrder(m_sePort, m_seTimeOut);
    setTabOrder(m_seTimeOut, m_cSecurity);
    setTabOrder(m_cSecurity, m_cAuth);
    setTabOrder(m_cAuth, m_eTokenCommand);
    setTabOrder(m_eTokenCommand, m_eFolders);
    setTabOrder(m_eFolders, m_cSpamAction);
    setTabOrder(m_cSpamAction, m_eJunkFolder);
    setTabOrder(m_eJunkFolder, m_eTrashFolder);
    setTabOrder(m_eTrashFolder, m_cbIdle);
    setTabOrder(m_cbIdle, m_bbAddEdit);
    setTabOrder(m_bbAddEdit, m_bbCancel);

    connect(m_bbAddEdit, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_bbCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_cSecurity, &QComboBox::currentIndexChanged, this, &Taccount_settings_fm::onSecurityChosen);
    connect(m_seTimeOut, &QSpinBox::valueChanged, this, &Taccount_settings_fm::onTimeOutChanged);
    connect(m_cAuth, &QComboBox::currentIndexChanged, this, &Taccount_settings_fm::onAuthChosen);
    connect(m_cProvider, &QComboBox::activated, this, &Taccount_settings_fm::onProviderChosen);
    connect(m_ePop, &QLineEdit::textChanged, this, &Taccount_settings_fm::showProviderOfServer);

    reset();
    retranslate();
}

Taccount_settings_fm::~Taccount_settings_fm() = default;

void Taccount_settings_fm::setLanguage(const std::string& code) {
    m_language = code;
    retranslate();
}

QString Taccount_settings_fm::tr_(const char* english) const {
    return fromUtf8(Translate(english, "EN", m_language));
}

void Taccount_settings_fm::retranslate() {
    setWindowTitle(tr_(m_windowCaption));
    m_bbAddEdit->setText(tr_(m_okCaption));
    m_bbCancel->setText(tr_("Cancel"));
    m_lbAcc->setText(tr_("Account Name"));
    m_lbPass->setText(tr_("Password"));
    m_lbPort->setText(tr_("Port"));
    m_lbTimeOut->setText(tr_("Timeout"));
    m_lbSec->setText(tr_("sec."));
    m_lbSecurity->setText(tr_("Security"));
    m_lbPasswordStore->setText(tr_("Keep the password in"));
    m_cPasswordStore->setItemText(0, tr_("the desktop keyring"));
    m_cPasswordStore->setItemText(1, tr_("the settings file"));
    m_cPasswordStore->setAccessibleName(tr_("Keep the password in"));
    retranslateImapFields();
}

void Taccount_settings_fm::setCaptions(const char* windowCaption, const char* okCaption) {
    m_windowCaption = windowCaption;
    m_okCaption = okCaption;
    retranslate();
}

void Taccount_settings_fm::showEvent(QShowEvent* event) {
    retranslate();
    QDialog::showEvent(event);
    m_ePop->setFocus(Qt::OtherFocusReason);
}

void Taccount_settings_fm::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        retranslate();
    QDialog::changeEvent(event);
}

QString Taccount_settings_fm::server() const {
    return m_ePop->text();
}
QString Taccount_settings_fm::accountName() const {
    return m_eAcc->text();
}
QString Taccount_settings_fm::password() const {
    return m_ePass->text();
}
int Taccount_settings_fm::port() const {
    return m_sePort->value();
}
int Taccount_settings_fm::timeOut() const {
    return m_seTimeOut->value();
}
int Taccount_settings_fm::security() const {
    return m_cSecurity->currentData().toInt();
}

void Taccount_settings_fm::setServer(const QString& text) {
    m_ePop->setText(text);
}
void Taccount_settings_fm::setAccountName(const QString& text) {
    m_eAcc->setText(text);
}
void Taccount_settings_fm::setPassword(const QString& text) {
    m_ePass->setText(text);
}
void Taccount_settings_fm::setPort(int port) {
    m_sePort->setValue(port);
}
void Taccount_settings_fm::setTimeOut(int seconds) {
    m_seTimeOut->setValue(seconds);
}

void Taccount_settings_fm::setSecurity(int security) {
    int index = m_cSecurity->findData(security);
    if (index < 0)
        index = 0;
    // Filling the dialog shows the account as it is: the port follows only the user's choice.
    m_filling = true;
    m_cSecurity->setCurrentIndex(index);
    m_filling = false;
}

int Taccount_settings_fm::auth() const {
    return m_cAuth->currentData().toInt();
}

void Taccount_settings_fm::setAuth(int auth) {
    const int index = m_cAuth->findData(auth);
    m_cAuth->setCurrentIndex(index < 0 ? 0 : index);
    onAuthChosen(m_cAuth->currentIndex());
}

QString Taccount_settings_fm::tokenCommand() const {
    return m_eTokenCommand->text();
}

void Taccount_settings_fm::setTokenCommand(const QString& text) {
    m_eTokenCommand->setText(text);
}

int Taccount_settings_fm::passwordStore() const {
    return m_cPasswordStore->currentData().toInt();
}

void Taccount_settings_fm::setPasswordStore(int store) {
    const int index = m_cPasswordStore->findData(store);
    m_cPasswordStore->setCurrentIndex(index < 0 ? m_cPasswordStore->findData(0) : index);
}

bool Taccount_settings_fm::isComplete() const {
    const bool oauth = TIdPOP3::IsOAuth(auth());
    return !server().isEmpty() && !accountName().isEmpty() &&
           (oauth ? !tokenCommand().trimmed().isEmpty() : !password().isEmpty());
}

void Taccount_settings_fm::reset() {
    m_ePop->clear();
    m_eAcc->clear();
    m_ePass->clear();
    m_eTokenCommand->clear();
    resetImapFields();
    m_sePort->setValue(StandardPort(AccountProtocol::Pop3, false));
    m_seTimeOut->setValue(kDefaultTimeOut);
    setSecurity(static_cast<int>(AccountSecurity::None));
    setAuth(TIdPOP3::kAuthUserPass);
    setPasswordStore(static_cast<int>(PasswordStore::File));
    m_cProvider->setCurrentIndex(0);
}

void Taccount_settings_fm::onAuthChosen(int index) {
    const int chosen = m_cAuth->itemData(index).toInt();
    const bool oauth = TIdPOP3::IsOAuth(chosen);
    // An OAuth2 account signs in with the token its command prints, never with the password.
    m_eTokenCommand->setEnabled(oauth);
    m_ePass->setEnabled(!oauth);
}

void Taccount_settings_fm::onProviderChosen(int index) {
    const int preset = m_cProvider->itemData(index).toInt();
    if (preset < 0)
        return; // Other: the fields stay as the user has them
    const ProviderPreset& p = ProviderPresets()[static_cast<std::size_t>(preset)];
    m_filling = true;
    m_ePop->setText(QString::fromUtf8(p.server(static_cast<AccountProtocol>(protocol()))));
    m_cSecurity->setCurrentIndex(m_cSecurity->findData(static_cast<int>(AccountSecurity::TlsOnConnect)));
    m_sePort->setValue(StandardPort(static_cast<AccountProtocol>(protocol()), true));
    m_filling = false;
    setAuth(p.auth);
}

void Taccount_settings_fm::showProviderOfServer() {
    const QString server = m_ePop->text().trimmed();
    int index = 0;
    for (int i = 1; i < m_cProvider->count(); ++i) {
        const auto& p = ProviderPresets()[static_cast<std::size_t>(m_cProvider->itemData(i).toInt())];
        if (server.compare(QString::fromUtf8(p.popServer), Qt::CaseInsensitive) == 0 ||
            server.compare(QString::fromUtf8(p.imapServer), Qt::CaseInsensitive) == 0)
            index = i;
    }
    m_cProvider->setCurrentIndex(index);
}

void Taccount_settings_fm::onSecurityChosen(int index) {
    if (m_filling)
        return;
    const auto chosen = static_cast<AccountSecurity>(m_cSecurity->itemData(index).toInt());
    m_sePort->setValue(PortForSecurity(m_sePort->value(), static_cast<AccountProtocol>(protocol()), chosen));
}

void Taccount_settings_fm::onTimeOutChanged(int value) {
    if (value < 0)
        m_seTimeOut->setValue(kDefaultTimeOut);
}

} // namespace qm
