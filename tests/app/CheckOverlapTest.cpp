// Checks that are still running when the user restarts, switches off or leaves.
#include "CheckWindowSupport.h"

#include "app/CheckWiring.h"

#include "app/QtMainThreadInvoker.h"
#include "ui/AccountListView.h"

#include <QAction>
#include <QSpinBox>
#include <QThread>

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace qm::test {
namespace {

class StalledCheck : public ::testing::Test {
protected:
    void SetUp() override {
        // Greets, then never answers: every session waits for its reply.
        server.SendLine("+OK ready").Stall();
        server.Start();
        writeFile(folder.file("quillmere.ini"), settingsFile({{server.Port()}}));
        harness = std::make_unique<CheckWindow>(folder);
        ASSERT_NE(harness->window, nullptr);
        window = harness->window.get();
        window->refreshTimer()->stop(); // ticks are run by hand
    }
    bool sessionWaiting() {
        return waitFor([this] { return !server.Received().empty(); }, 20000);
    }

    FakePop3Server server;
    AppFolder folder;
    std::unique_ptr<CheckWindow> harness;
    TmQuillmere* window = nullptr;
};

TEST_F(StalledCheck, RestartCountsOldAndNewWorkersAndPublishesOnce) {
    harness->box("cbExec")->setChecked(true);
    ASSERT_TRUE(sessionWaiting());
    EXPECT_EQ(window->checkWiring()->cycle().RunningWorkers(), 1);
    window->action("aRestart")->trigger();
    EXPECT_TRUE(harness->box("cbExec")->isChecked());
    EXPECT_EQ(window->checkWiring()->cycle().RunningWorkers(), 2);
    // The new check has cleared the status line; its session's first line comes later.
    EXPECT_TRUE(window->statusText().isEmpty());
    EXPECT_TRUE(waitFor([this] { return window->statusText() == QStringLiteral("connecting to 127.0.0.1..."); }));

    server.Stop(); // both sessions lose their connection
    ASSERT_TRUE(waitFor([this] { return window->checkWiring()->cycle().RunningWorkers() == 0; }, 20000));
    EXPECT_EQ(harness->summaries, 1);
    EXPECT_EQ(window->statusText(), QStringLiteral("you haven't new messages"));
    EXPECT_TRUE(window->Tm()->isActive());
}

TEST_F(StalledCheck, RefreshTickDuringACheckShowsStartAndTheStoppedIcon) {
    harness->box("cbExec")->setChecked(true);
    ASSERT_TRUE(sessionWaiting());
    window->refreshTimerTimer();
    EXPECT_EQ(window->action("aCheckMail")->text(), QStringLiteral("Start"));
    EXPECT_TRUE(sameIcons(harness->tray()->iconList(), window->imStopped));
    EXPECT_FALSE(window->findChild<QSpinBox*>(QStringLiteral("seInterval"))->isEnabled());
    EXPECT_FALSE(window->action("aAddAccount")->isEnabled());
    EXPECT_NE(harness->box("cbExec")->palette().color(QPalette::WindowText), QColor(Qt::blue));

    // Switching off during the check: its result still comes, the timer stays off.
    window->action("aCheckMail")->trigger();
    EXPECT_FALSE(harness->box("cbExec")->isChecked());
    server.Stop();
    ASSERT_TRUE(harness->waitForSummary());
    EXPECT_FALSE(window->Tm()->isActive());
    window->refreshTimerTimer();
    EXPECT_EQ(window->action("aCheckMail")->text(), QStringLiteral("Start"));
    EXPECT_TRUE(sameIcons(harness->tray()->iconList(), window->imStopped));
    EXPECT_TRUE(window->findChild<QSpinBox*>(QStringLiteral("seInterval"))->isEnabled());
}

TEST_F(StalledCheck, LeavingDuringACheckLetsTheSessionGo) {
    harness->box("cbExec")->setChecked(true);
    ASSERT_TRUE(sessionWaiting());
    // The connection is cut, so the worker ends well within the grace time.
    EXPECT_TRUE(window->checkWiring()->Shutdown(std::chrono::milliseconds(10000)));
    EXPECT_TRUE(window->checkWiring()->IsShutDown());
    // Nothing more starts once the window is going.
    window->TmTimer();
    EXPECT_EQ(window->checkWiring()->cycle().RunningWorkers(), 1);
    harness.reset();
}

TEST_F(StalledCheck, TickOfTheCheckTimerStartsTheNextCheck) {
    server.Stop();
    harness->check().setMinuteMs(20); // a "minute" of 20 ms
    window->findChild<QSpinBox*>(QStringLiteral("seInterval"))->setValue(2);
    harness->box("cbExec")->setChecked(true);
    EXPECT_EQ(window->Tm()->interval(), 40);
    // The refused connection ends the first check; the timer then starts the next ones.
    ASSERT_TRUE(harness->waitForSummary(3));
    EXPECT_FALSE(window->lwServers()->rowError(0).isEmpty());
}

TEST(CheckOverlap, RestartAfterReorderingLeavesEachWorkerMarkingItsOwnAccount) {
    FakePop3Server failing; // stalls; its sessions fail when it stops
    failing.SendLine("+OK ready").Stall();
    failing.Start();
    FakePop3Server stalled; // stalls for the whole test
    stalled.SendLine("+OK ready").Stall();
    stalled.Start();
    AppFolder folder;
    writeFile(folder.file("quillmere.ini"), settingsFile({{failing.Port(), "zed"}, {stalled.Port(), "amy"}}));
    CheckWindow harness(folder);
    TmQuillmere* window = harness.window.get();
    window->refreshTimer()->stop();
    AccountListView* list = window->lwServers();

    harness.box("cbExec")->setChecked(true);
    ASSERT_TRUE(waitFor([&] { return failing.Sessions() == 1 && stalled.Sessions() == 1; }, 20000));
    // Sorted by account name, zed moves from the first row to the second; a Restart then starts
    // a check that numbers the rows anew while the first check's sessions still run.
    list->sortRowsBy(1);
    ASSERT_EQ(list->cell(1, 1), "zed");
    window->action("aRestart")->trigger();
    ASSERT_EQ(window->checkWiring()->cycle().RunningWorkers(), 4);

    failing.Stop(); // zed's sessions of both checks fail
    ASSERT_TRUE(waitFor([&] { return window->checkWiring()->cycle().RunningWorkers() == 2; }, 20000));
    EXPECT_FALSE(list->rowError(1).isEmpty());
    EXPECT_TRUE(list->rowError(0).isEmpty()) << "amy's row took the mark of zed's first session";
    stalled.Stop();
    ASSERT_TRUE(harness.waitForSummary());
}

TEST(QtMainThreadInvokerTest, CallsRunOnTheMainThreadWhileTheWorkerWaits) {
    QtMainThreadInvoker invoker;
    int after = 0;
    invoker.setAfterCall([&after] { ++after; });
    QThread* ranOn = nullptr;
    std::atomic<bool> returned{false};
    bool result = false;
    std::thread worker([&] {
        result = invoker.invokeOnMainThread([&ranOn] { ranOn = QThread::currentThread(); });
        returned = true;
    });
    ASSERT_TRUE(waitFor([&returned] { return returned.load(); }));
    worker.join();
    EXPECT_TRUE(result);
    EXPECT_EQ(ranOn, QThread::currentThread());
    EXPECT_EQ(after, 1);
}

TEST(QtMainThreadInvokerTest, CloseReleasesAWaitingWorkerWithoutRunningItsCall) {
    QtMainThreadInvoker invoker;
    std::atomic<bool> calling{false};
    std::atomic<bool> ran{false};
    bool result = true;
    std::thread worker([&] {
        calling = true;
        result = invoker.invokeOnMainThread([&ran] { ran = true; });
    });
    // The main thread does not run its event loop here, as when the window is being destroyed.
    while (!calling.load()) {
        std::this_thread::yield();
    }
    invoker.Close();
    worker.join();
    EXPECT_FALSE(result);
    EXPECT_FALSE(ran.load());
    EXPECT_FALSE(invoker.invokeOnMainThread([&ran] { ran = true; }));
    QCoreApplication::processEvents();
    EXPECT_FALSE(ran.load());
}

} // namespace
} // namespace qm::test
