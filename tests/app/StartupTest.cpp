// Start-up: the files a first start creates, the settings moved into the controls, the windows.
#include "AppTestSupport.h"

#include "settings/SettingsFile.h"
#include "ui/AboutBox.h"
#include "ui/AccountDialog.h"
#include "ui/AccountListView.h"
#include "ui/MailClientDialog.h"
#include "ui/ReceivedAddressesWindow.h"
#include "ui/ValueDialog.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace qm::test {
namespace {

QStringList itemTexts(const QComboBox* box) {
    QStringList texts;
    for (int i = 0; i < box->count(); ++i) {
        texts << box->itemText(i);
    }
    return texts;
}

QStringList actionNames(const QMenu* menu) {
    QStringList names;
    for (const QAction* entry : menu->actions()) {
        names << (entry->isSeparator()       ? QStringLiteral("-")
                  : entry->menu() != nullptr ? entry->menu()->objectName()
                                             : entry->objectName());
    }
    return names;
}

TEST(Startup, FirstStartCreatesTheThreeFilesByteForByte) {
    AppFolder folder;
    auto window = startWindow(folder);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(readFile(folder.file("quillmere.ini")), defaultSettingsFile());
    EXPECT_EQ(readFile(folder.file("antiSpamSbjList.txt")), "\r\n");
}

TEST(Startup, FirstStartShowsTheDefaultOptions) {
    AppFolder folder;
    auto window = startWindow(folder);
    ASSERT_NE(window, nullptr);
    const struct {
        const char* name;
        bool checked;
    } boxes[] = {{"cbCheckNewVersion", true}, {"cbAntiSpamEnabled", true}, {"cbAntiSpamSubjEnabled", true},
                 {"cbExec", false},           {"cbMinimized", false},      {"cbInform", false},
                 {"cbSound", false},          {"cbAttach", false},         {"cbFromAddress", false},
                 {"cbSubject", false},        {"cbWriteToFile", false},    {"cbOverwrite", false},
                 {"cbAutoLoad", false},       {"cbNewOnly", false}};
    for (const auto& box : boxes) {
        auto* check = window->findChild<QCheckBox*>(QString::fromLatin1(box.name));
        ASSERT_NE(check, nullptr) << box.name;
        EXPECT_EQ(check->isChecked(), box.checked) << box.name;
    }
    EXPECT_EQ(window->findChild<QSpinBox*>(QStringLiteral("seInterval"))->value(), 5);
    EXPECT_EQ(window->findChild<QLineEdit*>(QStringLiteral("eFileName"))->text(), QStringLiteral("messages.txt"));
    EXPECT_EQ(window->CurrentLanguage(), "EN");
    EXPECT_TRUE(window->action("English1")->isChecked());
    EXPECT_EQ(window->lwServers()->rowCount(), 0);
    EXPECT_EQ(window->findChild<QListWidget*>(QStringLiteral("clbAntiSpam"))->count(), 0);
    EXPECT_FALSE(window->Tm()->isActive());
    EXPECT_TRUE(window->isVisible());
}

TEST(Startup, EnglishInterfaceShowsTheKeyTextsAfterStartUp) {
    AppFolder folder;
    auto window = startWindow(folder);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Quillmere32"));
    EXPECT_EQ(window->action("aExit")->text(), QStringLiteral("Close"));
    EXPECT_EQ(window->action("About1")->text(), QStringLiteral("About the program"));
    EXPECT_EQ(window->action("aAddAddress")->text(), QStringLiteral("New"));
    EXPECT_EQ(window->findChild<QCheckBox*>(QStringLiteral("cbCheckNewVersion"))->text(),
              QStringLiteral("check for new version on the site"));
    auto* pages = window->findChild<QTabWidget*>(QStringLiteral("PageControl1"));
    EXPECT_EQ(pages->tabText(0), QStringLiteral("settings"));
    EXPECT_EQ(pages->tabText(2), QStringLiteral("anti spam"));
    EXPECT_EQ(pages->currentWidget()->objectName(), QStringLiteral("tsConnect"));
    EXPECT_EQ(window->findChild<QMenu*>(QStringLiteral("Language1"))->title(), QStringLiteral("Language"));
}

TEST(Startup, IntervalValuesAreRaisedToTwoMinutes) {
    const struct {
        const char* stored;
        int shown;
    } rows[] = {{"5", 5}, {"1", 2}, {"0", 2}, {"-7", 2}, {"2", 2}, {"0x0A", 10}, {"abc", 5}, {"90", 90}};
    for (const auto& row : rows) {
        AppFolder folder;
        writeFile(folder.file("quillmere.ini"), std::string("[Main]\r\nInterval=") + row.stored + "\r\n");
        auto window = startWindow(folder);
        ASSERT_NE(window, nullptr) << row.stored;
        EXPECT_EQ(window->findChild<QSpinBox*>(QStringLiteral("seInterval"))->value(), row.shown) << row.stored;
        EXPECT_EQ(window->Tm()->interval(), row.shown * 60000) << row.stored;
        EXPECT_EQ(window->CheckIntervalMs(), row.shown * 60000) << row.stored;
    }
}

TEST(Startup, ValueListsFillSortedComboBoxesWithTheFirstSelected) {
    AppFolder folder;
    writeFile(folder.file("quillmere.ini"),
              "[Main]\r\nFromAddress=zeta@x.org;  alpha@x.org, Mid@x.org \r\nSubject=[sale]; \r\n");
    auto window = startWindow(folder);
    ASSERT_NE(window, nullptr);
    auto* from = window->findChild<QComboBox*>(QStringLiteral("cFromAddress"));
    EXPECT_EQ(itemTexts(from),
              (QStringList{QStringLiteral("alpha@x.org"), QStringLiteral("Mid@x.org"), QStringLiteral("zeta@x.org")}));
    EXPECT_EQ(from->currentIndex(), 0);
    auto* subject = window->findChild<QComboBox*>(QStringLiteral("cSubject"));
    EXPECT_EQ(itemTexts(subject), QStringList{QStringLiteral("(sale)")});

    window->SaveSettings();
    const std::string saved = readFile(folder.file("quillmere.ini"));
    EXPECT_NE(saved.find("\r\nFromAddress=alpha@x.org; Mid@x.org; zeta@x.org; \r\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("\r\nSubject=(sale); \r\n"), std::string::npos) << saved;
}

TEST(Startup, EveryOptionTravelsFromTheFileToItsControlAndBack) {
    AppFolder folder;
    MonitorSettings stored;
    stored.Interval = 17;
    stored.Language = "IT";
    stored.MailClient = "thunderbird";
    stored.Inform = true;
    stored.Sound = true;
    stored.Attach = true;
    stored.UseFrom = true;
    stored.UseSubject = true;
    stored.WriteToFile = true;
    stored.Overwrite = true;
    stored.FileName = "log/mail.txt";
    stored.AntiSpamListEnabled = false;
    stored.AntiSpamSubjListEnabled = false;
    stored.CheckNewVersion = false;
    stored.NewOnly = true;
    SettingsData data{stored, {}};
    ASSERT_TRUE(SaveSettings(folder.file("quillmere.ini"), data));

    auto window = startWindow(folder);
    ASSERT_NE(window, nullptr);
    const struct {
        const char* name;
        bool checked;
    } boxes[] = {{"cbInform", true},
                 {"cbSound", true},
                 {"cbAttach", true},
                 {"cbFromAddress", true},
                 {"cbSubject", true},
                 {"cbWriteToFile", true},
                 {"cbOverwrite", true},
                 {"cbAntiSpamEnabled", false},
                 {"cbAntiSpamSubjEnabled", false},
                 {"cbCheckNewVersion", false},
                 {"cbMinimized", false},
                 {"cbNewOnly", true},
                 {"cbExec", false}};
    for (const auto& box : boxes) {
        EXPECT_EQ(window->findChild<QCheckBox*>(QString::fromLatin1(box.name))->isChecked(), box.checked) << box.name;
    }
    EXPECT_EQ(window->findChild<QSpinBox*>(QStringLiteral("seInterval"))->value(), 17);
    EXPECT_EQ(window->findChild<QLineEdit*>(QStringLiteral("eFileName"))->text(), QStringLiteral("log/mail.txt"));
    EXPECT_EQ(window->MailClient(), "thunderbird");
    EXPECT_EQ(window->CurrentLanguage(), "IT");

    std::filesystem::remove(folder.file("quillmere.ini"));
    window->SaveSettings();
    EXPECT_EQ(LoadSettings(folder.file("quillmere.ini")).data.main, stored);
}

TEST(Startup, AccountsFillTheListAndAreSavedBackInOrder) {
    AppFolder folder;
    writeFile(folder.file("quillmere.ini"), "[Main]\r\n[Settings1]\r\nPOP3=pop.one.org\r\nAccountName=ann\r\n"
                                            "Port=995\r\nTimeOut=30\r\n[settings2]\r\nPOP3=pop.two.org\r\n"
                                            "AccountName=bob\r\nDisabled=1\r\n");
    auto window = startWindow(folder);
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(window->lwServers()->rowCount(), 2);
    EXPECT_EQ(window->lwServers()->row(0).Caption, "pop.one.org");
    EXPECT_EQ(window->lwServers()->row(0).Port, "995");
    EXPECT_EQ(window->lwServers()->row(1).AccountName, "bob");
    EXPECT_EQ(window->lwServers()->row(1).Disabled, "True");

    window->SaveSettings();
    const LoadResult saved = LoadSettings(folder.file("quillmere.ini"));
    ASSERT_EQ(saved.data.accounts.size(), 2u);
    EXPECT_EQ(saved.data.accounts[0], window->lwServers()->row(0));
    EXPECT_EQ(saved.data.accounts[1], window->lwServers()->row(1));
}

TEST(Startup, StoredExecutingSwitchesOnAndArmsTheCheckTimer) {
    AppFolder folder;
    writeFile(folder.file("quillmere.ini"), "[Main]\r\nExecuting=1\r\nInterval=3\r\n");
    auto window = startWindow(folder);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->findChild<QCheckBox*>(QStringLiteral("cbExec"))->isChecked());
    EXPECT_TRUE(window->Tm()->isActive());
    EXPECT_EQ(window->Tm()->interval(), 180000);
}

TEST(Startup, StartMinimizedHidesTheShownWindow) {
    AppFolder folder;
    writeFile(folder.file("quillmere.ini"), "[Main]\r\nMinimized=1\r\n");
    auto window = startWindow(folder);
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(window->isVisible());
    window->RestoreFromTray();
    EXPECT_TRUE(window->isVisible());
}

TEST(Startup, ListFilesFillTheCheckListBoxes) {
    AppFolder folder;
    writeFile(folder.file("antiSpamList.txt"), "b\r\n\r\n   \r\n[x]\r\n");
    writeFile(folder.file("antiSpamSbjList.txt"), "*sale*\r\n");
    auto window = startWindow(folder);
    ASSERT_NE(window, nullptr);
    auto* sender = window->findChild<QListWidget*>(QStringLiteral("clbAntiSpam"));
    ASSERT_EQ(sender->count(), 3);
    EXPECT_EQ(sender->item(0)->text(), QStringLiteral("b"));
    EXPECT_EQ(sender->item(1)->text(), QString());
    EXPECT_EQ(sender->item(2)->text(), QStringLiteral("(x)"));
    EXPECT_EQ(sender->currentRow(), 0);
    EXPECT_EQ(sender->item(0)->checkState(), Qt::Unchecked);

    sender->item(0)->setText(QStringLiteral("c@d"));
    window->SaveSettings();
    EXPECT_EQ(readFile(folder.file("antiSpamList.txt")), "c@d\r\n\r\n(x)\r\n");
    EXPECT_EQ(readFile(folder.file("antiSpamSbjList.txt")), "*sale*\r\n");
}

TEST(Startup, FilesThatCannotBeReadLeaveDefaultsAndStartUpGoesOn) {
    AppFolder folder;
    // A folder where a file should be: neither read nor written, whoever runs the test.
    std::filesystem::create_directory(folder.file("quillmere.ini"));
    std::filesystem::create_directory(folder.file("antiSpamList.txt"));
    writeFile(folder.file("antiSpamSbjList.txt"), "*sale*\r\n");
    auto window = startWindow(folder);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->findChild<QSpinBox*>(QStringLiteral("seInterval"))->value(), 5);
    EXPECT_TRUE(window->findChild<QCheckBox*>(QStringLiteral("cbCheckNewVersion"))->isChecked());
    EXPECT_FALSE(window->findChild<QCheckBox*>(QStringLiteral("cbExec"))->isChecked());
    EXPECT_EQ(window->CurrentLanguage(), "EN");
    EXPECT_EQ(window->action("aExit")->text(), QStringLiteral("Close"));
    EXPECT_EQ(window->findChild<QListWidget*>(QStringLiteral("clbAntiSpam"))->count(), 0);
    EXPECT_EQ(window->findChild<QListWidget*>(QStringLiteral("clbSubjAntiSpam"))->count(), 1);

    window->close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(std::filesystem::is_directory(folder.file("quillmere.ini")));
    EXPECT_EQ(readFile(folder.file("antiSpamSbjList.txt")), "*sale*\r\n");
}

TEST(Startup, ASettingsFileThatCannotBeReadIsNeverReplaced) {
    AppFolder folder;
    // Not a regular file: the load refuses to read it, and the save must not put defaults in its place.
    ASSERT_EQ(::mkfifo(folder.file("quillmere.ini").c_str(), 0600), 0);
    auto window = startWindow(folder);
    ASSERT_NE(window, nullptr);
    window->findChild<QSpinBox*>(QStringLiteral("seInterval"))->setValue(7);
    window->SaveSettings();
    EXPECT_TRUE(std::filesystem::is_fifo(folder.file("quillmere.ini")));
}

TEST(Startup, FiveMoreWindowsAreCreatedInOrderWithTheirCaptions) {
    AppFolder folder;
    TmQuillmere window(folder.executable());
    QList<QDialog*> dialogs;
    for (QObject* child : window.children()) {
        if (auto* dialog = qobject_cast<QDialog*>(child)) {
            dialogs << dialog;
        }
    }
    ASSERT_EQ(dialogs.size(), 5);
    EXPECT_EQ(dialogs[0], window.fmValue());
    EXPECT_EQ(dialogs[1], window.AboutBox());
    EXPECT_EQ(dialogs[2], window.mess_list_fm());
    EXPECT_EQ(dialogs[3], window.account_settings_fm());
    EXPECT_EQ(dialogs[4], window.selMailCl_fm());
    EXPECT_EQ(window.fmValue()->windowTitle(), QStringLiteral("Add value"));
    EXPECT_EQ(window.AboutBox()->windowTitle(), QStringLiteral("About"));
    EXPECT_EQ(window.mess_list_fm()->windowTitle(), QStringLiteral("Addresses of received messages"));
    EXPECT_EQ(window.selMailCl_fm()->windowTitle(), QStringLiteral("Set path to mail client"));
    for (QDialog* dialog : dialogs) {
        EXPECT_FALSE(dialog->isVisible()) << dialog->objectName().toStdString();
    }
}

TEST(Composition, EveryNamedPartExists) {
    AppFolder folder;
    TmQuillmere window(folder.executable());
    const char* widgets[] = {"Panel2",
                             "cbExec",
                             "BitBtn1",
                             "StatusBar1",
                             "PageControl1",
                             "tsConnect",
                             "tsOptions",
                             "tsAntiSpam",
                             "Panel19",
                             "cbAutoLoad",
                             "cbMinimized",
                             "cbSound",
                             "cbCheckNewVersion",
                             "Panel7",
                             "lwServers",
                             "Panel4",
                             "Panel6",
                             "lbInterval",
                             "seInterval",
                             "Panel3",
                             "lbNow",
                             "lbTimeNow",
                             "lbExecuted",
                             "lbLastExecTime",
                             "cbInform",
                             "cbFromAddress",
                             "SpeedButton1",
                             "SpeedButton2",
                             "cFromAddress",
                             "cbSubject",
                             "SpeedButton3",
                             "SpeedButton4",
                             "cSubject",
                             "cbAttach",
                             "cbWriteToFile",
                             "SpeedButton13",
                             "eFileName",
                             "cbOverwrite",
                             "SpeedButton6",
                             "lbASL",
                             "cbAntiSpamEnabled",
                             "clbAntiSpam",
                             "cbAntiSpamSubjEnabled",
                             "clbSubjAntiSpam",
                             "MainMenu1",
                             "File1",
                             "Language1",
                             "Help1",
                             "PopupMenu1",
                             "ASPopup",
                             "ASSPopup",
                             "SettPopup"};
    for (const char* name : widgets) {
        EXPECT_NE(window.findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
    }
    const char* actions[] = {
        "aRestore",        "aCheckMail",    "aRestart",     "aShowMessagesList", "aMinimize",      "aExit",
        "aAddAddress",     "aAddSubject",   "aEditAddress", "aEditSubject",      "aDelChecked",    "aDelCheckedSubj",
        "aCheckAll",       "aCheckAllSubj", "aUncheckAll",  "aUncheckAllSubj",   "aRunMailclient", "aSelectmailClient",
        "aAddAccount",     "aEditAccount",  "aDelAccount",  "aCopyAccount",      "aPasteAccount",  "aSelectAllAccount",
        "aDisableAccount", "English1",      "Russian1",     "Italian1",          "About1"};
    for (const char* name : actions) {
        EXPECT_NE(window.action(name), nullptr) << name;
    }
    const char* timers[] = {"StartTimer", "Tm", "refreshTimer", "Timer1", "Timer2"};
    for (const char* name : timers) {
        EXPECT_NE(window.findChild<QTimer*>(QString::fromLatin1(name)), nullptr) << name;
    }
    EXPECT_EQ(window.Timer1()->interval(), 500);
    EXPECT_EQ(window.Timer2()->interval(), 2500);
    EXPECT_EQ(window.refreshTimer()->interval(), 200);
    // Actions with pictures carry them.
    for (const char* name :
         {"aShowMessagesList", "aAddAddress", "aEditAddress", "aDelChecked", "aCheckAll", "aUncheckAll"}) {
        EXPECT_FALSE(window.action(name)->icon().isNull()) << name;
    }
}

TEST(Composition, MenusHoldTheirItemsInOrder) {
    AppFolder folder;
    TmQuillmere window(folder.executable());
    EXPECT_EQ(
        actionNames(window.findChild<QMenu*>(QStringLiteral("File1"))),
        (QStringList{QStringLiteral("aCheckMail"), QStringLiteral("aRestart"), QStringLiteral("aShowMessagesList"),
                     QStringLiteral("-"), QStringLiteral("aSelectmailClient"), QStringLiteral("aRunMailclient"),
                     QStringLiteral("aMarkAllRead"), QStringLiteral("-"), QStringLiteral("aMoveAllToKeyring"),
                     QStringLiteral("Language1"), QStringLiteral("-"), QStringLiteral("aMinimize"),
                     QStringLiteral("aExit")}));
    EXPECT_EQ(
        actionNames(window.PopupMenu1()),
        (QStringList{QStringLiteral("aRestore"), QStringLiteral("aCheckMail"), QStringLiteral("aRestart"),
                     QStringLiteral("aShowMessagesList"), QStringLiteral("-"), QStringLiteral("aSelectmailClient"),
                     QStringLiteral("aRunMailclient"), QStringLiteral("aMarkAllRead"), QStringLiteral("-"),
                     QStringLiteral("aMinimize"), QStringLiteral("aExit")}));
    EXPECT_EQ(window.PopupMenu1()->defaultAction(), window.action("aRunMailclient"));
    EXPECT_EQ(actionNames(window.findChild<QMenu*>(QStringLiteral("Language1"))),
              (QStringList{QStringLiteral("English1"), QStringLiteral("Russian1"), QStringLiteral("Italian1")}));
    EXPECT_EQ(actionNames(window.findChild<QMenu*>(QStringLiteral("ASPopup"))),
              (QStringList{QStringLiteral("aEditAddress"), QStringLiteral("aCheckAll"), QStringLiteral("aUncheckAll"),
                           QStringLiteral("-"), QStringLiteral("aDelChecked"), QStringLiteral("-"),
                           QStringLiteral("aRunMailclient")}));
}

TEST(Composition, WindowHasAFixedSizeAndNoMaximizeBox) {
    AppFolder folder;
    TmQuillmere window(folder.executable());
    window.show();
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    EXPECT_FALSE(window.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
}

} // namespace
} // namespace qm::test
