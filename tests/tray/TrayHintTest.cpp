#include "tray/CoolTrayIcon.h"
#include "tray/TrayHintController.h"

#include <QMenu>
#include <QTest>
#include <QToolTip>

#include <gtest/gtest.h>

namespace qm {
namespace {

const QString kNews = QStringLiteral("in total 3 messages:\rbox one: 2\rbox two: 1");

TEST(TrayHintTimers, RestingShowsAtTheCursorThenHides) {
    TrayHintController hint([] { return kNews; });
    EXPECT_EQ(hint.Timer1().interval(), 500);
    EXPECT_EQ(hint.Timer2().interval(), 2500);
    hint.TextTrayIcon1MouseEnter();
    hint.TextTrayIcon1MouseMove(QPoint(300, 200));
    EXPECT_TRUE(hint.Timer1().isActive());
    EXPECT_FALSE(hint.HintWindow().isVisible());

    hint.Timer1Timer();
    EXPECT_FALSE(hint.Timer1().isActive());
    ASSERT_TRUE(hint.HintWindow().isVisible());
    const QSize needed = hint.HintWindow().CalcHintRect(800, kNews);
    const QRect shown = hint.HintWindow().geometry();
    EXPECT_EQ(shown.x() + shown.width(), 300);   // right edge at the cursor
    EXPECT_EQ(shown.y(), 200 - needed.height()); // bottom at the cursor, 4 pixels more below
    EXPECT_EQ(shown.size(), needed + QSize(0, 4));
    EXPECT_EQ(hint.HintWindow().text(), kNews);
    EXPECT_EQ(hint.LastHintPos(), QPoint(300, 200));
    EXPECT_TRUE(hint.Timer2().isActive());

    hint.Timer2Timer();
    EXPECT_FALSE(hint.HintWindow().isVisible());
    EXPECT_FALSE(hint.Timer2().isActive());
}

TEST(TrayHintTimers, LeavingHidesAtOnceAndLengthensTheHideDelay) {
    TrayHintController hint([] { return kNews; });
    hint.TextTrayIcon1MouseEnter();
    hint.TextTrayIcon1MouseMove(QPoint(300, 200));
    hint.Timer1Timer();
    ASSERT_TRUE(hint.HintWindow().isVisible());
    hint.TextTrayIcon1MouseExit();
    EXPECT_FALSE(hint.HintWindow().isVisible());
    EXPECT_FALSE(hint.Timer1().isActive());
    EXPECT_FALSE(hint.Timer2().isActive());
    EXPECT_EQ(hint.Timer1().interval(), 500);
    EXPECT_EQ(hint.Timer2().interval(), 5000);

    hint.TextTrayIcon1MouseEnter();
    hint.TextTrayIcon1MouseMove(QPoint(301, 200));
    hint.Timer1Timer();
    EXPECT_TRUE(hint.HintWindow().isVisible());
    EXPECT_EQ(hint.Timer2().interval(), 5000);
}

TEST(TrayHintTimers, SamePixelDoesNotShowAgainOnePixelAwayDoes) {
    TrayHintController hint([] { return kNews; });
    hint.TextTrayIcon1MouseMove(QPoint(300, 200));
    hint.TextTrayIcon1MouseEnter();
    hint.Timer1Timer();
    hint.TextTrayIcon1MouseExit();

    hint.TextTrayIcon1MouseEnter();
    hint.TextTrayIcon1MouseMove(QPoint(300, 200));
    hint.Timer1Timer();
    EXPECT_FALSE(hint.HintWindow().isVisible());
    EXPECT_TRUE(hint.Timer2().isActive()); // the hide delay still runs
    hint.TextTrayIcon1MouseExit();

    hint.TextTrayIcon1MouseEnter();
    hint.TextTrayIcon1MouseMove(QPoint(300, 201));
    hint.Timer1Timer();
    EXPECT_TRUE(hint.HintWindow().isVisible());
    EXPECT_EQ(hint.LastHintPos(), QPoint(300, 201));
}

TEST(TrayHintTimers, OpeningTheMenuStopsBothTimers) {
    TrayHintController hint([] { return kNews; });
    QMenu menu;
    menu.addAction(QStringLiteral("Restore"));
    hint.AttachMenu(menu);
    hint.TextTrayIcon1MouseEnter();
    hint.TextTrayIcon1MouseMove(QPoint(300, 200));
    menu.popup(QPoint(300, 200));
    EXPECT_FALSE(hint.Timer1().isActive());
    EXPECT_FALSE(hint.Timer2().isActive());
    EXPECT_FALSE(hint.HintWindow().isVisible());
    menu.hide();
}

TEST(TrayHintTimers, IconEventsDriveTheRealTimers) {
    TCoolTrayIcon icon(nullptr, TrayBackendKind::SystemTray);
    icon.SetWantEnterExitEvents(true);
    TrayHintController hint([] { return kNews; }, TrayHintIntervals{10, 40, 80});
    hint.Attach(icon);
    icon.MouseMoved(QPoint(400, 300), Qt::NoModifier);
    EXPECT_EQ(hint.TrayCursorPos(), QPoint(400, 300));
    EXPECT_TRUE(hint.Timer1().isActive());
    QTRY_VERIFY_WITH_TIMEOUT(hint.HintWindow().isVisible(), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(!hint.HintWindow().isVisible(), 20000);
    EXPECT_FALSE(hint.Timer2().isActive());
    icon.MouseLeft();
    EXPECT_EQ(hint.Timer2().interval(), 80);
    icon.MouseMoved(QPoint(401, 300), Qt::NoModifier);
    QTRY_VERIFY_WITH_TIMEOUT(hint.HintWindow().isVisible(), 20000);
    icon.MouseLeft();
    EXPECT_FALSE(hint.HintWindow().isVisible());
}

TEST(TrayHintWindowLook, TooltipColoursAndBoldFont) {
    TrayHintWindow window;
    EXPECT_EQ(window.palette().color(QPalette::Window), QToolTip::palette().color(QPalette::ToolTipBase));
    EXPECT_EQ(window.palette().color(QPalette::WindowText), QToolTip::palette().color(QPalette::ToolTipText));
    EXPECT_TRUE(window.font().bold());
    EXPECT_TRUE(window.testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowTransparentForInput));
}

TEST(TrayHintWindowLook, LinesStackAndLongLinesWrap) {
    TrayHintWindow window;
    const QSize one = window.CalcHintRect(800, QStringLiteral("box one: 2"));
    const QSize three = window.CalcHintRect(800, QStringLiteral("box one: 2\rbox two: 1\rbox three: 9"));
    EXPECT_GT(three.height(), 2 * one.height() - 2);
    EXPECT_EQ(window.CalcHintRect(800, QStringLiteral("a\r\nb")), window.CalcHintRect(800, QStringLiteral("a\rb")));
    QString longLine;
    for (int i = 0; i < 60; ++i)
        longLine += QStringLiteral("word ");
    const QSize wrapped = window.CalcHintRect(200, longLine);
    EXPECT_LE(wrapped.width(), 206);
    EXPECT_GT(wrapped.height(), 3 * one.height());
    // Ampersands are text, not accelerators.
    EXPECT_GT(window.CalcHintRect(800, QStringLiteral("a&&b")).width(),
              window.CalcHintRect(800, QStringLiteral("a&b")).width());
}

TEST(TrayHintWindowLook, PlacementKeepsThePopupOnTheDesktop) {
    struct Row {
        QRect desktop;
        QRect wanted;
        QRect placed;
    };
    const QRect screen(0, 0, 800, 600);
    const Row rows[] = {
        {screen, QRect(100, 100, 60, 24), QRect(100, 100, 60, 24)},
        {screen, QRect(-50, 10, 60, 24), QRect(0, 10, 60, 24)},     // near the top left corner
        {screen, QRect(700, 590, 60, 24), QRect(700, 576, 60, 24)}, // over the bottom edge
        {screen, QRect(780, 100, 60, 24), QRect(740, 100, 60, 24)}, // over the right edge
        {screen, QRect(640, -15, 60, 24), QRect(640, 6, 60, 24)},   // tray at the top: below the cursor
        {screen, QRect(-10, -15, 900, 24), QRect(0, 6, 900, 24)},   // wider than the desktop: left edge wins
        {QRect(800, 0, 1024, 768), QRect(780, 100, 60, 24), QRect(800, 100, 60, 24)},
    };
    for (const Row& row : rows)
        EXPECT_EQ(TrayHintWindow::PlaceHint(row.wanted, row.desktop), row.placed)
            << row.wanted.x() << "," << row.wanted.y();
}

TEST(TrayHintWindowLook, EmptyTextStillShowsASmallPopup) {
    TrayHintController hint([] { return QString(); });
    hint.TextTrayIcon1MouseMove(QPoint(300, 200));
    hint.Timer1Timer();
    EXPECT_TRUE(hint.HintWindow().isVisible());
    EXPECT_LE(hint.HintWindow().width(), 12);
}

} // namespace
} // namespace qm
