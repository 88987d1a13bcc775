#include "ui/AccountDialog.h"

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
#include "settings/SettingsFile.h"
#include "ui/CodePageText.h"

namespace qm {

namespace {

constexpr int kPlainPort = 110;
constexpr int kTlsPort = 995;
constexpr int kDefaultTimeOut = 60;

QLabel* makeLabel(const char* name, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setBuddy(buddy);
    return label;
}

QSpinBox* makeUnboundedSpin(const char* name, QWidget* parent) {
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(QLatin1String(name));
    spin->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    return spin;
}

} // namespace

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

    auto* grid = new QGridLayout;
    grid->addWidget(m_lbPop, 0, 0);
    grid->addWidget(m_ePop, 0, 1, 1, 2);
    grid->addWidget(m_lbAcc, 1, 0);
    grid->addWidget(m_eAcc, 1, 1, 1, 2);
    grid->addWidget(m_lbPass, 2, 0);
    grid->addWidget(m_ePass, 2, 1, 1, 2);
    grid->addWidget(m_lbPort, 3, 0);
    grid->addWidget(m_sePort, 3, 1);
    grid->addWidget(m_lbTimeOut, 4, 0);
    grid->addWidget(m_seTimeOut, 4, 1);
    grid->addWidget(m_lbSec, 4, 2);
    grid->addWidget(m_lbSecurity, 5, 0);
    grid->addWidget(m_cSecurity, 5, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_bbAddEdit);
    buttons->addWidget(m_bbCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(m_ePop, m_eAcc);
    setTabOrder(m_eAcc, m_ePass);
    setTabOrder(m_ePass, m_sePort);
    setTabOrder(m_sePort, m_seTimeOut);
    setTabOrder(m_seTimeOut, m_cSecurity);
    setTabOrder(m_cSecurity, m_bbAddEdit);
    setTabOrder(m_bbAddEdit, m_bbCancel);

    connect(m_bbAddEdit, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_bbCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_cSecurity, &QComboBox::currentIndexChanged, this, &Taccount_settings_fm::onSecurityChosen);
    connect(m_seTimeOut, &QSpinBox::valueChanged, this, &Taccount_settings_fm::onTimeOutChanged);

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
    m_lbPop->setText(tr_("Mail Server (POP3)"));
    m_lbAcc->setText(tr_("Account Name"));
    m_lbPass->setText(tr_("Password"));
    m_lbPort->setText(tr_("Port"));
    m_lbTimeOut->setText(tr_("Timeout"));
    m_lbSec->setText(tr_("sec."));
    m_lbSecurity->setText(tr_("Security"));
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

void Taccount_settings_fm::reset() {
    m_ePop->clear();
    m_eAcc->clear();
    m_ePass->clear();
    m_sePort->setValue(kPlainPort);
    m_seTimeOut->setValue(kDefaultTimeOut);
    setSecurity(static_cast<int>(AccountSecurity::None));
}

void Taccount_settings_fm::onSecurityChosen(int index) {
    if (m_filling)
        return;
    const int chosen = m_cSecurity->itemData(index).toInt();
    // Moving between the two standard ports only; a port the user picked on purpose stays.
    if (chosen == static_cast<int>(AccountSecurity::TlsOnConnect) && m_sePort->value() == kPlainPort)
        m_sePort->setValue(kTlsPort);
    else if (chosen == static_cast<int>(AccountSecurity::None) && m_sePort->value() == kTlsPort)
        m_sePort->setValue(kPlainPort);
}

void Taccount_settings_fm::onTimeOutChanged(int value) {
    if (value < 0)
        m_seTimeOut->setValue(kDefaultTimeOut);
}

} // namespace qm
