#include "tray/CoolTrayIcon.h"
#include "tray/EnvelopeImages.h"
#include "TrayTestSupport.h"
#include "tray/TrayResources.h"

#include <QAction>
#include <QMenu>
#include <QPixmap>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace qm {
namespace {

using test::frameNumber;
using test::numberedFrames;

TEST(CoolTrayIconImages, IconIndexIsClampedToTheList) {
    struct Row {
        int requested;
        int stored;
    };
    const Row rows[] = {{0, 0}, {5, 5}, {11, 11}, {12, 11}, {20, 11}, {-1, 0}, {-100, 0}};
    TCoolTrayIcon icon(nullptr, TrayBackendKind::SystemTray);
    icon.SetIconList(numberedFrames());
    for (const Row& row : rows) {
        icon.SetIconIndex(row.requested);
        EXPECT_EQ(icon.IconIndex(), row.stored) << "requested " << row.requested;
        EXPECT_EQ(frameNumber(icon.Icon()), row.stored) << "requested " << row.requested;
    }
}

TEST(CoolTrayIconImages, WithoutListIndexStaysZeroAndIconUnchanged) {
    TCoolTrayIcon icon(nullptr, TrayBackendKind::SystemTray);
    icon.SetIcon(numberedFrames().at(7));
    icon.SetIconIndex(4);
    EXPECT_EQ(icon.IconIndex(), 0);
    EXPECT_EQ(frameNumber(icon.Icon()), 7);
}

TEST(CoolTrayIconImages, SettingTheListSelectsImageZero) {
    TCoolTrayIcon icon(nullptr, TrayBackendKind::SystemTray);
    icon.SetIconList(numberedFrames());
    icon.SetIconIndex(9);
    icon.SetIconList(numberedFrames(3));
    EXPECT_EQ(icon.IconIndex(), 0);
    EXPECT_EQ(frameNumber(icon.Icon()), 0);
}

TEST(CoolTrayIconImages, TrayPicturesHaveTheirFrameCounts) {
    const QList<QImage> im1 = TrayImagesIm1();
    ASSERT_EQ(im1.size(), 12);
    for (const QImage& frame : im1)
        EXPECT_EQ(frame.size(), QSize(16, 16));
    EXPECT_NE(im1.at(0), im1.at(6)); // plain envelope vs. full of red
    ASSERT_EQ(TrayImagesStopped().size(), 1);
    EXPECT_FALSE(ApplicationIcon().isNull());
}

// On a scaled screen the envelopes are drawn in its pixels: they look like the 16-pixel pictures
// when brought down to 16, and are no blown-up copy of them.
TEST(CoolTrayIconImages, ScaledScreensGetEnvelopesDrawnInTheirPixels) {
    QList<QImage> pictures = TrayImagesIm1() + TrayImagesStopped();
    const QList<QImage> drawn = PaintEnvelopeFrames(2.0) + QList<QImage>{PaintStoppedEnvelope(2.0)};
    ASSERT_EQ(drawn.size(), pictures.size());
    for (qsizetype i = 0; i < drawn.size(); ++i) {
        ASSERT_EQ(drawn.at(i).size(), QSize(32, 32)) << i;
        EXPECT_EQ(drawn.at(i).deviceIndependentSize(), QSizeF(16, 16)) << i;
        EXPECT_NE(drawn.at(i), pictures.at(i).scaled(32, 32).convertToFormat(QImage::Format_ARGB32)) << i;
        const QImage small = drawn.at(i).scaled(16, 16, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        int far = 0; // pixels whose colour is clearly not the picture's
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                const QRgb a = small.pixel(x, y), b = pictures.at(i).pixel(x, y);
                far += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                           std::abs(qBlue(a) - qBlue(b)) + std::abs(qAlpha(a) - qAlpha(b)) > 160;
            }
        EXPECT_LE(far, 24) << "frame " << i;
    }
}

// Collects the frames the icon hands to the desktop while it animates.
TEST(CoolTrayIconImages, IconsBecomeSixteenPixelImages) {
    QPixmap big(32, 32);
    big.fill(QColor(15, 15, 15));
    const QList<QImage> images = ImagesFromIcons({QIcon(big), QIcon()});
    ASSERT_EQ(images.size(), 2);
    EXPECT_EQ(images.at(0).size(), QSize(16, 16));
    EXPECT_EQ(frameNumber(images.at(0)), 1);
    EXPECT_TRUE(images.at(1).isNull());
}

class ShownFrames : public QObject {
public:
    explicit ShownFrames(TCoolTrayIcon& icon) {
        connect(&icon, &TCoolTrayIcon::IconRefreshed, this, [this, &icon] { frames.append(frameNumber(icon.Icon())); });
    }
    QList<int> frames;
};

TEST(CoolTrayIconCycling, ShowsEveryImageInOrderThenStartsAgain) {
    TCoolTrayIcon icon(nullptr, TrayBackendKind::SystemTray);
    icon.SetIconList(numberedFrames());
    icon.SetCycleInterval(5);
    ShownFrames shown(icon);
    icon.SetCycleIcons(true);
    QTRY_VERIFY_WITH_TIMEOUT(shown.frames.size() >= 15, 20000);
    icon.SetCycleIcons(false);
    // Starting shows image 0 at once; each tick then shows the current image and moves on.
    const QList<int> expected = {0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 0, 1};
    EXPECT_EQ(shown.frames.mid(0, 15), expected);
}

TEST(CoolTrayIconCycling, NewIntervalRestartsAtImageZero) {
    TCoolTrayIcon icon(nullptr, TrayBackendKind::SystemTray);
    icon.SetIconList(numberedFrames());
    icon.SetCycleInterval(5);
    icon.SetCycleIcons(true);
    QTRY_VERIFY_WITH_TIMEOUT(icon.IconIndex() >= 4, 20000);
    ShownFrames shown(icon);
    icon.SetCycleInterval(7);
    EXPECT_EQ(icon.IconIndex(), 0);
    EXPECT_EQ(frameNumber(icon.Icon()), 0);
    EXPECT_EQ(icon.CycleTimer().Interval(), 7u);
    QTRY_VERIFY_WITH_TIMEOUT(shown.frames.size() >= 3, 20000);
    EXPECT_EQ(shown.frames.mid(0, 3), (QList<int>{0, 0, 1}));
}

TEST(CoolTrayIconCycling, IntervalZeroShowsImageZeroAndDoesNotAnimate) {
    TCoolTrayIcon icon(nullptr, TrayBackendKind::SystemTray);
    icon.SetIconList(numberedFrames());
    icon.SetIconIndex(5);
    icon.SetCycleIcons(true);
    EXPECT_EQ(frameNumber(icon.Icon()), 0);
    EXPECT_FALSE(icon.CycleTimer().Running());
}

TEST(CoolTrayIconCycling, StoppingKeepsTheImageShown) {
    TCoolTrayIcon icon(nullptr, TrayBackendKind::SystemTray);
    icon.SetIconList(numberedFrames());
    icon.SetCycleInterval(5);
    icon.SetCycleIcons(true);
    QTRY_VERIFY_WITH_TIMEOUT(icon.IconIndex() >= 3, 20000);
    icon.SetCycleIcons(false);
    const int shown = frameNumber(icon.Icon());
    EXPECT_GE(shown, 2);
    EXPECT_FALSE(icon.CycleTimer().Running());
    EXPECT_FALSE(icon.CycleTimer().Enabled());
}

TEST(CoolTrayIconHint, DesktopTipFollowsHintAndShowHint) {
    const QString long200(200, QLatin1Char('x'));
    const QString exactly127(127, QLatin1Char('y'));
    // A character outside the basic plane straddling the cut is dropped whole.
    const QString straddling =
        QString(126, QLatin1Char('z')) + QString::fromUcs4(U"\U0001F4E7") + QStringLiteral("tail");
    struct Row {
        QString hint;
        bool showHint;
        QString tip;
    };
    const Row rows[] = {
        {long200, true, QString(127, QLatin1Char('x'))},
        {long200, false, QString()},
        {exactly127, true, exactly127},
        {QString(), true, QString()},
        {QStringLiteral("stopped"), false, QString()},
        {straddling, true, QString(126, QLatin1Char('z'))},
    };
    TCoolTrayIcon icon(nullptr, TrayBackendKind::SystemTray);
    for (const Row& row : rows) {
        icon.SetHint(row.hint);
        icon.SetShowHint(row.showHint);
        EXPECT_EQ(icon.ShellTip(), row.tip) << row.hint.size();
    }
}

TEST(CoolTrayIconHint, WithoutHoverTheTooltipCarriesTheHoverText) {
    TCoolTrayIcon icon(nullptr, TrayBackendKind::SystemTray);
    ASSERT_FALSE(icon.HasHoverEvents());
    icon.SetShowHint(false);
    icon.SetHint(QStringLiteral("stopped"));
    EXPECT_EQ(icon.DesktopToolTip(), QString());
    icon.SetHoverText(QStringLiteral("in total 2 messages:\rbox one: 2"));
    EXPECT_EQ(icon.DesktopToolTip(), QStringLiteral("in total 2 messages:\nbox one: 2"));
}

class MouseEvents : public QObject {
public:
    explicit MouseEvents(TCoolTrayIcon& icon) {
        connect(&icon, &TCoolTrayIcon::OnMouseEnter, this, [this] { log.append(QStringLiteral("enter")); });
        connect(&icon, &TCoolTrayIcon::OnMouseExit, this, [this] { log.append(QStringLiteral("exit")); });
        connect(&icon, &TCoolTrayIcon::OnMouseMove, this, [this](Qt::KeyboardModifiers, int x, int y) {
            log.append(QStringLiteral("move %1,%2").arg(x).arg(y));
        });
    }
    QStringList log;
};

TEST(CoolTrayIconMouse, EnterOnceThenMovesThenOneExit) {
    TCoolTrayIcon icon(nullptr, TrayBackendKind::SystemTray);
    icon.SetWantEnterExitEvents(true);
    MouseEvents events(icon);
    icon.MouseMoved(QPoint(10, 20), Qt::NoModifier);
    icon.MouseMoved(QPoint(11, 20), Qt::NoModifier);
    icon.MouseLeft();
    icon.MouseLeft();
    icon.MouseMoved(QPoint(12, 21), Qt::NoModifier);
    EXPECT_EQ(events.log,
              (QStringList{QStringLiteral("enter"), QStringLiteral("move 10,20"), QStringLiteral("move 11,20"),
                           QStringLiteral("exit"), QStringLiteral("enter"), QStringLiteral("move 12,21")}));
}

TEST(CoolTrayIconMouse, NoEnterOrExitUnlessWanted) {
    TCoolTrayIcon icon(nullptr, TrayBackendKind::SystemTray);
    MouseEvents events(icon);
    icon.MouseMoved(QPoint(1, 2), Qt::NoModifier);
    icon.MouseLeft();
    EXPECT_EQ(events.log, QStringList{QStringLiteral("move 1,2")});
}

TEST(CoolTrayIconMouse, DisabledIconIgnoresEverything) {
    TCoolTrayIcon icon(nullptr, TrayBackendKind::SystemTray);
    icon.SetWantEnterExitEvents(true);
    icon.SetEnabled(false);
    QMenu menu;
    QAction* item = menu.addAction(QStringLiteral("Run mail client"));
    menu.setDefaultAction(item);
    icon.SetPopupMenu(&menu);
    QSignalSpy triggered(item, &QAction::triggered);
    MouseEvents events(icon);
    icon.MouseMoved(QPoint(1, 2), Qt::NoModifier);
    icon.DoubleClicked(QPoint(1, 2));
    icon.ButtonPressed(Qt::RightButton, QPoint(1, 2), Qt::NoModifier);
    EXPECT_TRUE(events.log.isEmpty());
    EXPECT_EQ(triggered.count(), 0);
    EXPECT_FALSE(menu.isVisible());
}

TEST(CoolTrayIconMenu, DoubleClickRunsTheDefaultItemOnly) {
    TCoolTrayIcon icon(nullptr, TrayBackendKind::SystemTray);
    QMenu menu;
    QAction* restore = menu.addAction(QStringLiteral("Restore"));
    QAction* run = menu.addAction(QStringLiteral("Run mail client"));
    menu.setDefaultAction(run);
    icon.SetPopupMenu(&menu);
    QSignalSpy restoreSpy(restore, &QAction::triggered);
    QSignalSpy runSpy(run, &QAction::triggered);
    icon.DoubleClicked(QPoint(5, 5));
    EXPECT_EQ(runSpy.count(), 1);
    EXPECT_EQ(restoreSpy.count(), 0);

    run->setEnabled(false);
    icon.DoubleClicked(QPoint(5, 5));
    EXPECT_EQ(runSpy.count(), 1);

    run->setEnabled(true);
    icon.SetLeftPopup(true);
    icon.DoubleClicked(QPoint(5, 5));
    EXPECT_EQ(runSpy.count(), 1);
}

TEST(CoolTrayIconMenu, RightButtonOpensTheMenuAtTheCursor) {
    TCoolTrayIcon icon(nullptr, TrayBackendKind::SystemTray);
    QMenu menu;
    menu.addAction(QStringLiteral("Restore"));
    icon.SetPopupMenu(&menu);
    QSignalSpy shown(&menu, &QMenu::aboutToShow);
    icon.ButtonPressed(Qt::LeftButton, QPoint(120, 90), Qt::NoModifier);
    EXPECT_EQ(shown.count(), 0);
    icon.ButtonPressed(Qt::RightButton, QPoint(120, 90), Qt::NoModifier);
    QTRY_VERIFY(menu.isVisible());
    EXPECT_EQ(shown.count(), 1);
    EXPECT_EQ(menu.geometry().topLeft(), QPoint(120, 90));
    menu.hide();
}

TEST(CoolTrayIconMenu, DestroyedMenuIsForgotten) {
    TCoolTrayIcon icon(nullptr, TrayBackendKind::SystemTray);
    auto* menu = new QMenu;
    menu->setDefaultAction(menu->addAction(QStringLiteral("Run")));
    icon.SetPopupMenu(menu);
    delete menu;
    EXPECT_EQ(icon.PopupMenu(), nullptr);
    icon.DoubleClicked(QPoint(1, 1)); // must not touch the dead menu
    icon.ButtonPressed(Qt::RightButton, QPoint(1, 1), Qt::NoModifier);
}

TEST(CoolTrayIconWindow, HideAndRestoreTheMainWindow) {
    TCoolTrayIcon icon(nullptr, TrayBackendKind::SystemTray);
    icon.SetTrayPresence([] { return true; });
    QWidget window;
    icon.SetMainWindow(&window);
    window.show();
    QTRY_VERIFY(window.isVisible());
    icon.HideToTray();
    EXPECT_FALSE(window.isVisible());
    window.setWindowState(Qt::WindowMinimized);
    icon.RestoreFromTray();
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isMinimized());
}

TEST(CoolTrayIconWindow, MinimisingHidesToTheTray) {
    TCoolTrayIcon icon(nullptr, TrayBackendKind::SystemTray);
    QWidget window;
    icon.SetMainWindow(&window);
    icon.SetMinimizeToTray(true);
    icon.SetTrayPresence([] { return true; });
    window.show();
    QTRY_VERIFY(window.isVisible());
    window.setWindowState(Qt::WindowMinimized);
    QTRY_VERIFY(!window.isVisible());
    EXPECT_TRUE(icon.IconVisible());
}

TEST(CoolTrayIconBackend, OffscreenUsesTheSystemTrayIcon) {
    TCoolTrayIcon automatic;
    EXPECT_EQ(automatic.BackendKind(), TrayBackendKind::SystemTray);
    // Asking for XEmbed without X11 still gives a working icon.
    TCoolTrayIcon forced(nullptr, TrayBackendKind::XEmbed);
    EXPECT_EQ(forced.BackendKind(), TrayBackendKind::SystemTray);
    EXPECT_EQ(forced.NativeWindow(), WId(0));
}

} // namespace
} // namespace qm
