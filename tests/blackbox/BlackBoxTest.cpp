// The monitor from the outside: its files, its signals, and one instance per user.
#include "BlackBoxSupport.h"
#include "TrayHost.h"

#include <QFile>

#include <csignal>
#include <gtest/gtest.h>

namespace qm::test {
namespace {

const QString kTitle = QStringLiteral("Quillmere32");

class BlackBox : public ::testing::Test {
protected:
    static void SetUpTestSuite() { server = new XServer; }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(server->running()) << "Xvfb did not start";
        install = std::make_unique<Installation>(server->display());
    }
    void TearDown() override { install.reset(); }

    bool startedUp() const {
        return readFile(install->file("antiSpamList.txt")) == "\r\n" &&
               readFile(install->file("antiSpamSbjList.txt")) == "\r\n";
    }
    static bool running(const QProcess* process) { return process->state() == QProcess::Running; }

    static XServer* server;
    std::unique_ptr<Installation> install;
};

XServer* BlackBox::server = nullptr;

TEST_F(BlackBox, FirstStartCreatesItsFilesAndSigtermSavesAndEnds) {
    QProcess* monitor = install->start();
    ASSERT_TRUE(running(monitor));
    ASSERT_TRUE(waitFor([this] { return startedUp(); }));
    // The settings file follows the lists in the same start-up step.
    EXPECT_TRUE(waitFor([this] { return readFile(install->file("quillmere.ini")) == defaultSettingsFile(); }))
        << readFile(install->file("quillmere.ini"));
    EXPECT_TRUE(waitFor([this] { return install->visibleWindows(kTitle) == 1; }));

    QFile::remove(install->file("quillmere.ini"));
    ::kill(static_cast<pid_t>(monitor->processId()), SIGTERM);
    ASSERT_TRUE(monitor->waitForFinished(20000));
    EXPECT_EQ(monitor->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(monitor->exitCode(), 0);
    // Saved on the way out, keys in the order the save writes them.
    const std::string saved = readFile(install->file("quillmere.ini"));
    const std::string head = "[Main]\r\nInterval=5\r\nLanguage=EN\r\nMailClient=\r\nExecuting=0\r\nMinimized=0\r\n";
    EXPECT_EQ(saved.substr(0, head.size()), head) << saved;
    EXPECT_EQ(readFile(install->file("antiSpamList.txt")), "");
}

TEST_F(BlackBox, SecondStartEndsAndShowsTheRunningMonitor) {
    TrayHost tray; // without one, starting minimized only minimizes
    ASSERT_TRUE(tray.start(install->environment())) << tray.failure().toStdString();
    writeFile(install->file("quillmere.ini"), "[Main]\r\nMinimized=1\r\n");
    QProcess* first = install->start();
    ASSERT_TRUE(waitFor([this] { return startedUp(); }));
    // Started minimized: hidden to the tray.
    ASSERT_TRUE(waitFor([this] { return install->visibleWindows(kTitle) == 0; }));

    QProcess* second = install->start();
    ASSERT_TRUE(second->waitForFinished(10000));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_TRUE(waitFor([this] { return install->visibleWindows(kTitle) == 1; }));
    EXPECT_TRUE(running(first));

    // A later start never even opens the display: with one that does not exist it still ends cleanly.
    QProcess* third = install->start(QStringLiteral(":9999"));
    ASSERT_TRUE(third->waitForFinished(10000));
    EXPECT_EQ(third->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(third->exitCode(), 0);
    EXPECT_TRUE(running(first));
}

TEST_F(BlackBox, KilledMonitorDoesNotBlockTheNextStart) {
    QProcess* first = install->start();
    ASSERT_TRUE(waitFor([this] { return startedUp(); }));
    first->kill();
    ASSERT_TRUE(first->waitForFinished(10000));

    QFile::remove(install->file("quillmere.ini"));
    QFile::remove(install->file("antiSpamList.txt"));
    QProcess* next = install->start();
    // It got through start-up, so it is the one monitor now ...
    ASSERT_TRUE(waitFor([this] { return readFile(install->file("quillmere.ini")) == defaultSettingsFile(); }));
    EXPECT_TRUE(running(next));
    // ... and answers a later start, which ends.
    QProcess* probe = install->start();
    ASSERT_TRUE(probe->waitForFinished(10000));
    EXPECT_EQ(probe->exitCode(), 0);
    EXPECT_TRUE(running(next));
    ::kill(static_cast<pid_t>(next->processId()), SIGTERM);
    EXPECT_TRUE(next->waitForFinished(20000));
}

} // namespace
} // namespace qm::test
