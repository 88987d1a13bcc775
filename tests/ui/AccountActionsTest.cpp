#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>

#include "AccountWindowFixture.h"
#include "UiTestSupport.h"
#include "engine/SessionPassword.h"
#include "settings/PasswordScrambler.h"
#include "support/MemorySecretStore.h"
#include "ui/AccountActions.h"
#include "ui/AccountDialog.h"
#include "ui/AccountListView.h"
#include "ui/CodePageText.h"
#include "ui/ImageLists.h"

namespace qm {
namespace {

AccountRow makeRow(std::string server, std::string disabled = "False") {
    return AccountRow{std::move(server), "user", ScramblePassword("pw"), "110", "60", std::move(disabled), "0"};
}

// What the user types into the account dialog before pressing its OK button.
struct Typed {
    const char* server;
    const char* account;
    const char* password;
    int port = 110;
    int timeOut = 60;
    int security = 0;
};

class AccountActionsTest : public test::AccountWindowFixture {
protected:
    void SetUp() override {
        setUiCodePage(1251);
        AccountWindowFixture::SetUp();
    }
    void TearDown() override {
        AccountWindowFixture::TearDown();
        setUiCodePage(0);
    }

    std::unique_ptr<test::ModalAnswerer> typeIntoDialog(Typed typed, bool ok = true) {
        return std::make_unique<test::ModalAnswerer>([typed, ok, this](QWidget* modal) {
            EXPECT_EQ(modal, dialog);
            dialog->findChild<QLineEdit*>(QStringLiteral("ePop"))->setText(QString::fromUtf8(typed.server));
            dialog->findChild<QLineEdit*>(QStringLiteral("eAcc"))->setText(QString::fromUtf8(typed.account));
            dialog->findChild<QLineEdit*>(QStringLiteral("ePass"))->setText(QString::fromUtf8(typed.password));
            dialog->findChild<QSpinBox*>(QStringLiteral("sePort"))->setValue(typed.port);
            dialog->findChild<QSpinBox*>(QStringLiteral("seTimeOut"))->setValue(typed.timeOut);
            dialog->setSecurity(typed.security);
            const char* button = ok ? "bbAddEdit" : "bbCancel";
            QTest::mouseClick(dialog->findChild<QPushButton*>(QLatin1String(button)), Qt::LeftButton);
        });
    }
    std::unique_ptr<test::ModalAnswerer> answerConfirmation(QMessageBox::StandardButton answer,
                                                            QString* text = nullptr) {
        return std::make_unique<test::ModalAnswerer>([answer, text](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            if (text != nullptr)
                *text = box->text();
            QTest::mouseClick(box->button(answer), Qt::LeftButton);
        });
    }
};

TEST_F(AccountActionsTest, EnablingFollowsTheRefreshRules) {
    struct Case {
        bool executing;
        int rows;
        bool selected;
        bool copied;
        // add, edit, delete, copy, disable, paste, select all
        std::array<bool, 7> enabled;
    };
    const Case cases[] = {
        {false, 0, false, false, {true, false, false, false, false, false, false}},
        {false, 2, false, false, {true, false, false, false, false, false, true}},
        {false, 2, true, false, {true, true, true, true, true, false, true}},
        {false, 2, true, true, {true, true, true, true, true, true, true}},
        {true, 2, true, true, {false, false, false, false, true, false, false}},
        {true, 2, false, false, {false, false, false, false, false, false, false}},
        {true, 0, false, false, {false, false, false, false, false, false, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.executing << c.rows << c.selected << c.copied);
        executing = false;
        list->setRows({});
        for (int i = 0; i < c.rows; ++i)
            list->appendRow(makeRow("h" + std::to_string(i)));
        if (c.copied) {
            list->setRowSelected(1, true);
            actions->aCopyAccountExecute();
        }
        list->clearSelection();
        if (c.selected)
            list->setRowSelected(0, true);
        executing = c.executing;
        actions->refreshEnabling(c.executing);
        const std::array<QAction*, 7> all = {
            actions->aAddAccount(),     actions->aEditAccount(),  actions->aDelAccount(),      actions->aCopyAccount(),
            actions->aDisableAccount(), actions->aPasteAccount(), actions->aSelectAllAccount()};
        for (std::size_t i = 0; i < all.size(); ++i)
            EXPECT_EQ(all[i]->isEnabled(), c.enabled[i]) << all[i]->objectName().toStdString();
    }
}

TEST_F(AccountActionsTest, AddAppendsTheTypedAccountWithItsPasswordScrambled) {
    actions->refreshEnabling(false);
    auto answer = typeIntoDialog({"pop.example.ru", "\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD", "secret", 995, 30, 1});
    actions->aAddAccount()->trigger();
    ASSERT_TRUE(answer->answered());
    ASSERT_EQ(list->rowCount(), 1);
    const AccountRow expected{"pop.example.ru", "\xC8\xE2\xE0\xED", "TTMOZVUB", "995", "30", "False", "1"};
    EXPECT_EQ(list->row(0), expected);
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Add new account"));
    EXPECT_EQ(saves->count(), 1);
}

TEST_F(AccountActionsTest, AddWithAnEmptyFieldOrCancelAddsNothingButStillSaves) {
    const Typed attempts[] = {{"host", "user", ""}, {"", "user", "pw"}, {"host", "", "pw"}};
    for (const Typed& typed : attempts) {
        auto answer = typeIntoDialog(typed);
        actions->aAddAccountExecute();
        ASSERT_TRUE(answer->answered());
    }
    auto cancel = typeIntoDialog({"host", "user", "pw"}, false);
    actions->aAddAccountExecute();
    ASSERT_TRUE(cancel->answered());
    EXPECT_EQ(list->rowCount(), 0);
    EXPECT_EQ(saves->count(), 4);
}

TEST_F(AccountActionsTest, EditShowsThePlainPasswordAndKeepsDisabledAndImage) {
    list->setRows({makeRow("a"), AccountRow{"b", "bob", ScramblePassword("old"), "110", "45", "True", "0"}});
    list->setRowImage(1, kConnectConnected);
    list->setRowSelected(1, true);
    QString shownPassword;
    int shownTimeOut = 0;
    test::ModalAnswerer answer([&](QWidget*) {
        shownPassword = dialog->password();
        shownTimeOut = dialog->timeOut();
        dialog->setPassword(QStringLiteral("new"));
        dialog->setServer(QStringLiteral("b2"));
        dialog->accept();
    });
    actions->aEditAccountExecute();
    ASSERT_TRUE(answer.answered());
    EXPECT_EQ(shownPassword, QStringLiteral("old"));
    EXPECT_EQ(shownTimeOut, 45);
    EXPECT_EQ(list->row(1), (AccountRow{"b2", "bob", ScramblePassword("new"), "110", "45", "True", "0"}));
    EXPECT_EQ(list->rowImage(1), kConnectConnected);
    EXPECT_EQ(saves->count(), 1);
}

TEST_F(AccountActionsTest, DoubleClickEditsOnlyWhileNotExecuting) {
    list->setRows({makeRow("a")});
    list->show();
    list->setRowSelected(0, true);
    const QPoint row = list->visualItemRect(list->topLevelItem(0)).center();
    // An opened dialog runs its modal loop inside the click and is answered there.
    const auto doubleClick = [&] {
        test::ModalAnswerer answer([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); }, 300);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row);
        return answer.answered();
    };
    executing = true;
    actions->refreshEnabling(true);
    EXPECT_FALSE(doubleClick());
    EXPECT_EQ(saves->count(), 0);
    executing = false;
    actions->refreshEnabling(false);
    EXPECT_TRUE(doubleClick());
    EXPECT_EQ(saves->count(), 1);
}

TEST_F(AccountActionsTest, DeleteRemovesAllSelectedRowsOnlyOnYes) {
    list->setRows({makeRow("a"), makeRow("b"), makeRow("c"), makeRow("d")});
    for (int i : {0, 2, 3})
        list->setRowSelected(i, true);
    actions->setLanguage("RU");
    QString question;
    {
        auto no = answerConfirmation(QMessageBox::No, &question);
        actions->aDelAccountExecute();
        ASSERT_TRUE(no->answered());
    }
    EXPECT_EQ(question, QString::fromUtf8("Вы уверены?"));
    EXPECT_EQ(list->rowCount(), 4);
    auto yes = answerConfirmation(QMessageBox::Yes);
    actions->refreshEnabling(false);
    QTest::keyClick(list, Qt::Key_Delete);
    ASSERT_TRUE(yes->answered());
    ASSERT_EQ(list->rowCount(), 1);
    EXPECT_EQ(list->row(0).Caption, "b");
    EXPECT_EQ(saves->count(), 2);
}

TEST_F(AccountActionsTest, DisableFlipsEverySelectedRowAndCaptionsTheMenu) {
    list->setRows({makeRow("a", "False"), makeRow("b", "True"), makeRow("c", "False")});
    list->setRowImage(1, kConnectConnected);
    list->setRowSelected(1, true);
    actions->SettPopupPopup();
    EXPECT_EQ(actions->aDisableAccount()->text(), QStringLiteral("Enable account"));
    list->setRowSelected(1, false);
    list->setRowSelected(0, true);
    actions->SettPopupPopup();
    EXPECT_EQ(actions->aDisableAccount()->text(), QStringLiteral("Disable account"));
    list->setRowSelected(1, true);
    actions->SettPopupPopup();
    EXPECT_EQ(actions->aDisableAccount()->text(), QStringLiteral("Enable/disable account"));

    executing = true; // the toggle stays available during a check
    actions->refreshEnabling(true);
    actions->aDisableAccount()->trigger();
    EXPECT_EQ(list->cell(0, kColDisabled), "True");
    EXPECT_EQ(list->cell(1, kColDisabled), "False");
    EXPECT_EQ(list->cell(2, kColDisabled), "False");
    EXPECT_EQ(list->rowImage(1), kConnectIdle);
    EXPECT_EQ(list->shownImage(0), kConnectDisabled);
    EXPECT_EQ(saves->count(), 0);
}

TEST_F(AccountActionsTest, RightClickOpensTheMenuWithATranslatedToggleCaption) {
    list->setRows({makeRow("a", "True"), makeRow("b", "False")});
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    actions->setLanguage("RU");
    list->setRowSelected(0, true);
    list->setRowSelected(1, true);
    const QPoint row = list->visualItemRect(list->topLevelItem(1)).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, row, list->viewport()->mapToGlobal(row));
    QApplication::sendEvent(list->viewport(), &event);
    QMenu* menu = actions->SettPopup();
    EXPECT_TRUE(QTest::qWaitFor([menu] { return menu->isVisible(); }));
    EXPECT_EQ(actions->aDisableAccount()->text(), QString::fromUtf8("Активировать/деактивировать запись"));
    menu->hide();
}

TEST_F(AccountActionsTest, PasteAppendsTheCopiedRowAsItIsNow) {
    list->setRows({makeRow("a"), makeRow("b")});
    list->setRowSelected(1, true);
    actions->aCopyAccountExecute();
    list->setCell(1, kColPort, "2110");
    list->clearSelection();
    actions->aPasteAccountExecute();
    ASSERT_EQ(list->rowCount(), 3);
    EXPECT_EQ(list->row(2), list->row(1));
    EXPECT_EQ(list->row(2).Port, "2110");
    EXPECT_TRUE(list->selectedRows().empty());
    EXPECT_EQ(saves->count(), 0);
}

TEST_F(AccountActionsTest, ACopiedRowThatIsDeletedOrMovedIsForgotten) {
    list->setRows({makeRow("a"), makeRow("b"), makeRow("c")});
    list->setRowSelected(2, true);
    actions->aCopyAccountExecute();
    EXPECT_EQ(actions->copiedRow(), 2);
    list->sortRowsBy(kColServer); // a sort keeps the row itself
    EXPECT_EQ(actions->copiedRow(), 2);
    ASSERT_TRUE(list->moveSelectedRowBefore(0));
    EXPECT_EQ(actions->copiedRow(), -1);

    list->clearSelection();
    list->setRowSelected(1, true);
    actions->aCopyAccountExecute();
    auto yes = answerConfirmation(QMessageBox::Yes);
    actions->aDelAccountExecute();
    ASSERT_TRUE(yes->answered());
    actions->refreshEnabling(false);
    EXPECT_FALSE(actions->aPasteAccount()->isEnabled());
    actions->aPasteAccountExecute();
    EXPECT_EQ(list->rowCount(), 2);
}

TEST_F(AccountActionsTest, ShortcutsCopyAndPasteInTheWindow) {
    list->setRows({makeRow("a")});
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    list->setFocus();
    list->setRowSelected(0, true);
    actions->refreshEnabling(false);
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    actions->refreshEnabling(false);
    QTest::keyClick(list, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(list->rowCount(), 2);
    // While checking, the disabled paste does nothing.
    executing = true;
    actions->refreshEnabling(true);
    QTest::keyClick(list, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(list->rowCount(), 2);
}

TEST_F(AccountActionsTest, SelectAllAndTheContextMenuOrder) {
    list->setRows({makeRow("a"), makeRow("b"), makeRow("c")});
    actions->aSelectAllAccount()->trigger();
    EXPECT_EQ(list->selectedRows().size(), 3u);
    QStringList names;
    for (QAction* action : actions->SettPopup()->actions())
        names << (action->isSeparator() ? QStringLiteral("-") : action->objectName());
    EXPECT_EQ(names.join(QLatin1Char(' ')),
              QStringLiteral("aAddAccount aEditAccount aDelAccount aDisableAccount - aCopyAccount aPasteAccount - "
                             "aSelectAllAccount"));
    EXPECT_EQ(actions->aCopyAccount()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_C));
    actions->setLanguage("RU");
    EXPECT_EQ(actions->aAddAccount()->text(), QString::fromUtf8("Добавить запись"));
    EXPECT_EQ(actions->aSelectAllAccount()->text(), QString::fromUtf8("Выдел.все"));
}

TEST_F(AccountActionsTest, AddEditAndPasteCarryTheSignInCells) {
    test::ModalAnswerer add([this](QWidget*) {
        auto* provider = dialog->findChild<QComboBox*>(QStringLiteral("cProvider"));
        provider->setCurrentIndex(1);
        QTest::keyClick(provider, Qt::Key_Down); // Gmail -> Outlook.com / Microsoft 365
        dialog->setAccountName(QString::fromUtf8("\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD@outlook.com"));
        auto* command = dialog->findChild<QLineEdit*>(QStringLiteral("eTokenCommand"));
        QTest::keyClicks(command, QStringLiteral("oauth2 --user '"));
        command->insert(QString::fromUtf8("\xD0\x98")); // typed keys cover ASCII only
        QTest::keyClicks(command, QStringLiteral("'"));
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("bbAddEdit")), Qt::LeftButton);
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

// A damaged sign-in method, protocol or spam action, shown as the first choice, stays until the
// user picks another.
TEST_F(AccountActionsTest, EditKeepsADamagedChoiceUntilAnotherIsChosen) {
    struct Case {
        std::string AccountRow::*cell;
        int (Taccount_settings_fm::*shown)() const;
        void (Taccount_settings_fm::*choose)(int);
        int chosen;
    };
    const Case cases[] = {
        {&AccountRow::Auth, &Taccount_settings_fm::auth, &Taccount_settings_fm::setAuth, 2},
        {&AccountRow::Protocol, &Taccount_settings_fm::protocol, &Taccount_settings_fm::setProtocol, 1},
        {&AccountRow::SpamAction, &Taccount_settings_fm::spamAction, &Taccount_settings_fm::setSpamAction, 2},
    };
    for (const Case& c : cases) {
        AccountRow row = makeRow("h");
        row.*c.cell = "kerberos";
        list->setRows({row});
        list->setRowSelected(0, true);
        for (const bool choose : {false, true}) {
            SCOPED_TRACE(testing::Message() << c.chosen << choose);
            test::ModalAnswerer answer([&](QWidget*) {
                EXPECT_EQ((dialog->*c.shown)(), 0);
                if (choose) {
                    (dialog->*c.choose)(c.chosen);
                    dialog->setTokenCommand(QStringLiteral("helper"));
                }
                dialog->accept();
            });
            actions->aEditAccountExecute();
            ASSERT_TRUE(answer.answered());
            EXPECT_EQ(list->row(0).*c.cell, choose ? std::to_string(c.chosen) : "kerberos");
        }
    }
}

// A token command longer than a setting holds is refused with the reason, never cut, and the
// dialog opens again as it was.
TEST_F(AccountActionsTest, ATokenCommandLongerThanASettingHoldsIsRefused) {
    const QString command = QStringLiteral("x").repeated(2048);
    const auto isDialog = [this](QWidget* modal) { return modal == dialog; };
    std::unique_ptr<test::ModalAnswerer> again;
    QString said, reopened;
    test::ModalAnswerer box([&](QWidget* modal) {
        said = qobject_cast<QMessageBox*>(modal)->text();
        again = std::make_unique<test::ModalAnswerer>([&](QWidget*) {
            reopened = dialog->tokenCommand();
            dialog->reject();
        }, 60000, isDialog);
        qobject_cast<QMessageBox*>(modal)->accept();
    }, 60000, isBox);
    test::ModalAnswerer first([&](QWidget*) {
        dialog->setServer(QStringLiteral("h"));
        dialog->setAccountName(QStringLiteral("u"));
        dialog->setAuth(2);
        dialog->setTokenCommand(command);
        dialog->accept();
    }, 60000, isDialog);
    actions->aAddAccountExecute();
    EXPECT_NE(said.indexOf(QStringLiteral("2047")), -1) << said.toStdString();
    EXPECT_EQ(reopened, command);
    EXPECT_EQ(list->rowCount(), 0);
}

// An IMAP account's choices reach its row and come back into the dialog; a new POP3 account's
// section keeps only the keys it always had.
TEST_F(AccountActionsTest, AddAndEditCarryTheImapCells) {
    runDialog(&AccountActions::aAddAccountExecute, [this] {
        dialog->findChild<QComboBox*>(QStringLiteral("cProtocol"))->setCurrentIndex(1);
        dialog->setServer(QStringLiteral("imap.a"));
        dialog->setAccountName(QStringLiteral("ann"));
        dialog->setPassword(QStringLiteral("pw"));
        dialog->setFolders(QString::fromUtf8("INBOX; Работа"));
        dialog->findChild<QComboBox*>(QStringLiteral("cSpamAction"))->setCurrentIndex(1);
        dialog->setTrashFolder(QStringLiteral("Bin"));
    });
    ASSERT_EQ(list->rowCount(), 1);
    const AccountRow added = list->row(0);
    EXPECT_EQ(added.Protocol, "1");
    EXPECT_EQ(added.Port, "143");
    EXPECT_EQ(added.Folders, "INBOX; \xD0\xE0\xE1\xEE\xF2\xE0"); // windows-1251 bytes
    EXPECT_EQ(added.SpamAction, "1");
    EXPECT_EQ(added.TrashFolder, "Bin");
    EXPECT_EQ(added.Idle, ""); // push on, the default, left unwritten

    list->setRowSelected(0, true);
    runDialog(&AccountActions::aEditAccountExecute, [this] {
        EXPECT_EQ(dialog->protocol(), 1);
        EXPECT_TRUE(dialog->idle());
        dialog->findChild<QCheckBox*>(QStringLiteral("cbIdle"))->setChecked(false);
        EXPECT_EQ(dialog->findChild<QCheckBox*>(QStringLiteral("cbIdle"))->accessibleName(),
                  QStringLiteral("New mail at once (IDLE)"));
        EXPECT_EQ(dialog->spamAction(), 1);
        EXPECT_EQ(dialog->trashFolder(), QStringLiteral("Bin"));
        EXPECT_EQ(dialog->folders(), QString::fromUtf8("INBOX; Работа"));
    });
    EXPECT_EQ(list->row(0).Folders, added.Folders);
    EXPECT_EQ(list->row(0).Idle, "0");

    auto pop = typeIntoDialog({"pop.b", "bob", "pw"});
    actions->aAddAccountExecute();
    ASSERT_TRUE(pop->answered());
    ASSERT_EQ(list->rowCount(), 2);
    EXPECT_EQ(list->row(1).Protocol, "");
    EXPECT_EQ(list->row(1).SpamAction, "");
}

// A new account goes to the keyring when one answers; an edit that renames the account moves its
// entry; deleting removes it; a keyring that fails leaves the list as it was and says why.
TEST_F(AccountActionsTest, KeyringPasswordsFollowAddEditAndDelete) {
    auto store = std::make_shared<test::MemorySecretStore>();
    actions->setSecretStore(store);
    auto add = typeIntoDialog({"pop.a", "ann", "pw1", 995});
    actions->aAddAccountExecute();
    ASSERT_TRUE(add->answered());
    ASSERT_EQ(list->rowCount(), 1);
    AccountRow row = list->row(0);
    EXPECT_EQ(row.AccountPassword, "");
    EXPECT_EQ(row.PasswordStore, "1");
    SecretCancel none;
    EXPECT_EQ(store->Lookup(SecretKeyOf(row), 0, none).secret, "pw1");

    list->setRowSelected(0, true);
    QString shown;
    test::ModalAnswerer edit([&](QWidget*) {
        shown = dialog->password();
        dialog->setServer(QStringLiteral("pop.b"));
        dialog->accept();
    });
    actions->aEditAccountExecute();
    ASSERT_TRUE(edit.answered());
    EXPECT_EQ(shown, QStringLiteral("pw1"));
    EXPECT_EQ(store->Lookup(SecretKeyOf(row), 0, none).status, SecretStatus::NoEntry);
    row = list->row(0);
    EXPECT_EQ(row.Caption, "pop.b");
    EXPECT_EQ(store->Lookup(SecretKeyOf(row), 0, none).secret, "pw1");
    EXPECT_EQ(store->Size(), 1u);

    store->state = SecretStatus::Locked;
    QString why;
    const auto isBox = [](QWidget* modal) { return qobject_cast<QMessageBox*>(modal) != nullptr; };
    test::ModalAnswerer refused(
        [&](QWidget* modal) {
            why = qobject_cast<QMessageBox*>(modal)->text();
            qobject_cast<QMessageBox*>(modal)->accept();
        },
        5000, isBox);
    test::ModalAnswerer failing(
        [&](QWidget*) {
            dialog->setPassword(QStringLiteral("retyped")); // the locked keyring could not show it
            dialog->setServer(QStringLiteral("pop.c"));
            dialog->accept();
        },
        5000, [](QWidget* modal) { return modal == nullptr || qobject_cast<QMessageBox*>(modal) == nullptr; });
    actions->aEditAccountExecute();
    EXPECT_EQ(why, QStringLiteral("The password is kept in the desktop keyring, which is locked."));
    EXPECT_EQ(list->row(0), row);

    store->state = SecretStatus::Found;
    auto yes = answerConfirmation(QMessageBox::Yes);
    actions->aDelAccountExecute();
    ASSERT_TRUE(yes->answered());
    EXPECT_EQ(list->rowCount(), 0);
    EXPECT_EQ(store->Size(), 0u);
}

TEST_F(AccountActionsTest, MoveAllToKeyringSaysHowManyMovedAndWhichFailed) {
    struct Case {
        SecretStatus state;
        const char* summary;
        const char* storeCell; // of the file rows afterwards
    };
    const Case cases[] = {
        {SecretStatus::Found, "Passwords moved: 2", "1"},
        {SecretStatus::NoKeyring,
         "Passwords moved: 0\nNot moved: user@a, user@b\nThe password is kept in the desktop keyring, which is not "
         "running.",
         ""},
    };
    for (const Case& c : cases) {
        auto store = std::make_shared<test::MemorySecretStore>();
        store->state = c.state;
        actions->setSecretStore(store);
        AccountRow kept = makeRow("k");
        kept.AccountPassword.clear();
        kept.PasswordStore = "1";
        list->setRows({makeRow("a"), makeRow("b"), kept});
        QString summary;
        auto box = answerConfirmation(QMessageBox::Ok, &summary);
        actions->aMoveAllToKeyringExecute();
        EXPECT_EQ(summary, QString::fromLatin1(c.summary));
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(list->row(i).PasswordStore, c.storeCell) << i;
            EXPECT_EQ(list->row(i).AccountPassword.empty(), c.state == SecretStatus::Found) << i;
        }
        EXPECT_EQ(list->row(2), kept);
        EXPECT_EQ(store->Size(), c.state == SecretStatus::Found ? 2u : 0u);
    }
}

} // namespace
} // namespace qm
