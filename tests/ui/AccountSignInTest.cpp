// The sign-in part of the account dialog and account actions: provider presets, the
// Authentication choice enabling the token command or the password, and the two hidden cells
// added, edited and pasted with the row.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include "UiTestSupport.h"
#include "settings/PasswordScrambler.h"
#include "ui/AccountActions.h"
#include "ui/AccountDialog.h"
#include "ui/AccountListView.h"
#include "ui/CodePageText.h"

namespace qm {
namespace {

class AccountSignInTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ensureApp();
        setUiCodePage(1251);
        window = std::make_unique<QWidget>();
        list = new AccountListView(window.get());
        dialog = new Taccount_settings_fm(window.get());
        actions = std::make_unique<AccountActions>(list, dialog, window.get());
        actions->setExecutingSource([] { return false; });
    }
    void TearDown() override {
        actions.reset();
        window.reset();
        setUiCodePage(0);
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

    std::unique_ptr<QWidget> window;
    AccountListView* list = nullptr;
    Taccount_settings_fm* dialog = nullptr;
    std::unique_ptr<AccountActions> actions;
};

TEST_F(AccountSignInTest, ProviderFillsServerPortSecurityAndAuthentication) {
    struct Case {
        const char* provider;
        const char* server;
        int auth;
    };
    const Case cases[] = {
        {"Gmail", "pop.gmail.com", 0},      {"Outlook.com / Microsoft 365", "outlook.office365.com", 2},
        {"Yahoo", "pop.mail.yahoo.com", 0}, {"Yandex", "pop.yandex.com", 0},
        {"Mail.ru", "pop.mail.ru", 0},      {"GMX", "pop.gmx.net", 0},
        {"web.de", "pop3.web.de", 0},       {"Fastmail", "pop.fastmail.com", 0},
    };
    auto* combo = child<QComboBox>("cProvider");
    ASSERT_EQ(combo->count(), 9);
    EXPECT_EQ(combo->itemText(0), QStringLiteral("Other"));
    for (int i = 0; i < 8; ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.provider);
        dialog->reset();
        dialog->setAccountName(QStringLiteral("ann"));
        chooseProvider(i + 1);
        EXPECT_EQ(combo->currentText(), QString::fromUtf8(c.provider));
        EXPECT_EQ(dialog->server(), QString::fromUtf8(c.server));
        EXPECT_EQ(dialog->port(), 995);
        EXPECT_EQ(dialog->security(), 1);
        EXPECT_EQ(dialog->auth(), c.auth);
        EXPECT_EQ(dialog->accountName(), QStringLiteral("ann"));
    }
    // "Other" leaves everything as it is.
    dialog->setPort(1995);
    combo->setCurrentIndex(1);
    QTest::keyClick(combo, Qt::Key_Up);
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_EQ(dialog->server(), QStringLiteral("pop.fastmail.com"));
    EXPECT_EQ(dialog->port(), 1995);
}

TEST_F(AccountSignInTest, TheProviderShownFollowsTheServer) {
    auto* combo = child<QComboBox>("cProvider");
    dialog->setServer(QStringLiteral("Outlook.Office365.com"));
    EXPECT_EQ(combo->currentText(), QStringLiteral("Outlook.com / Microsoft 365"));
    QTest::keyClicks(child<QLineEdit>("ePop"), QStringLiteral(".example"));
    EXPECT_EQ(combo->currentText(), QStringLiteral("Other"));
    // Showing the provider changes nothing else.
    dialog->setAuth(1);
    dialog->setServer(QStringLiteral("pop.gmail.com"));
    EXPECT_EQ(dialog->auth(), 1);
    EXPECT_EQ(dialog->port(), 110);
}

TEST_F(AccountSignInTest, AuthenticationEnablesTheTokenCommandOrThePassword) {
    auto* auth = child<QComboBox>("cAuth");
    auto* token = child<QLineEdit>("eTokenCommand");
    auto* password = child<QLineEdit>("ePass");
    const bool oauth[] = {false, false, true, true};
    for (int i = 0; i < 4; ++i) {
        auth->setCurrentIndex(i);
        EXPECT_EQ(dialog->auth(), i);
        EXPECT_EQ(token->isEnabled(), oauth[i]) << i;
        EXPECT_EQ(password->isEnabled(), !oauth[i]) << i;
    }
    dialog->setAuth(7); // unknown: the password
    EXPECT_EQ(dialog->auth(), 0);
    EXPECT_TRUE(password->isEnabled());
    dialog->setAuth(3);
    dialog->reset();
    EXPECT_EQ(dialog->auth(), 0);
    EXPECT_FALSE(token->isEnabled());
}

TEST_F(AccountSignInTest, CompleteNeedsATokenCommandInsteadOfAPasswordForOAuth2) {
    struct Case {
        int auth;
        const char* password;
        const char* command;
        bool complete;
    };
    const Case cases[] = {
        {0, "pw", "", true},     {0, "", "helper", false}, {1, "pw", "", true},
        {2, "", "helper", true}, {2, "pw", "", false},     {3, "", "  ", false},
    };
    for (const Case& c : cases) {
        dialog->reset();
        dialog->setServer(QStringLiteral("h"));
        dialog->setAccountName(QStringLiteral("u"));
        dialog->setPassword(QString::fromUtf8(c.password));
        dialog->setTokenCommand(QString::fromUtf8(c.command));
        dialog->setAuth(c.auth);
        EXPECT_EQ(dialog->isComplete(), c.complete) << c.auth << c.password << c.command;
    }
}

TEST_F(AccountSignInTest, NewTextsStayEnglishInEveryLanguage) {
    dialog->setLanguage("RU");
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
    EXPECT_EQ(child<QLabel>("lbProvider")->text(), QStringLiteral("Provider"));
    EXPECT_EQ(child<QLabel>("lbAuth")->text(), QStringLiteral("Authentication"));
    EXPECT_EQ(child<QLabel>("lbTokenCommand")->text(), QStringLiteral("Token command"));
    auto* auth = child<QComboBox>("cAuth");
    EXPECT_EQ(auth->itemText(0), QStringLiteral("Password"));
    EXPECT_EQ(auth->itemText(3), QStringLiteral("OAuth2 (OAUTHBEARER)"));
    EXPECT_EQ(child<QLabel>("lbTokenCommand")->buddy(), child<QLineEdit>("eTokenCommand"));
    EXPECT_EQ(child<QLabel>("lbAuth")->buddy(), auth);
    EXPECT_EQ(child<QLabel>("lbProvider")->buddy(), child<QComboBox>("cProvider"));
    dialog->hide();
}

TEST_F(AccountSignInTest, AddEditAndPasteCarryTheSignInCells) {
    test::ModalAnswerer add([this](QWidget*) {
        chooseProvider(2); // Outlook.com / Microsoft 365
        dialog->setAccountName(QString::fromUtf8("\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD@outlook.com"));
        auto* command = child<QLineEdit>("eTokenCommand");
        QTest::keyClicks(command, QStringLiteral("oauth2 --user '"));
        command->insert(QString::fromUtf8("\xD0\x98")); // typed keys cover ASCII only
        QTest::keyClicks(command, QStringLiteral("'"));
        QTest::mouseClick(child<QPushButton>("bbAddEdit"), Qt::LeftButton);
    });
    actions->aAddAccountExecute();
    ASSERT_TRUE(add.answered());
    ASSERT_EQ(list->rowCount(), 1);
    const AccountRow added = list->row(0);
    EXPECT_EQ(added.Caption, "outlook.office365.com");
    EXPECT_EQ(added.Port, "995");
    EXPECT_EQ(added.Security, "1");
    EXPECT_EQ(added.Auth, "2");
    EXPECT_EQ(added.TokenCommand, "oauth2 --user '\xC8'"); // windows-1251 bytes

    list->setRowSelected(0, true);
    int shownAuth = -1;
    QString shownCommand;
    test::ModalAnswerer edit([&](QWidget*) {
        shownAuth = dialog->auth();
        shownCommand = dialog->tokenCommand();
        dialog->setAuth(3);
        dialog->accept();
    });
    actions->aEditAccountExecute();
    ASSERT_TRUE(edit.answered());
    EXPECT_EQ(shownAuth, 2);
    EXPECT_EQ(shownCommand, QString::fromUtf8("oauth2 --user '\xD0\x98'"));
    EXPECT_EQ(list->row(0).Auth, "3");

    actions->aCopyAccountExecute();
    actions->aPasteAccountExecute();
    ASSERT_EQ(list->rowCount(), 2);
    EXPECT_EQ(list->row(1).Auth, "3");
    EXPECT_EQ(list->row(1).TokenCommand, "oauth2 --user '\xC8'");
}

// A row whose Auth the program does not know keeps it until the user chooses another method.
TEST_F(AccountSignInTest, UnknownAuthIsKeptByAnythingButTheDialog) {
    AccountRow row{"h", "u", ScramblePassword("pw"), "110", "60", "False", "1"};
    row.Auth = "kerberos";
    list->setRows({row});
    list->setRowSelected(0, true);
    actions->aCopyAccountExecute();
    actions->aPasteAccountExecute();
    EXPECT_EQ(list->rows().at(1).Auth, "kerberos");
}

} // namespace
} // namespace qm
