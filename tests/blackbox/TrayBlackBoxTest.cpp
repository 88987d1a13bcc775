// The monitor under a private X server with trayer as the system tray: a check with news at
// start-up, the docked icon, its popup on hover, its menu on a right click, and leaving while a
// session hangs.
#include "BlackBoxSupport.h"
#include "FakePop3Server.h"
#include "TrayHost.h"

#include "TestPaths.h"
#include "settings/PasswordScrambler.h"

#include <QRect>
#include <QRegularExpression>
#include <QSet>

#include <csignal>
#include <gtest/gtest.h>

namespace qm::test {
namespace {

std::string monitorSettings(std::uint16_t port) {
    return "[Main]\r\nInterval=5\r\nExecuting=1\r\nLanguage=EN\r\n[Settings1]\r\nPOP3=127.0.0.1\r\n"
           "AccountName=user\r\nAccountPassword=" +
           ScramblePassword("secret") + "\r\nPort=" + std::to_string(port) + "\r\nTimeOut=20\r\n";
}

class TrayBlackBox : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.running()) << "Xvfb did not start";
        install = std::make_unique<Installation>(server.display());
    }
    void TearDown() override {
        install.reset();
        tray.kill();
    }

    QString x11(const QString& program, const QStringList& arguments) const {
        QProcess process;
        process.setProcessEnvironment(install->environment());
        process.start(program, arguments);
        process.waitForFinished(20000);
        return QString::fromLocal8Bit(process.readAllStandardOutput());
    }
    QSet<QString> visible(const QString& how, const QString& what) const {
        const QStringList ids =
            x11(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"), how, what})
                .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        return QSet<QString>(ids.begin(), ids.end());
    }
    QSet<QString> monitorWindows() const { return visible(QStringLiteral("--class"), QStringLiteral("quillmere")); }
    QRect geometry(const QString& window) const {
        const QString info = x11(QStringLiteral("xwininfo"), {QStringLiteral("-id"), window});
        auto field = [&info](const char* name) {
            const QRegularExpression re(QString::fromLatin1(name) + QStringLiteral(":\\s+(-?\\d+)"));
            return re.match(info).captured(1).toInt();
        };
        return {field("Absolute upper-left X"), field("Absolute upper-left Y"), field("Width"), field("Height")};
    }
    void pointer(const QStringList& actions) const { x11(QStringLiteral("xdotool"), actions); }
    void screenshot(const char* name) const {
        x11(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"),
                                       QStringLiteral(QM_TEST_TMP_DIR "/") + QString::fromLatin1(name)});
    }
    void startTray() { ASSERT_TRUE(tray.start(install->environment())) << tray.failure().toStdString(); }

    static XServer server;
    std::unique_ptr<Installation> install;
    TrayHost tray;
};

XServer TrayBlackBox::server;

TEST_F(TrayBlackBox, NewsDocksHoverShowsThePopupAndRightClickTheMenu) {
    FakePop3Server pop3;
    FakeMailbox mailbox;
    mailbox.messages = {"From: a@example.org\r\nSubject: one\r\n\r\nx\r\n",
                        "From: b@example.org\r\nSubject: two\r\n\r\ny\r\n"};
    pop3.ServeMailbox(mailbox);
    pop3.Start();
    writeFile(install->file("quillmere.ini"), monitorSettings(pop3.Port()));
    startTray();
    QProcess* monitor = install->start();
    ASSERT_EQ(monitor->state(), QProcess::Running);

    // The check of the start-up has run through.
    ASSERT_TRUE(waitFor([&pop3] {
        const auto lines = pop3.Received();
        return !lines.empty() && lines.back() == "QUIT";
    }));
    // The icon docked: the small window the tray took in, settled in its slot.
    QString icon;
    ASSERT_TRUE(waitFor([&] {
        const QSet<QString> found = visible(QStringLiteral("--name"), QStringLiteral("quillmere tray"));
        icon = found.isEmpty() ? QString() : *found.begin();
        return !icon.isEmpty() && geometry(icon).width() > 1;
    })) << "the icon never docked";
    QRect previous;
    waitFor([&] {
        const QRect now = geometry(icon);
        const bool settled = now == previous;
        previous = now;
        return settled;
    });
    const QPoint centre = geometry(icon).center();
    screenshot("wire-window-and-tray.png");

    const QSet<QString> before = monitorWindows();
    pointer({QStringLiteral("mousemove"), QString::number(centre.x()), QString::number(centre.y())});
    QString popup;
    ASSERT_TRUE(waitFor([&] {
        const QSet<QString> now = monitorWindows() - before;
        popup = now.isEmpty() ? QString() : *now.begin();
        return !popup.isEmpty();
    })) << "no popup while resting on the icon";
    const QRect placed = geometry(popup);
    EXPECT_EQ(placed.x() + placed.width(), centre.x()); // left of the pointer
    EXPECT_GE(placed.y(), 0);
    screenshot("wire-tray-popup.png");

    pointer({QStringLiteral("mousemove"), QStringLiteral("300"), QStringLiteral("400")});
    EXPECT_TRUE(waitFor([&] { return !monitorWindows().contains(popup); })) << "the popup stayed";

    const QSet<QString> beforeMenu = monitorWindows();
    pointer({QStringLiteral("mousemove"), QString::number(centre.x()), QString::number(centre.y()),
             QStringLiteral("click"), QStringLiteral("3")});
    EXPECT_TRUE(waitFor([&] { return !(monitorWindows() - beforeMenu).isEmpty(); })) << "no menu";
    screenshot("wire-tray-menu.png");
    pointer({QStringLiteral("key"), QStringLiteral("Escape")});

    ::kill(static_cast<pid_t>(monitor->processId()), SIGTERM);
    ASSERT_TRUE(monitor->waitForFinished(20000));
    EXPECT_EQ(monitor->exitCode(), 0);
}

TEST_F(TrayBlackBox, SigtermWhileASessionHangsEndsTheMonitor) {
    FakePop3Server pop3;
    pop3.SendLine("+OK ready").Stall(); // greets, then never answers
    pop3.Start();
    writeFile(install->file("quillmere.ini"), monitorSettings(pop3.Port()));
    QProcess* monitor = install->start();
    ASSERT_TRUE(waitFor([&pop3] { return !pop3.Received().empty(); })) << "the session never logged in";

    ::kill(static_cast<pid_t>(monitor->processId()), SIGTERM);
    ASSERT_TRUE(monitor->waitForFinished(20000)) << "the monitor hangs on its session";
    EXPECT_EQ(monitor->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(monitor->exitCode(), 0);
    // Saved on the way out, checking still switched on.
    EXPECT_NE(readFile(install->file("quillmere.ini")).find("Executing=1"), std::string::npos);
}

} // namespace
} // namespace qm::test
