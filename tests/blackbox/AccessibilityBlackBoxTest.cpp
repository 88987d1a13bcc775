// The monitor driven from outside through the accessibility interface, as a screen reader would.
#include "AccessibilityBus.h"
#include "BlackBoxSupport.h"
#include "PanelHost.h"
#include "TestPaths.h"

#include <csignal>
#include <gtest/gtest.h>

namespace qm::test {
namespace {

// Runs the AT-SPI driver with the arguments; its exit code, or -1 when it did not end in time.
int drive(const QProcessEnvironment& env, const QStringList& arguments, QString* errors) {
    QProcess driver;
    driver.setProcessEnvironment(env);
    driver.start(QStringLiteral("/usr/bin/python3"),
                 QStringList{QStringLiteral(QM_SOURCE_DIR "/tests/blackbox/atspi_driver.py")} + arguments);
    const bool ended = driver.waitForFinished(90000);
    *errors = QString::fromLocal8Bit(driver.readAllStandardError());
    if (!ended) {
        driver.kill();
        driver.waitForFinished(5000);
        return -1;
    }
    return driver.exitStatus() == QProcess::NormalExit ? driver.exitCode() : -1;
}

TEST(AccessibilityBlackBox, SenderListIsEditedThroughAtSpi) {
    XServer server;
    ASSERT_TRUE(server.running()) << "Xvfb did not start";
    Installation install(server.display());
    AccessibilityBus bus(server.display(), install.folder() + QStringLiteral("/a11y"));
    ASSERT_TRUE(bus.running()) << "dbus-daemon did not start";
    install.setVariable(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
    install.setVariable(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    QProcess* monitor = install.start();
    const QString list = install.file("antiSpamList.txt");
    ASSERT_TRUE(waitFor([&] { return readFile(list) == "\r\n"; })) << "the monitor did not start up";

    QProcessEnvironment env = server.clientEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
    QString errors;
    ASSERT_EQ(drive(env, {QStringLiteral("add"), QStringLiteral("*@spam.example")}, &errors), 0)
        << errors.toStdString();
    EXPECT_EQ(readFile(list), "*@spam.example\r\n");
    // The same mask in other letter case is not added again.
    ASSERT_EQ(drive(env, {QStringLiteral("add"), QStringLiteral("*@SPAM.example")}, &errors), 0)
        << errors.toStdString();
    EXPECT_EQ(readFile(list), "*@spam.example\r\n");
    ASSERT_EQ(drive(env, {QStringLiteral("delete")}, &errors), 0) << errors.toStdString();
    EXPECT_EQ(readFile(list), "");

    ::kill(static_cast<pid_t>(monitor->processId()), SIGTERM);
    EXPECT_TRUE(monitor->waitForFinished(20000));
    EXPECT_EQ(readFile(list), "");
}

// Under Wayland with a panel: started minimized, the monitor hides to the panel, and a second
// start shows its window again.
TEST(AccessibilityBlackBox, SecondStartShowsTheMonitorOnWayland) {
    XServer server; // for the accessibility bus's launcher only
    ASSERT_TRUE(server.running()) << "Xvfb did not start";
    Installation install(server.display());
    AccessibilityBus bus(server.display(), install.folder() + QStringLiteral("/a11y"));
    ASSERT_TRUE(bus.running()) << "dbus-daemon did not start";
    PanelHost panel;
    ASSERT_TRUE(panel.connect(bus.address()));
    ASSERT_TRUE(panel.startWatcher());
    QProcessEnvironment env = install.environment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
    env.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    WaylandCompositor compositor;
    ASSERT_TRUE(compositor.start(env)) << "weston did not start";
    install.setEnvironment(env);
    writeFile(install.file("quillmere.ini"), "[Main]\r\nMinimized=1\r\n");
    QProcess* first = install.start();
    ASSERT_TRUE(waitFor([&] { return readFile(install.file("antiSpamList.txt")) == "\r\n"; }))
        << "the monitor did not start up";
    EXPECT_FALSE(panel.registeredItem().isEmpty()) << "the monitor's item did not reach the panel";
    QString errors;
    ASSERT_EQ(drive(env, {QStringLiteral("hidden")}, &errors), 0) << errors.toStdString();

    QProcess* second = install.start();
    ASSERT_TRUE(second->waitForFinished(10000));
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_EQ(drive(env, {QStringLiteral("shown")}, &errors), 0) << errors.toStdString();
    EXPECT_EQ(first->state(), QProcess::Running);
    ::kill(static_cast<pid_t>(first->processId()), SIGTERM);
    EXPECT_TRUE(first->waitForFinished(20000));
}

} // namespace
} // namespace qm::test
