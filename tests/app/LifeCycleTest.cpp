// Hiding, restoring, leaving, the termination signals and the autostart switch.
#include "AppTestSupport.h"

#include "app/SignalWatcher.h"
#include "platform/AutoStart.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QMenu>

#include <csignal>
#include <gtest/gtest.h>

namespace qm::test {
namespace {

// Runs the event loop until the code under test ends it; a test that never ends it fails by the
// limit's exit code instead of hanging.
int runEventLoop(const std::function<void()>& start) {
    QTimer::singleShot(0, start);
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    limit.start(60000);
    return QApplication::exec();
}

TEST(LifeCycle, CloseHidesToTheTrayAndWritesTheSettings) {
    AppFolder folder;
    auto window = startWindow(folder);
    ASSERT_NE(window, nullptr);
    std::filesystem::remove(folder.file("quillmere.ini"));
    std::filesystem::remove(folder.file("antiSpamList.txt"));
    window->close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(std::filesystem::exists(folder.file("quillmere.ini")));
    EXPECT_EQ(readFile(folder.file("antiSpamList.txt")), "");
    window->action("aRestore")->trigger();
    EXPECT_TRUE(window->isVisible());
}

TEST(LifeCycle, MinimizingHidesAndRestoreBringsTheWindowBackNormal) {
    AppFolder folder;
    auto window = startWindow(folder);
    ASSERT_NE(window, nullptr);
    TmQuillmere* raw = window.get();
    window->showMinimized();
    EXPECT_TRUE(waitFor([raw] { return !raw->isVisible(); }));
    window->action("aRestore")->trigger();
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isMinimized());

    window->action("aMinimize")->trigger();
    EXPECT_FALSE(window->isVisible());
    setTrayPresent(*window, false); // closing only minimizes: the task bar still reaches the window
    window->action("aRestore")->trigger();
    window->close();
    EXPECT_TRUE(window->isVisible() && window->isMinimized());
}

TEST(LifeCycle, ExitAnsweredNoHasSavedAndKeepsRunning) {
    AppFolder folder;
    writeFile(folder.file("quillmere.ini"), "[Main]\r\nLanguage=RU\r\n");
    auto window = startWindow(folder);
    ASSERT_NE(window, nullptr);
    std::filesystem::remove(folder.file("quillmere.ini"));
    BoxAnswerer no(QMessageBox::No);
    window->action("aExit")->trigger();
    EXPECT_TRUE(no.answered());
    EXPECT_EQ(no.text(), QStringLiteral("Вы уверены?"));
    EXPECT_TRUE(std::filesystem::exists(folder.file("quillmere.ini")));
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->refreshTimer()->isActive());
}

TEST(LifeCycle, ExitAnsweredYesEndsTheEventLoop) {
    AppFolder folder;
    auto window = startWindow(folder);
    ASSERT_NE(window, nullptr);
    std::filesystem::remove(folder.file("quillmere.ini"));
    BoxAnswerer yes(QMessageBox::Yes);
    TmQuillmere* raw = window.get();
    const int code = runEventLoop([raw] { raw->action("aExit")->trigger(); });
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(yes.answered());
    EXPECT_EQ(yes.text(), QStringLiteral("Are you sure?"));
    EXPECT_EQ(readFile(folder.file("quillmere.ini")).substr(0, 8), "[Main]\r\n");
}

TEST(LifeCycle, TerminationSignalSavesAndEndsTheEventLoop) {
    for (int number : {SIGTERM, SIGINT}) {
        AppFolder folder;
        auto window = startWindow(folder);
        ASSERT_NE(window, nullptr);
        SignalWatcher watcher;
        ASSERT_TRUE(watcher.isActive());
        QObject::connect(&watcher, &SignalWatcher::terminationRequested, window.get(), &TmQuillmere::SaveAndQuit);
        window->action("Italian1")->trigger();
        std::filesystem::remove(folder.file("quillmere.ini"));
        const int code = runEventLoop([number] { ::raise(number); });
        EXPECT_EQ(code, 0) << number;
        EXPECT_NE(readFile(folder.file("quillmere.ini")).find("Language=IT\r\n"), std::string::npos) << number;
    }
}

TEST(LifeCycle, RightClickOnTheFreeAreaOpensTheTrayMenu) {
    AppFolder folder;
    auto window = startWindow(folder);
    ASSERT_NE(window, nullptr);
    QWidget* freeArea = window->findChild<QWidget*>(QStringLiteral("Panel3"));
    ASSERT_NE(freeArea, nullptr);
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2), freeArea->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(freeArea, &event);
    QMenu* menu = window->PopupMenu1();
    EXPECT_TRUE(waitFor([menu] { return menu->isVisible(); }));
    menu->close();
}

class AutoStartBox : public ::testing::Test {
protected:
    QCheckBox* box(TmQuillmere& window) { return window.findChild<QCheckBox*>(QStringLiteral("cbAutoLoad")); }
    std::string exe() const { return folder.executable().string(); }
    AppFolder folder;
};

TEST_F(AutoStartBox, CheckingRegistersAndUncheckingRemoves) {
    auto window = startWindow(folder);
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(box(*window)->isChecked());
    box(*window)->click();
    EXPECT_TRUE(box(*window)->isChecked());
    EXPECT_TRUE(IsAutoStartRegistered(exe(), folder.configHome()));
    box(*window)->click();
    EXPECT_FALSE(box(*window)->isChecked());
    EXPECT_FALSE(std::filesystem::exists(AutoStartEntryPath(folder.configHome())));
}

TEST_F(AutoStartBox, EntryForAnotherPathShowsUncheckedAndCheckingRewritesIt) {
    ASSERT_TRUE(SetAutoStart(true, "/opt/old/quillmere", folder.configHome()));
    auto window = startWindow(folder);
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(box(*window)->isChecked());
    box(*window)->click();
    EXPECT_TRUE(box(*window)->isChecked());
    EXPECT_TRUE(IsAutoStartRegistered(exe(), folder.configHome()));
}

TEST_F(AutoStartBox, EntryForThisPathShowsCheckedAtStart) {
    ASSERT_TRUE(SetAutoStart(true, exe(), folder.configHome()));
    auto window = startWindow(folder);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(box(*window)->isChecked());
    EXPECT_TRUE(IsAutoStartRegistered(exe(), folder.configHome()));
}

TEST_F(AutoStartBox, UnwritableFolderLeavesTheBoxUnchecked) {
    std::filesystem::create_directories(folder.configHome());
    writeFile(folder.configHome() / "autostart", "not a folder");
    auto window = startWindow(folder);
    ASSERT_NE(window, nullptr);
    box(*window)->click();
    EXPECT_FALSE(box(*window)->isChecked());
    EXPECT_FALSE(IsAutoStartRegistered(exe(), folder.configHome()));
}

} // namespace
} // namespace qm::test
