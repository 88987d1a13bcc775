#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QTest>

#include "UiTestSupport.h"
#include "ui/AccountDialog.h"

namespace qm {
namespace {

class AccountDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ensureApp();
        dialog = std::make_unique<Taccount_settings_fm>();
    }
    template <typename T> T* child(const char* name) {
        T* found = dialog->findChild<T*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    // Chooses a provider as the user does: the combo box focused, arrow keys from "Other".
    void chooseProvider(int index) {
        auto* combo = child<QComboBox>("cProvider");
        combo->setCurrentIndex(0);
        for (int i = 0; i < index; ++i)
            QTest::keyClick(combo, Qt::Key_Down);
    }
    std::unique_ptr<Taccount_settings_fm> dialog;
};

TEST_F(AccountDialogTest, ResetGivesTheDefaults) {
    dialog->setServer(QStringLiteral("x"));
    dialog->setPort(7);
    dialog->setSecurity(2);
    dialog->reset();
    EXPECT_TRUE(child<QLineEdit>("ePop")->text().isEmpty());
    EXPECT_EQ(child<QSpinBox>("sePort")->value(), 110);
    EXPECT_EQ(child<QSpinBox>("seTimeOut")->value(), 60);
    EXPECT_EQ(dialog->security(), 0);
    auto* password = child<QLineEdit>("ePass");
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);
    EXPECT_EQ(password->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, password), int('*'));
}

TEST_F(AccountDialogTest, ChoosingSecurityMovesOnlyTheStandardPorts) {
    struct Case {
        int port;
        int choice;
        int expectedPort;
        int protocol = 0;
    };
    const Case cases[] = {
        {110, 1, 995},    {995, 0, 110},    {2110, 1, 2110},  {110, 2, 110},    {995, 2, 995},    {8995, 0, 8995},
        {143, 1, 993, 1}, {993, 0, 143, 1}, {110, 1, 110, 1}, {993, 2, 993, 1}, {143, 1, 143, 0},
    };
    auto* combo = child<QComboBox>("cSecurity");
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.port << " -> " << c.choice << " protocol " << c.protocol);
        dialog->setProtocol(c.protocol);
        // Start from a choice other than the one under test, so choosing it is a change.
        dialog->setSecurity(c.choice == 2 ? 0 : 2);
        dialog->setPort(c.port);
        combo->setCurrentIndex(c.choice);
        EXPECT_EQ(dialog->port(), c.expectedPort);
        EXPECT_EQ(dialog->security(), c.choice);
    }
    // Filling the dialog from an account shows it as stored.
    dialog->setPort(110);
    dialog->setSecurity(1);
    EXPECT_EQ(dialog->port(), 110);
}

TEST_F(AccountDialogTest, PortTakesAnyNumberAndANegativeTimeOutBecomesSixty) {
    auto* port = child<QSpinBox>("sePort");
    for (int value : {0, -5, 65536, 2000000}) {
        port->setValue(value);
        EXPECT_EQ(dialog->port(), value);
    }
    auto* timeOut = child<QSpinBox>("seTimeOut");
    timeOut->setValue(0);
    EXPECT_EQ(dialog->timeOut(), 0);
    timeOut->selectAll();
    QTest::keyClicks(timeOut, QStringLiteral("-3"));
    EXPECT_EQ(dialog->timeOut(), 60);
}

TEST_F(AccountDialogTest, CaptionsAreTranslatedWhenShownButSecurityAndSignInNamesStayEnglish) {
    dialog->setCaptions("Edit account", "Save");
    dialog->setLanguage("IT");
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Stampa account"));
    EXPECT_EQ(child<QPushButton>("bbAddEdit")->text(), QStringLiteral("Salva"));
    EXPECT_EQ(child<QPushButton>("bbCancel")->text(), QStringLiteral("Annulla"));
    EXPECT_EQ(child<QLabel>("lbAcc")->text(), QStringLiteral("Nome di account"));
    EXPECT_EQ(child<QLabel>("lbPass")->text(), QStringLiteral("Parola d'accesso"));
    EXPECT_EQ(child<QLabel>("lbSecurity")->text(), QStringLiteral("Security"));
    auto* combo = child<QComboBox>("cSecurity");
    EXPECT_EQ(combo->itemText(1), QStringLiteral("SSL/TLS"));
    EXPECT_EQ(combo->itemText(2), QStringLiteral("STARTTLS"));
    EXPECT_EQ(child<QLabel>("lbProvider")->text(), QStringLiteral("Provider"));
    EXPECT_EQ(child<QLabel>("lbAuth")->text(), QStringLiteral("Authentication"));
    EXPECT_EQ(child<QLabel>("lbTokenCommand")->text(), QStringLiteral("Token command"));
    EXPECT_EQ(child<QComboBox>("cAuth")->itemText(3), QStringLiteral("OAuth2 (OAUTHBEARER)"));
    QLineEdit* server = child<QLineEdit>("ePop");
    EXPECT_TRUE(QTest::qWaitFor([server] { return server->hasFocus(); }));
    dialog->hide();
}

TEST_F(AccountDialogTest, ProviderFillsServerPortSecurityAndAuthentication) {
    struct Case {
        const char* provider;
        const char* servers[2]; // POP3, IMAP
        int auth;
    };
    const Case cases[] = {
        {"Gmail", {"pop.gmail.com", "imap.gmail.com"}, 0},
        {"Outlook.com / Microsoft 365", {"outlook.office365.com", "outlook.office365.com"}, 2},
        {"Yahoo", {"pop.mail.yahoo.com", "imap.mail.yahoo.com"}, 0},
        {"Yandex", {"pop.yandex.com", "imap.yandex.com"}, 0},
        {"Mail.ru", {"pop.mail.ru", "imap.mail.ru"}, 0},
        {"GMX", {"pop.gmx.net", "imap.gmx.net"}, 0},
        {"web.de", {"pop3.web.de", "imap.web.de"}, 0},
        {"Fastmail", {"pop.fastmail.com", "imap.fastmail.com"}, 0},
    };
    auto* combo = child<QComboBox>("cProvider");
    ASSERT_EQ(combo->count(), 9);
    EXPECT_EQ(combo->itemText(0), QStringLiteral("Other"));
    for (int protocol : {1, 0}) {
        for (int i = 0; i < 8; ++i) {
            const Case& c = cases[i];
            SCOPED_TRACE(testing::Message() << c.provider << " protocol " << protocol);
            dialog->reset();
            dialog->setProtocol(protocol);
            dialog->setAccountName(QStringLiteral("ann"));
            chooseProvider(i + 1);
            EXPECT_EQ(combo->currentText(), QString::fromUtf8(c.provider));
            EXPECT_EQ(dialog->server(), QString::fromUtf8(c.servers[protocol]));
            EXPECT_EQ(dialog->port(), protocol == 1 ? 993 : 995);
            EXPECT_EQ(dialog->security(), 1);
            EXPECT_EQ(dialog->auth(), c.auth);
            EXPECT_EQ(dialog->accountName(), QStringLiteral("ann"));
        }
    }
    // "Other" leaves everything as it is.
    dialog->setPort(1995);
    combo->setCurrentIndex(1);
    QTest::keyClick(combo, Qt::Key_Up);
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_EQ(dialog->server(), QStringLiteral("pop.fastmail.com"));
    EXPECT_EQ(dialog->port(), 1995);
    // The provider shown follows the server typed, and showing it changes nothing else.
    dialog->setServer(QStringLiteral("Outlook.Office365.com"));
    EXPECT_EQ(combo->currentText(), QStringLiteral("Outlook.com / Microsoft 365"));
    EXPECT_EQ(dialog->auth(), 0);
    QTest::keyClicks(child<QLineEdit>("ePop"), QStringLiteral(".example"));
    EXPECT_EQ(combo->currentText(), QStringLiteral("Other"));
}

// The user's protocol choice moves a standard port and a provider's server to the other protocol's,
// and asks for the IMAP folders only when they mean something.
TEST_F(AccountDialogTest, ChoosingTheProtocolMovesStandardPortsAndOffersTheImapFields) {
    struct Case {
        int port;
        int provider; // -1: Other, else the Provider row
        int toProtocol;
        int expectedPort;
        const char* expectedServer;
    };
    const Case cases[] = {
        {110, -1, 1, 143, "mail.example"},  {995, -1, 1, 993, "mail.example"}, {2110, -1, 1, 2110, "mail.example"},
        {995, 1, 1, 993, "imap.gmail.com"}, {993, 1, 0, 995, "pop.gmail.com"}, {143, -1, 0, 110, "mail.example"},
    };
    auto* protocol = child<QComboBox>("cProtocol");
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.port << " provider " << c.provider << " -> " << c.toProtocol);
        dialog->reset();
        dialog->setProtocol(1 - c.toProtocol);
        dialog->setServer(QStringLiteral("mail.example"));
        if (c.provider > 0)
            chooseProvider(c.provider);
        dialog->setPort(c.port);
        protocol->setCurrentIndex(c.toProtocol);
        EXPECT_EQ(dialog->port(), c.expectedPort);
        EXPECT_EQ(dialog->server(), QString::fromUtf8(c.expectedServer));
        EXPECT_EQ(child<QLineEdit>("eFolders")->isEnabled(), c.toProtocol == 1);
        EXPECT_EQ(child<QComboBox>("cSpamAction")->isEnabled(), c.toProtocol == 1);
    }
    // Only the folder the spam goes to is asked for; filling keeps the port as stored.
    dialog->setProtocol(1);
    for (int action : {0, 1, 2}) {
        dialog->setSpamAction(action);
        EXPECT_EQ(child<QLineEdit>("eJunkFolder")->isEnabled(), action == 0);
        EXPECT_EQ(child<QLineEdit>("eTrashFolder")->isEnabled(), action == 1);
    }
    dialog->setPort(143);
    dialog->setProtocol(7); // unknown: POP3, and filling keeps the port as stored
    EXPECT_EQ(dialog->port(), 143);
    dialog->setLanguage("RU");
    dialog->setProtocol(1);
    EXPECT_EQ(child<QLabel>("lbPop")->text(), QString::fromUtf8("Почтовый сервер (IMAP)"));
}

TEST_F(AccountDialogTest, AuthenticationChoosesBetweenPasswordAndTokenCommand) {
    struct Case {
        int auth;
        const char* password;
        const char* command;
        bool complete; // enough typed for an account
    };
    const Case cases[] = {
        {0, "pw", "", true},     {0, "", "helper", false}, {1, "pw", "", true},
        {2, "", "helper", true}, {2, "pw", "", false},     {3, "", "  ", false},
    };
    auto* combo = child<QComboBox>("cAuth");
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.auth << c.password << c.command);
        dialog->reset();
        dialog->setServer(QStringLiteral("h"));
        dialog->setAccountName(QStringLiteral("u"));
        dialog->setPassword(QString::fromUtf8(c.password));
        dialog->setTokenCommand(QString::fromUtf8(c.command));
        combo->setCurrentIndex(c.auth);
        EXPECT_EQ(dialog->auth(), c.auth);
        const bool oauth = c.auth >= 2;
        EXPECT_EQ(child<QLineEdit>("eTokenCommand")->isEnabled(), oauth);
        EXPECT_EQ(child<QLineEdit>("ePass")->isEnabled(), !oauth);
        EXPECT_EQ(dialog->isComplete(), c.complete);
    }
    dialog->setAuth(7); // unknown: the password
    EXPECT_EQ(dialog->auth(), 0);
}

} // namespace
} // namespace qm
