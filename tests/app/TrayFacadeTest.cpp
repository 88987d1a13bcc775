// The plain tray icon and the keyboard commands of the window.
#include "AppTestSupport.h"

#include "support/PlainTrayIcon.h"
#include "ui/AccountListView.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QSignalSpy>
#include <QSystemTrayIcon>

#include <gtest/gtest.h>

namespace qm::test {
namespace {

TEST(PlainTray, ImageIndexIsClampedToTheList) {
    QWidget window;
    PlainTrayIcon tray(&window);
    const QList<QIcon> list{FallbackEnvelopeIcon(false), FallbackEnvelopeIcon(true), FallbackEnvelopeIcon(false)};
    const struct {
        int set;
        int shown;
    } rows[] = {{0, 0}, {1, 1}, {2, 2}, {20, 2}, {-5, 0}};
    tray.setIconList(list);
    for (const auto& row : rows) {
        tray.setIconIndex(row.set);
        EXPECT_EQ(tray.iconIndex(), row.shown) << row.set;
    }
    tray.setIconIndex(2);
    tray.setIconList(list);
    EXPECT_EQ(tray.iconIndex(), 0);
    tray.setIconList({});
    tray.setIconIndex(3);
    EXPECT_EQ(tray.iconIndex(), 0);
}

TEST(PlainTray, DoubleClickRunsTheMenusDefaultItemAndHideRestoreActOnTheWindow) {
    QWidget window;
    window.show();
    PlainTrayIcon tray(&window);
    QMenu menu;
    QAction* other = menu.addAction(QStringLiteral("other"));
    QAction* preferred = menu.addAction(QStringLiteral("default"));
    menu.setDefaultAction(preferred);
    tray.setPopupMenu(&menu);
    QSignalSpy ran(preferred, &QAction::triggered);
    QSignalSpy notRan(other, &QAction::triggered);
    emit tray.systemTrayIcon()->activated(QSystemTrayIcon::Trigger);
    EXPECT_EQ(ran.count(), 0);
    emit tray.systemTrayIcon()->activated(QSystemTrayIcon::DoubleClick);
    EXPECT_EQ(ran.count(), 1);
    preferred->setEnabled(false);
    emit tray.systemTrayIcon()->activated(QSystemTrayIcon::DoubleClick);
    EXPECT_EQ(ran.count(), 1);
    EXPECT_EQ(notRan.count(), 0);

    tray.HideToTray();
    EXPECT_FALSE(window.isVisible());
    window.showMinimized();
    tray.HideToTray();
    tray.RestoreFromTray();
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isMinimized());
}

TEST(WindowKeys, AccountListHasTheFocusFirst) {
    AppFolder folder;
    auto window = startWindow(folder);
    ASSERT_NE(window, nullptr);
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    EXPECT_EQ(QApplication::focusWidget(), window->lwServers());
}

TEST(WindowKeys, CtrlCAndCtrlVCopyAndPasteAnAccount) {
    AppFolder folder;
    writeFile(folder.file("quillmere.ini"), "[Main]\r\n[Settings1]\r\nPOP3=pop.one.org\r\nAccountName=ann\r\n");
    auto window = startWindow(folder);
    ASSERT_NE(window, nullptr);
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    AccountListView* list = window->lwServers();
    list->setFocus();
    list->setRowSelected(0, true);
    window->refreshTimerTimer();
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    window->refreshTimerTimer();
    QTest::keyClick(list, Qt::Key_V, Qt::ControlModifier);
    ASSERT_EQ(list->rowCount(), 2);
    EXPECT_EQ(list->row(1).Caption, "pop.one.org");
}

} // namespace
} // namespace qm::test
