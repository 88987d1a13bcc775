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
    };
    const Case cases[] = {
        {110, 1, 995}, {995, 0, 110}, {2110, 1, 2110}, {110, 2, 110}, {995, 2, 995}, {8995, 0, 8995},
    };
    auto* combo = child<QComboBox>("cSecurity");
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.port << " -> " << c.choice);
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

TEST_F(AccountDialogTest, CaptionsAreTranslatedWhenShownButSecurityNamesStayEnglish) {
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
    QLineEdit* server = child<QLineEdit>("ePop");
    EXPECT_TRUE(QTest::qWaitFor([server] { return server->hasFocus(); }));
    dialog->hide();
}

} // namespace
} // namespace qm
