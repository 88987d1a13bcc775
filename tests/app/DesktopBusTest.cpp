// The monitor on the desktop's buses, each a dbus-daemon of the test's own: notifications
// against a notification server of ours, and the check after a resume with a stand-in logind.
#include "CheckWindowSupport.h"
#include "DovecotServer.h"
#include "PrivateBus.h"

#include "app/DesktopWiring.h"
#include "ui/AccountListView.h"
#include "platform/gui/DesktopNotifier.h"
#include "platform/gui/SleepWatcher.h"

#include <QAction>
#include <QElapsedTimer>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace qm::test {
namespace {

const QStringList kFullServer = {QStringLiteral("body"), QStringLiteral("actions"), QStringLiteral("body-markup")};

class Notifier : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(bus.isRunning()) << "dbus-daemon did not start"; }
    PrivateBus bus{QStringLiteral("notifier")};
};

TEST_F(Notifier, EachCallReplacesThePreviousNotification) {
    FakeNotificationServer server(bus.connect(QStringLiteral("server")), kFullServer);
    ASSERT_TRUE(server.isRegistered());
    DesktopNotifier notifier(bus.connect(QStringLiteral("client")), QStringLiteral("quillmere"),
                             QStringLiteral("org.quillmere.Quillmere32"));
    notifier.setActionLabel(QStringLiteral("Run Mail Client"));
    QSignalSpy activated(&notifier, &DesktopNotifier::activated);

    notifier.notify(QStringLiteral("you have 2 messages in total."), QStringLiteral("a <b> & c"));
    QTRY_COMPARE(server.calls.size(), std::size_t(1));
    notifier.notify(QStringLiteral("you have 3 messages in total."), QStringLiteral("next"));
    QTRY_COMPARE(server.calls.size(), std::size_t(2));

    const NotifyCall& first = server.calls[0];
    EXPECT_EQ(first.replacesId, 0u);
    EXPECT_EQ(first.appName, QStringLiteral("Quillmere32"));
    EXPECT_EQ(first.appIcon, QStringLiteral("quillmere"));
    EXPECT_EQ(first.summary, QStringLiteral("you have 2 messages in total."));
    // The server reads the body as markup, so the text's own brackets are escaped.
    EXPECT_EQ(first.body, QStringLiteral("a &lt;b&gt; &amp; c"));
    EXPECT_EQ(first.actions, (QStringList{QStringLiteral("default"), QStringLiteral("Run Mail Client")}));
    EXPECT_EQ(first.hints.value(QStringLiteral("desktop-entry")).toString(),
              QStringLiteral("org.quillmere.Quillmere32"));
    EXPECT_EQ(server.calls[1].replacesId, 41u);
    EXPECT_EQ(server.capabilityQueries, 1);

    // Only the default action of our own notification runs the mail client.
    server.invokeAction(99, QStringLiteral("default"));
    server.invokeAction(41, QStringLiteral("default"));
    QTRY_COMPARE(activated.size(), 1);
    QTest::qWait(50); // the foreign id's signal came first; nothing else may arrive
    EXPECT_EQ(activated.size(), 1);
}

TEST_F(Notifier, PlainServerGetsPlainTextAndNoActions) {
    FakeNotificationServer server(bus.connect(QStringLiteral("server")), {QStringLiteral("body")});
    DesktopNotifier notifier(bus.connect(QStringLiteral("client")), QStringLiteral("quillmere"), QStringLiteral("q"));
    notifier.notify(QStringLiteral("s"), QStringLiteral("a <b>"));
    QTRY_COMPARE(server.calls.size(), std::size_t(1));
    EXPECT_EQ(server.calls[0].body, QStringLiteral("a <b>"));
    EXPECT_TRUE(server.calls[0].actions.isEmpty());
}

TEST_F(Notifier, HangingServerNeverHoldsTheCallerAndGetsNoPileUp) {
    FakeNotificationServer server(bus.connect(QStringLiteral("server")), kFullServer, true);
    DesktopNotifier notifier(bus.connect(QStringLiteral("client")), QStringLiteral("quillmere"), QStringLiteral("q"));
    QElapsedTimer clock;
    clock.start();
    notifier.notify(QStringLiteral("one"), QStringLiteral("b"));
    QTRY_COMPARE(server.calls.size(), std::size_t(1));
    for (int i = 0; i < 5; ++i) {
        notifier.notify(QStringLiteral("more"), QStringLiteral("b"));
    }
    // The event loop keeps running while the server sits on the call...
    bool ticked = false;
    QTimer::singleShot(0, [&ticked] { ticked = true; });
    QTRY_VERIFY(ticked);
    QTest::qWait(100);
    // ...and the newer notifications wait for its answer instead of stacking up.
    EXPECT_EQ(server.calls.size(), 1u);
}

TEST_F(Notifier, NoServerOrNoBusShowsAndReportsNothing) {
    DesktopNotifier onBus(bus.connect(QStringLiteral("client")), QStringLiteral("quillmere"), QStringLiteral("q"));
    QSignalSpy activated(&onBus, &DesktopNotifier::activated);
    onBus.notify(QStringLiteral("s"), QStringLiteral("b"));
    // A server that appears later gets the next notification.
    QTest::qWait(100);
    FakeNotificationServer late(bus.connect(QStringLiteral("server")), kFullServer);
    onBus.notify(QStringLiteral("later"), QStringLiteral("b"));
    QTRY_COMPARE(late.calls.size(), std::size_t(1));
    EXPECT_EQ(late.calls[0].summary, QStringLiteral("later"));
    EXPECT_EQ(activated.size(), 0);

    DesktopNotifier noBus(QDBusConnection(QStringLiteral("never-connected")), QStringLiteral("quillmere"),
                          QStringLiteral("q"));
    noBus.notify(QStringLiteral("s"), QStringLiteral("b"));
    SleepWatcher noSystemBus(QDBusConnection(QStringLiteral("never-connected")));
    EXPECT_FALSE(noSystemBus.isWatching());
}

// The window with both buses of its own, a notification server and a stand-in logind.
class DesktopWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(session.isRunning() && system.isRunning()) << "dbus-daemon did not start";
        ASSERT_TRUE(logind.isRegistered() && notifications.isRegistered());
    }
    void start(const std::vector<std::string>& mainLines, std::vector<TestAccount> accounts = {}) {
        if (accounts.empty()) {
            accounts.push_back({pop3.Port()});
        }
        writeFile(folder.file("quillmere.ini"), settingsFile(accounts, mainLines));
        harness = std::make_unique<CheckWindow>(folder);
        ASSERT_NE(harness->window, nullptr);
        wiring = new DesktopWiring(*harness->window, session.connect(QStringLiteral("monitor")),
                                   system.connect(QStringLiteral("monitor")));
        wiring->setResumeDelay(std::chrono::milliseconds(200));
        ASSERT_TRUE(wiring->sleepWatcher().isWatching());
    }
    void serve(int messages) {
        FakeMailbox mailbox;
        for (int i = 1; i <= messages; ++i) {
            mailbox.messages.push_back(testMessage("s" + std::to_string(i) + "@example.org", "note"));
        }
        pop3.ServeMailbox(mailbox);
        pop3.Start();
    }

    PrivateBus session{QStringLiteral("session")};
    PrivateBus system{QStringLiteral("system")};
    StandInLogind logind{system.connect(QStringLiteral("logind"))};
    FakeNotificationServer notifications{session.connect(QStringLiteral("server")), kFullServer};
    FakePop3Server pop3;
    AppFolder folder;
    std::unique_ptr<CheckWindow> harness;
    DesktopWiring* wiring = nullptr;
};

TEST_F(DesktopWindow, CheckWithNewsNotifiesWithTheStatusAndPopupTexts) {
    serve(2);
    start({"Notify=1"});
    ASSERT_TRUE(harness->box("cbNotify")->isChecked());
    harness->box("cbExec")->setChecked(true);
    ASSERT_TRUE(harness->waitForSummary(1));
    QTRY_COMPARE(notifications.calls.size(), std::size_t(1));
    EXPECT_EQ(notifications.calls[0].summary, QStringLiteral("you have 2 messages in total."));
    EXPECT_EQ(notifications.calls[0].body, QStringLiteral("in total 2 messages:\n127.0.0.1(user): 2"));
    EXPECT_EQ(notifications.calls[0].replacesId, 0u);

    harness->check().TmTimer();
    ASSERT_TRUE(harness->waitForSummary(2));
    QTRY_COMPARE(notifications.calls.size(), std::size_t(2));
    EXPECT_EQ(notifications.calls[1].replacesId, 41u);

    // Activating the notification runs the mail client (one that starts, so no dialog opens).
    harness->window->SetMailClient("true");
    QSignalSpy run(harness->window->action("aRunMailclient"), &QAction::triggered);
    notifications.invokeAction(41, QStringLiteral("default"));
    QTRY_COMPARE(run.size(), 1);
}

TEST_F(DesktopWindow, NothingWhenTheBoxIsOff) {
    serve(2);
    start({});
    EXPECT_FALSE(harness->box("cbNotify")->isChecked());
    harness->box("cbExec")->setChecked(true);
    ASSERT_TRUE(harness->waitForSummary(1));
    EXPECT_EQ(harness->check().cycle().NoticedMessages(), 2);
    QTest::qWait(200);
    EXPECT_TRUE(notifications.calls.empty());
}

TEST_F(DesktopWindow, NothingForACheckWithoutNews) {
    serve(0);
    start({"Notify=1"});
    harness->box("cbExec")->setChecked(true);
    ASSERT_TRUE(harness->waitForSummary(1));
    QTest::qWait(200);
    EXPECT_TRUE(notifications.calls.empty());
}

TEST_F(DesktopWindow, ResumeAbortsTheOldSessionAndChecksAgain) {
    // The first session hangs after the greeting, as a connection does across a suspend.
    pop3.SendLine("+OK ready").ExpectAny().Stall();
    pop3.Start();
    start({});
    harness->box("cbExec")->setChecked(true);
    QTRY_COMPARE(pop3.Sessions(), 1);

    logind.prepareForSleep(true);
    QTest::qWait(50);
    EXPECT_EQ(harness->summaries, 0);
    logind.prepareForSleep(false);
    // The stalled session is aborted at once and the check is published; its read time-out
    // (20 s) is never waited for.
    ASSERT_TRUE(waitFor([this] { return harness->summaries >= 1; }, 10000));
    EXPECT_TRUE(wiring->resumeTimer().isActive());
    // The new check starts after the delay.
    QTRY_COMPARE(pop3.Sessions(), 2);
}

TEST_F(DesktopWindow, ResumeReconnectsPushAndMailIsCheckedWithoutAnIntervalCheck) {
    DovecotServer dovecot;
    const auto logins = [&dovecot] {
        const std::string log = dovecot.Log();
        const std::string login = "imap-login: Info: Login:";
        int count = 0;
        for (auto at = log.find(login); at != std::string::npos; at = log.find(login, at + login.size())) {
            ++count;
        }
        return count;
    };
    start({"Interval=35791"}, {{dovecot.ImapPort(), dovecot.User(), dovecot.Password(), false, "Protocol=1\r\n"}});
    wiring->setResumeDelay(std::chrono::minutes(30)); // only push can check in time
    harness->box("cbExec")->setChecked(true);
    ASSERT_TRUE(harness->waitForSummary(1));
    const auto pushed = [this] {
        return harness->window->lwServers()->rowPush(0) == harness->window->tr_("connected for push");
    };
    ASSERT_TRUE(waitFor(pushed, 10000)) << dovecot.Log();
    const int before = logins();

    logind.prepareForSleep(true);
    logind.prepareForSleep(false);
    ASSERT_TRUE(waitFor([&] { return logins() > before && pushed(); }, 15000)) << dovecot.Log();
    dovecot.AddMessage("From: friend@example.com\r\nSubject: After the resume\r\n\r\nhi\r\n");
    ASSERT_TRUE(waitFor([this] { return harness->summaries >= 2; }, 5000)) << dovecot.Log();
    EXPECT_EQ(harness->check().cycle().NoticedMessages(), 1);
    EXPECT_TRUE(harness->check().Shutdown(std::chrono::seconds(2)));
}

TEST_F(DesktopWindow, ResumeWhileStoppedDoesNothing) {
    serve(0);
    start({});
    logind.prepareForSleep(false);
    QTest::qWait(400);
    EXPECT_FALSE(wiring->resumeTimer().isActive());
    EXPECT_EQ(pop3.Sessions(), 0);
    EXPECT_EQ(harness->summaries, 0);
}

} // namespace
} // namespace qm::test
