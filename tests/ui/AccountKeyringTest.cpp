// The account commands against a real Secret Service: gnome-keyring-daemon on this process's own
// session bus (the test runs under dbus-run-session), its entries read and planted with
// secret-tool; and a Secret Service that never answers, which must not freeze the window.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusVirtualObject>
#include <QProgressDialog>

#include "AccountWindowFixture.h"
#include "KeyringSession.h"
#include "ScratchDir.h"
#include "settings/PasswordScrambler.h"
#include "ui/CodePageText.h"

namespace qm {
namespace {

using AccountKeyringTest = test::AccountWindowFixture;

// The dialog's save, move and delete, each step checked in the real keyring.
TEST_F(AccountKeyringTest, SaveMoveAndDeleteFollowTheRealKeyring) {
    ASSERT_TRUE(test::StartTestKeyring(test::ScratchDir("keyring")));
    int shownStore = -1;
    EXPECT_EQ(runDialog(&AccountActions::aAddAccountExecute, [&] {
        shownStore = dialog->passwordStore();
        dialog->setServer(QStringLiteral("pop.a"));
        dialog->setAccountName(QStringLiteral("ann"));
        dialog->setPassword(QStringLiteral("pw1"));
        dialog->setPort(995);
    }), QString());
    EXPECT_EQ(shownStore, static_cast<int>(PasswordStore::Keyring)); // a keyring answers: the default
    ASSERT_EQ(list->rowCount(), 1);
    EXPECT_EQ(list->row(0).AccountPassword, "");
    EXPECT_EQ(list->row(0).PasswordStore, "1");
    EXPECT_EQ(test::KeyringLookup(test::KeyringAttributes("pop.a", 995, "ann")), "pw1");
    EXPECT_NE(test::KeyringSearch(test::KeyringAttributes("pop.a", 995, "ann")).find("label = Quillmere32: ann@pop.a"),
              std::string::npos);

    struct Step {
        const char* what;
        std::function<void()> edit;
        std::string entry; // the attributes the password is found under afterwards; "" for none
        std::string gone;  // the attributes that no longer find it
    };
    const Step steps[] = {
        {"server", [&] { dialog->setServer(QStringLiteral("pop.b")); }, test::KeyringAttributes("pop.b", 995, "ann"),
         test::KeyringAttributes("pop.a", 995, "ann")},
        {"port", [&] { dialog->setPort(996); }, test::KeyringAttributes("pop.b", 996, "ann"),
         test::KeyringAttributes("pop.b", 995, "ann")},
        {"user", [&] { dialog->setAccountName(QStringLiteral("bob")); }, test::KeyringAttributes("pop.b", 996, "bob"),
         test::KeyringAttributes("pop.b", 996, "ann")},
        {"to the file", [&] { dialog->setPasswordStore(static_cast<int>(PasswordStore::File)); }, "",
         test::KeyringAttributes("pop.b", 996, "bob")},
        {"back to the keyring", [&] { dialog->setPasswordStore(static_cast<int>(PasswordStore::Keyring)); },
         test::KeyringAttributes("pop.b", 996, "bob"), ""},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        list->setRowSelected(0, true);
        QString shown;
        EXPECT_EQ(runDialog(&AccountActions::aEditAccountExecute, [&] {
            shown = dialog->password();
            s.edit();
        }), QString());
        EXPECT_EQ(shown, QStringLiteral("pw1")); // read from where the row keeps it
        if (!s.entry.empty()) {
            EXPECT_EQ(test::KeyringLookup(s.entry), "pw1");
        } else {
            EXPECT_EQ(UnscramblePassword(list->row(0).AccountPassword), "pw1");
        }
        if (!s.gone.empty()) {
            EXPECT_EQ(test::KeyringLookup(s.gone), std::nullopt);
        }
    }

    // A pasted copy shares the entry: deleting one keeps it, deleting the last (after Yes) removes it.
    const std::string entry = test::KeyringAttributes("pop.b", 996, "bob");
    list->appendRow(list->row(0));
    const auto deleteFirst = [&](QMessageBox::StandardButton answer) {
        list->clearSelection();
        list->setRowSelected(0, true);
        answerBox([&] { actions->aDelAccountExecute(); }, answer);
    };
    for (auto [answer, rowsLeft, kept] : {std::tuple{QMessageBox::No, 2, true}, std::tuple{QMessageBox::Yes, 1, true},
                                          std::tuple{QMessageBox::Yes, 0, false}}) {
        deleteFirst(answer);
        EXPECT_EQ(list->rowCount(), rowsLeft);
        EXPECT_EQ(test::KeyringLookup(entry).has_value(), kept) << rowsLeft;
    }
}

TEST_F(AccountKeyringTest, MoveAllPutsEveryFilePasswordIntoTheRealKeyring) {
    ASSERT_TRUE(test::StartTestKeyring(test::ScratchDir("keyring")));
    ASSERT_TRUE(test::KeyringPlant(test::KeyringAttributes("k", 110, "user"), "kpw"));
    AccountRow a{"a", "user", ScramblePassword("apw"), "110", "60", "False", "0"};
    AccountRow b{"b", "user", ScramblePassword("bpw"), "995", "60", "False", "1"};
    AccountRow k{"k", "user", "", "110", "60", "False", "0"};
    k.PasswordStore = "1";
    list->setRows({a, b, k});
    EXPECT_EQ(answerBox([&] { actions->aMoveAllToKeyringExecute(); }, QMessageBox::Ok), QStringLiteral("Passwords moved: 2"));
    EXPECT_EQ(test::KeyringLookup(test::KeyringAttributes("a", 110, "user")), "apw");
    EXPECT_EQ(test::KeyringLookup(test::KeyringAttributes("b", 995, "user")), "bpw");
    EXPECT_EQ(test::KeyringLookup(test::KeyringAttributes("k", 110, "user")), "kpw");
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(list->row(i).AccountPassword, "") << i;
        EXPECT_EQ(list->row(i).PasswordStore, "1") << i;
    }
}

// Owns the Secret Service's name and never answers what is sent to it.
class SilentService : public QDBusVirtualObject {
public:
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage&, const QDBusConnection&) override { return true; }
};

// The window goes on handling events (the waiting box shows), and after the bound the save fails
// with the reason and the list stays as it was; so does the move.
TEST_F(AccountKeyringTest, AKeyringThatNeverAnswersLeavesTheWindowResponsive) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    SilentService silent;
    ASSERT_TRUE(bus.registerVirtualObject(QStringLiteral("/"), &silent, QDBusConnection::SubPath));
    ASSERT_TRUE(bus.registerService(QStringLiteral("org.freedesktop.secrets")));
    actions->setKeyringTimeout(2000);
    const QString late = QStringLiteral("The desktop keyring did not answer in time.");

    int shownStore = -1;
    bool waitingShown = false;
    test::ModalAnswerer waiting([&](QWidget*) { waitingShown = true; }, 60000, [](QWidget* modal) {
        return qobject_cast<QProgressDialog*>(modal) != nullptr;
    });
    EXPECT_EQ(runDialog(&AccountActions::aAddAccountExecute, [&] {
        shownStore = dialog->passwordStore();
        dialog->setServer(QStringLiteral("pop.a"));
        dialog->setAccountName(QStringLiteral("ann"));
        dialog->setPassword(QStringLiteral("pw1"));
        dialog->setPasswordStore(static_cast<int>(PasswordStore::Keyring));
    }), late);
    EXPECT_EQ(shownStore, static_cast<int>(PasswordStore::File)); // no answer: the file by default
    EXPECT_TRUE(waitingShown);
    EXPECT_EQ(list->rowCount(), 0);

    AccountRow a{"a", "user", ScramblePassword("apw"), "110", "60", "False", "0"};
    list->setRows({a});
    EXPECT_EQ(answerBox([&] { actions->aMoveAllToKeyringExecute(); }, QMessageBox::Ok),
              QStringLiteral("Passwords moved: 0\nNot moved: user@a\n") + late);
    EXPECT_EQ(list->row(0), a);
}

} // namespace
} // namespace qm
