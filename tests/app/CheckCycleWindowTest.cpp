// The check cycle in the main window against the fake POP3 server on the loopback address.
#include "CheckWindowSupport.h"

#include "app/CheckWiring.h"

#include "settings/PasswordScrambler.h"
#include "tray/TextTrayIcon.h"
#include "ui/AccountListView.h"
#include "ui/ReceivedAddressesWindow.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSpinBox>
#include <QTabWidget>

#include <QLineEdit>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace qm::test {
namespace {

class CheckCycleWindow : public ::testing::Test {
protected:
    // The fake server serves a mailbox with `count` messages from distinct senders.
    void serveMessages(int count, const std::string& password = "secret") {
        FakeMailbox mailbox;
        mailbox.password = password;
        for (int i = 1; i <= count; ++i) {
            mailbox.messages.push_back(testMessage("sender" + std::to_string(i) + "@example.org", "note"));
        }
        server.ServeMailbox(mailbox);
        server.Start();
    }
    void start(const std::vector<TestAccount>& accounts, const std::vector<std::string>& mainLines = {}) {
        writeFile(folder.file("quillmere.ini"), settingsFile(accounts, mainLines));
        harness = std::make_unique<CheckWindow>(folder);
        ASSERT_NE(harness->window, nullptr);
        window = harness->window.get();
    }
    QString status() const { return window->statusText(); }

    FakePop3Server server;
    AppFolder folder;
    std::unique_ptr<CheckWindow> harness;
    TmQuillmere* window = nullptr;
};

TEST_F(CheckCycleWindow, NewsShowsTheTotalListsTheAccountsAndAnimatesTheEnvelope) {
    serveMessages(3);
    start({{server.Port()}}, {"Sound=1"});
    harness->box("cbExec")->setChecked(true);
    ASSERT_TRUE(harness->waitForSummary());

    EXPECT_EQ(status(), QStringLiteral("you have 3 messages in total."));
    EXPECT_EQ(window->HintText(), "in total 3 messages:\r127.0.0.1(user): 3\r");
    EXPECT_EQ(window->checkWiring()->cycle().MessagesOnServer(), 3);
    EXPECT_EQ(window->checkWiring()->cycle().NoticedMessages(), 3);
    EXPECT_EQ(window->checkWiring()->cycle().RunningWorkers(), 0);
    EXPECT_EQ(window->checkWiring()->cycle().ReceivedAddresses().size(), 3u);
    TextTrayFacade* tray = harness->tray();
    ASSERT_NE(tray, nullptr);
    EXPECT_TRUE(sameIcons(tray->iconList(), window->im1));
    EXPECT_EQ(tray->iconList().size(), 12);
    EXPECT_TRUE(tray->cycleIcons());
    EXPECT_EQ(tray->cycleInterval(), 100u); // a session connected
    EXPECT_EQ(harness->sounds, 1);
    EXPECT_EQ(window->lwServers()->rowImage(0), 1);
    EXPECT_TRUE(window->Tm()->isActive());
    EXPECT_EQ(window->Tm()->interval(), 5 * 60000);
    EXPECT_FALSE(window->findChild<QLabel*>(QStringLiteral("lbLastExecTime"))->text().isEmpty());
    // Where the desktop gives no hover, the popup's lines are the icon's tooltip.
    if (!tray->icon().HasHoverEvents()) {
        EXPECT_EQ(tray->icon().DesktopToolTip(), QStringLiteral("in total 3 messages:\n127.0.0.1(user): 3\n"));
    }
}

TEST_F(CheckCycleWindow, WithNewOnlyMarkAllAsReadEndsTheNewsUntilMoreArrives) {
    FakeMailbox mailbox;
    mailbox.messages = {testMessage("a@example.org", "one"), testMessage("b@example.org", "two")};
    mailbox.uids = {"u1", "u2"};
    mailbox.capabilities = {"UIDL"};
    server.ServeMailbox(mailbox);
    server.Start();
    start({{server.Port()}}, {"NewOnly=1"});
    harness->box("cbExec")->setChecked(true);
    ASSERT_TRUE(harness->waitForSummary());
    EXPECT_EQ(window->checkWiring()->cycle().NoticedMessages(), 2);
    QAction* mark = window->action("aMarkAllRead");
    EXPECT_EQ(mark->text(), QStringLiteral("Mark all as read"));
    mark->trigger();
    EXPECT_FALSE(harness->tray()->cycleIcons());
    window->aRestartExecute();
    ASSERT_TRUE(harness->waitForSummary(2));
    EXPECT_EQ(status(), QStringLiteral("you haven't new messages"));
    EXPECT_EQ(window->checkWiring()->cycle().MessagesOnServer(), 2);
    EXPECT_EQ(window->checkWiring()->cycle().ReceivedAddresses().size(), 2u);
    server.Deliver(testMessage("c@example.org", "three"), "u3");
    window->aRestartExecute();
    ASSERT_TRUE(harness->waitForSummary(3));
    EXPECT_EQ(window->HintText(), "in total 3 messages:\r127.0.0.1(user): 1\r");
    EXPECT_TRUE(harness->tray()->cycleIcons());
    // A restart of the monitor keeps what was looked at.
    harness.reset();
    start({{server.Port()}}, {"NewOnly=1"});
    harness->box("cbExec")->setChecked(true);
    ASSERT_TRUE(harness->waitForSummary());
    EXPECT_EQ(window->checkWiring()->cycle().NoticedMessages(), 1);
    harness->window->SaveSettings();
    EXPECT_NE(readFile(folder.file("quillmere.ini")).find("NewOnly=1\r\n"), std::string::npos);
}

TEST_F(CheckCycleWindow, NoNewsSaysSoWithThePlainEnvelopeAndNoSound) {
    serveMessages(0);
    start({{server.Port()}}, {"Sound=1"});
    harness->box("cbExec")->setChecked(true);
    ASSERT_TRUE(harness->waitForSummary());

    EXPECT_EQ(status(), QStringLiteral("you haven't new messages"));
    EXPECT_EQ(window->HintText(), "you haven't new messages");
    TextTrayFacade* tray = harness->tray();
    EXPECT_TRUE(sameIcons(tray->iconList(), window->im1));
    EXPECT_FALSE(tray->cycleIcons());
    EXPECT_EQ(tray->iconIndex(), 0);
    EXPECT_EQ(harness->sounds, 0);
    EXPECT_EQ(server.Received().back(), "QUIT");
}

TEST_F(CheckCycleWindow, WithoutEnabledAccountsTheResultIsPublishedAtOnce) {
    const struct {
        const char* name;
        std::vector<TestAccount> accounts;
    } cases[] = {{"no accounts", {}}, {"all disabled", {{1, "a", "b", true}, {2, "c", "d", true}}}};
    for (const auto& c : cases) {
        start(c.accounts);
        harness->box("cbExec")->setChecked(true);
        // Published within the click, before the event loop runs again.
        EXPECT_EQ(harness->summaries, 1) << c.name;
        EXPECT_EQ(status(), QStringLiteral("you haven't new messages")) << c.name;
        EXPECT_EQ(window->checkWiring()->cycle().RunningWorkers(), 0) << c.name;
        EXPECT_TRUE(window->Tm()->isActive()) << c.name;
        harness.reset();
    }
}

TEST_F(CheckCycleWindow, FailedLoginMarksTheRowAndAGoodSessionClearsItsError) {
    serveMessages(1, "other");
    start({{server.Port()}});
    window->lwServers()->setRowSelected(0, true);
    harness->box("cbExec")->setChecked(true);
    ASSERT_TRUE(harness->waitForSummary());

    EXPECT_EQ(window->lwServers()->rowImage(0), 0);
    EXPECT_TRUE(window->lwServers()->selectedRows().empty());
    EXPECT_FALSE(window->lwServers()->rowError(0).isEmpty());
    EXPECT_EQ(status(), QStringLiteral("you haven't new messages"));

    // The same account with the right password: the tooltip goes.
    AccountRow row = window->lwServers()->row(0);
    row.AccountPassword = ScramblePassword("other");
    window->lwServers()->setRow(0, row);
    window->aRestartExecute();
    ASSERT_TRUE(harness->waitForSummary(2));
    EXPECT_TRUE(window->lwServers()->rowError(0).isEmpty());
    EXPECT_EQ(window->lwServers()->rowImage(0), 1);
}

TEST_F(CheckCycleWindow, AccountRowSortedDuringTheCheckIsStillTheOneMarked) {
    serveMessages(1, "other");
    start({{server.Port(), "zed"}, {1, "amy", "x", true}});
    harness->box("cbExec")->setChecked(true);
    // The session's calls wait for the event loop, so the list is sorted before any of them.
    window->lwServers()->sortRowsBy(1);
    ASSERT_EQ(window->lwServers()->cell(0, 1), "amy");
    ASSERT_TRUE(harness->waitForSummary());
    EXPECT_TRUE(window->lwServers()->rowError(0).isEmpty());
    EXPECT_FALSE(window->lwServers()->rowError(1).isEmpty());
}

TEST_F(CheckCycleWindow, IntervalBelowTwoMinutesBecomesTwo) {
    start({});
    auto* interval = window->findChild<QSpinBox*>(QStringLiteral("seInterval"));
    const struct { int typed, shown; } rows[] = {{0, 2}, {1, 2}, {2, 2}, {7, 7}};
    for (const auto& row : rows) {
        harness->box("cbExec")->setChecked(false);
        interval->setValue(row.typed);
        EXPECT_EQ(interval->value(), row.shown) << row.typed;
        harness->box("cbExec")->setChecked(true);
        EXPECT_EQ(window->CheckIntervalMs(), row.shown * 60000) << row.typed;
        EXPECT_EQ(window->Tm()->interval(), row.shown * 60000) << row.typed;
    }
}

TEST_F(CheckCycleWindow, CheckMailTogglesExecutingAndSwitchingOffShowsTheStoppedIcon) {
    start({});
    window->refreshTimer()->stop(); // ticks are run by hand
    QAction* checkMail = window->action("aCheckMail");
    checkMail->trigger();
    EXPECT_TRUE(harness->box("cbExec")->isChecked());
    EXPECT_EQ(harness->summaries, 1);
    window->refreshTimerTimer();
    EXPECT_EQ(checkMail->text(), QStringLiteral("Stop"));

    checkMail->trigger();
    EXPECT_FALSE(harness->box("cbExec")->isChecked());
    EXPECT_FALSE(window->Tm()->isActive());
    EXPECT_EQ(harness->tray()->cycleInterval(), 100u);
    window->refreshTimerTimer();
    EXPECT_EQ(checkMail->text(), QStringLiteral("Start"));
    EXPECT_TRUE(sameIcons(harness->tray()->iconList(), window->imStopped));
}

TEST_F(CheckCycleWindow, ExecutingStoredOnStartsTheFirstCheckDuringStartUp) {
    serveMessages(2);
    start({{server.Port()}}, {"Executing=1"});
    // The start-up step has run: the timer counts towards the next check already.
    EXPECT_TRUE(harness->box("cbExec")->isChecked());
    EXPECT_TRUE(window->Tm()->isActive());
    ASSERT_TRUE(waitFor([this] { return status() == QStringLiteral("you have 2 messages in total."); }, 30000))
        << status().toStdString();
    EXPECT_EQ(window->checkWiring()->cycle().RunningWorkers(), 0);
    EXPECT_EQ(server.Sessions(), 1);
}

TEST_F(CheckCycleWindow, OverwriteDeletesTheMessageFileOnlyWithInformOn) {
    const struct {
        bool inform, overwrite, deleted;
    } rows[] = {{false, false, false}, {false, true, false}, {true, false, false}, {true, true, true}};
    for (const auto& row : rows) {
        start({});
        const std::filesystem::path log = folder.file("log.txt");
        writeFile(log, "old record\r\n");
        window->findChild<QLineEdit*>(QStringLiteral("eFileName"))->setText(QString::fromStdString(log.string()));
        harness->box("cbInform")->setChecked(row.inform);
        harness->box("cbOverwrite")->setChecked(row.overwrite);
        harness->box("cbExec")->setChecked(true);
        EXPECT_EQ(!std::filesystem::exists(log), row.deleted) << row.inform << row.overwrite;
        harness.reset();
    }
}

TEST_F(CheckCycleWindow, NoticedMessagesAreAppendedToTheMessageFile) {
    serveMessages(2);
    start({{server.Port()}}, {"Inform=1", "WriteToFile=1"});
    const std::filesystem::path log = folder.file("news.txt");
    window->findChild<QLineEdit*>(QStringLiteral("eFileName"))->setText(QString::fromStdString(log.string()));
    harness->box("cbExec")->setChecked(true);
    ASSERT_TRUE(harness->waitForSummary());
    const std::string written = readFile(log);
    EXPECT_NE(written.find("sender1@example.org"), std::string::npos) << written;
    EXPECT_NE(written.find("sender2@example.org"), std::string::npos) << written;
}

TEST_F(CheckCycleWindow, DeletedSpamIsRecordedBesideTheSettings) {
    writeFile(folder.file("antiSpamList.txt"), "*@other.example\r\nsender2@*\r\n");
    serveMessages(3);
    start({{server.Port()}});
    harness->box("cbExec")->setChecked(true);
    ASSERT_TRUE(harness->waitForSummary());
    server.Join();
    EXPECT_EQ(server.Deleted(), (std::set<int>{2}));
    const std::string record = readFile(folder.file("deleted.txt"));
    EXPECT_EQ(std::count(record.begin(), record.end(), '\n'), 1) << record;
    EXPECT_NE(record.find("\t127.0.0.1\tuser\tsender2@example.org\tnote\t\tsender: sender2@*\tcommitted\n"),
              std::string::npos)
        << record;

    // A record that cannot be written: the spam stays, and the row and the status bar say why.
    std::filesystem::remove(folder.file("deleted.txt"));
    std::filesystem::create_directory(folder.file("deleted.txt"));
    window->aRestartExecute();
    ASSERT_TRUE(harness->waitForSummary(2));
    server.Join(2);
    EXPECT_EQ(server.Deleted(), (std::set<int>{2})); // from the first check only
    EXPECT_TRUE(window->lwServers()->rowError(0).contains(QStringLiteral("could not be recorded")))
        << window->lwServers()->rowError(0).toStdString();
    EXPECT_TRUE(status().contains(QStringLiteral("deleted.txt"))) << status().toStdString();
}

TEST_F(CheckCycleWindow, ReceivedAddressesOpenFromTheTrayOnTheAntiSpamTab) {
    serveMessages(2);
    // With the list switched off its entry deletes nothing, so both senders are collected.
    writeFile(folder.file("antiSpamList.txt"), "SENDER2@example.org\r\n");
    start({{server.Port()}}, {"AntiSpamListEnabled=0"});
    harness->box("cbExec")->setChecked(true);
    ASSERT_TRUE(harness->waitForSummary());
    window->HideToTray();
    ASSERT_TRUE(waitFor([this] { return !window->isVisible(); }));

    window->aShowMessagesListExecute();
    EXPECT_TRUE(waitFor([this] { return window->isVisible(); }));
    EXPECT_EQ(window->findChild<QTabWidget*>(QStringLiteral("PageControl1"))->currentWidget()->objectName(),
              QStringLiteral("tsAntiSpam"));
    Tmess_list_fm* form = window->mess_list_fm();
    ASSERT_TRUE(form->isVisible());
    // Read from the highest message down; each address once.
    ASSERT_EQ(form->clbMessList()->count(), 2);
    EXPECT_EQ(form->clbMessList()->item(0)->text(), QStringLiteral("sender2@example.org"));
    for (int row = 0; row < 2; ++row) {
        form->clbMessList()->item(row)->setCheckState(Qt::Checked);
    }
    form->aAddToAntispam()->trigger();
    EXPECT_EQ(readFile(folder.file("antiSpamList.txt")), "SENDER2@example.org\r\nsender1@example.org\r\n");
    EXPECT_EQ(window->SenderFilterList().Values().size(), 2u);
}

} // namespace
} // namespace qm::test
