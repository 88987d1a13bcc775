// The window's tray icon: its menu, its popup with the check's text, the popup's timers.
#include "CheckWindowSupport.h"

#include "tray/TextTrayIcon.h"
#include "tray/TrayHintWindow.h"
#include "ui/CodePageText.h"

#include <QAction>
#include <QMenu>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace qm::test {
namespace {

class WindowTray : public ::testing::Test {
protected:
    void SetUp() override {
        harness = std::make_unique<CheckWindow>(folder);
        ASSERT_NE(harness->window, nullptr);
        window = harness->window.get();
        tray = harness->tray();
        ASSERT_NE(tray, nullptr);
    }
    TTextTrayIcon& icon() { return tray->icon(); }
    TrayHintWindow& popup() { return tray->hint().HintWindow(); }

    AppFolder folder;
    std::unique_ptr<CheckWindow> harness;
    TmQuillmere* window = nullptr;
    TextTrayFacade* tray = nullptr;
};

TEST_F(WindowTray, IconCarriesTheWindowsMenuAndRunsItsDefaultItemOnDoubleClick) {
    EXPECT_EQ(icon().PopupMenu(), window->PopupMenu1());
    QSignalSpy runClient(window->action("aRunMailclient"), &QAction::triggered);
    // A client that starts, so no selection dialog waits for an answer.
    window->SetMailClient("true");
    icon().DoubleClicked(QPoint(5, 5));
    EXPECT_EQ(runClient.count(), 1);
}

TEST_F(WindowTray, RestingOnTheIconShowsTheHintTextAboveLeftOfThePointer) {
    window->SetHintText("in total 2 messages:\rpop.a.org(ann): 2\r");
    const QPoint pointer(400, 300);
    icon().MouseMoved(pointer, {});
    EXPECT_TRUE(window->Timer1()->isActive());
    EXPECT_EQ(window->Timer1()->interval(), 500);
    ASSERT_TRUE(waitFor([this] { return popup().isVisible(); }));
    EXPECT_EQ(popup().text(), QStringLiteral("in total 2 messages:\rpop.a.org(ann): 2\r"));
    EXPECT_EQ(popup().geometry().right() + 1, pointer.x());
    EXPECT_TRUE(window->Timer2()->isActive());
    EXPECT_EQ(window->Timer2()->interval(), 2500);

    icon().MouseLeft();
    EXPECT_FALSE(popup().isVisible());
    EXPECT_FALSE(window->Timer1()->isActive());
    EXPECT_FALSE(window->Timer2()->isActive());
    EXPECT_EQ(window->Timer2()->interval(), 5000);
}

TEST_F(WindowTray, OpeningTheMenuKeepsThePopupFromOpening) {
    icon().MouseMoved(QPoint(100, 100), {});
    ASSERT_TRUE(window->Timer1()->isActive());
    emit window->PopupMenu1()->aboutToShow();
    EXPECT_FALSE(window->Timer1()->isActive());
    EXPECT_FALSE(window->Timer2()->isActive());
}

TEST(CheckDisplayText, UnicodeWordsAndCodePageNames) {
    const struct {
        std::string bytes;
        QString shown;
    } rows[] = {
        {"connecting to pop.a.org...", QStringLiteral("connecting to pop.a.org...")},
        {"\xd0\xb2\xd1\x81\xd0\xb5\xd0\xb3\xd0\xbe 3", QString::fromUtf8("\xd0\xb2\xd1\x81\xd0\xb5\xd0\xb3\xd0\xbe 3")},
        {"pop(J\xfcrgen): 2\r", fromCodePage("pop(J\xfcrgen): 2\r")}, // a lone Latin-1 byte
        {"a\xc3(b): 1", fromCodePage("a\xc3(b): 1")},                 // a cut sequence
        {"\xed\xa0\x80", fromCodePage("\xed\xa0\x80")},               // an encoded surrogate
        {"\xe0\x80\xaf", fromCodePage("\xe0\x80\xaf")},               // an overlong form
    };
    for (const auto& row : rows) {
        EXPECT_EQ(CheckWiring::displayText(row.bytes), row.shown) << row.bytes;
    }
}

} // namespace
} // namespace qm::test
