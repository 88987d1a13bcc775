#include "tray/TextTrayIcon.h"
#include "TrayTestSupport.h"

#include <QFontMetrics>

#include <gtest/gtest.h>

namespace qm {
namespace {

TEST(TextTrayIconLayout, LinePositionsInTheSquare) {
    struct Row {
        QList<int> widths;
        int height;
        TOffsetOptions options;
        QList<QPoint> corners;
    };
    const Row rows[] = {
        {{5}, 8, {}, {QPoint(5, 3)}},
        {{5}, 8, {2, -1, 9}, {QPoint(7, 2)}}, // line distance means nothing for one line
        {{7, 3}, 7, {0, 0, 1}, {QPoint(4, 0), QPoint(6, 8)}},
        {{16}, 16, {}, {QPoint(0, 0)}},   // (15 - 16) / 2 truncates to 0, not -1
        {{24}, 28, {}, {QPoint(-4, -6)}}, // larger than the square: centred and clipped
        {{1, 1, 1}, 5, {0, 0, 0}, {QPoint(7, 0), QPoint(7, 5), QPoint(7, 10)}},
        {{4, 4}, 6, {1, 2, -2}, {QPoint(6, 5), QPoint(6, 9)}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(TTextTrayIcon::LayoutLines(row.widths, row.height, row.options), row.corners)
            << "first width " << row.widths.first() << " height " << row.height;
}

int countPixels(const QImage& image, QRgb argb) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixel(x, y) == argb;
    return count;
}

QFont smallFont() {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    return font;
}

TEST(TextTrayIconPicture, StartupTextIsAWhiteFramedSquareWithNavyLetters) {
    TTextTrayIcon icon(nullptr, TrayBackendKind::SystemTray);
    icon.ApplyStartupText();
    const QImage picture = icon.Icon();
    ASSERT_EQ(picture.size(), QSize(16, 16));
    const QRgb black = qRgb(0, 0, 0);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(picture.pixel(i, 0), black) << i;
        EXPECT_EQ(picture.pixel(i, 15), black) << i;
        EXPECT_EQ(picture.pixel(0, i), black) << i;
        EXPECT_EQ(picture.pixel(15, i), black) << i;
    }
    // Opaque everywhere; inside the frame only white and navy.
    int navy = 0;
    for (int y = 1; y < 15; ++y) {
        for (int x = 1; x < 15; ++x) {
            const QRgb p = picture.pixel(x, y);
            EXPECT_EQ(qAlpha(p), 255);
            EXPECT_TRUE(p == qRgb(255, 255, 255) || p == qRgb(0, 0, 128)) << x << "," << y;
            navy += p == qRgb(0, 0, 128);
        }
    }
    EXPECT_GT(navy, 4);
    EXPECT_GT(countPixels(picture, qRgb(255, 255, 255)), 4);
}

TEST(TextTrayIconPicture, NoFillColourLeavesOnlyTheLettersVisible) {
    TTextTrayIcon icon(nullptr, TrayBackendKind::SystemTray);
    icon.SetFont(smallFont());
    icon.SetFontColor(QColor(200, 0, 0));
    icon.SetColor(QColor());
    icon.SetText(QStringLiteral("8"));
    const QImage picture = icon.Icon();
    EXPECT_EQ(icon.TextPicture().pixel(0, 0), qRgb(55, 255, 255)); // filled with the inverted font colour
    EXPECT_EQ(qAlpha(picture.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(picture.pixel(15, 15)), 0);
    const int red = countPixels(picture, qRgb(200, 0, 0));
    EXPECT_GT(red, 5);
    EXPECT_EQ(countPixels(picture, 0) + red, 256); // nothing but letters and holes
}

TEST(TextTrayIconPicture, FillEqualToFontColourGivesAnOpaqueInvertedSquare) {
    TTextTrayIcon icon(nullptr, TrayBackendKind::SystemTray);
    icon.SetFont(smallFont());
    icon.SetFontColor(QColor(0, 0, 128));
    icon.SetColor(QColor(0, 0, 128));
    icon.SetText(QStringLiteral("8"));
    const QImage picture = icon.Icon();
    EXPECT_EQ(picture.pixel(0, 0), qRgb(255, 255, 127));
    EXPECT_EQ(countPixels(picture, qRgb(255, 255, 127)) + countPixels(picture, qRgb(0, 0, 128)), 256);
    EXPECT_GT(countPixels(picture, qRgb(0, 0, 128)), 5);
}

TEST(TextTrayIconPicture, BackgroundShowsAroundTheLettersAndTheMaskColourIsCut) {
    QImage background(16, 16, QImage::Format_ARGB32);
    background.fill(QColor(0, 160, 0));
    for (int x = 0; x < 16; ++x)
        background.setPixel(x, 15, qRgb(255, 255, 255)); // the mask colour, in the background
    TTextTrayIcon icon(nullptr, TrayBackendKind::SystemTray);
    icon.SetFont(smallFont());
    icon.SetFontColor(QColor(0, 0, 255));
    icon.SetColor(Qt::white);
    icon.SetBackgroundIcon(background);
    icon.SetText(QStringLiteral("1"));
    const QImage picture = icon.Icon();
    EXPECT_EQ(picture.pixel(0, 0), qRgb(0, 160, 0));
    for (int x = 0; x < 16; ++x)
        EXPECT_EQ(qAlpha(picture.pixel(x, 15)), 0) << x;
    EXPECT_GT(countPixels(picture, qRgb(0, 0, 255)), 3);
    EXPECT_EQ(countPixels(picture, qRgb(0, 0, 255)) + countPixels(picture, qRgb(0, 160, 0)) + 16, 256);
}

TEST(TextTrayIconPicture, SingleGlyphSitsWhereTheLayoutPutsIt) {
    TTextTrayIcon icon(nullptr, TrayBackendKind::SystemTray);
    icon.SetFont(smallFont());
    icon.SetFontColor(Qt::black);
    icon.SetColor(Qt::white);
    const TOffsetOptions shifted{3, 2, 0};
    icon.SetText(QStringLiteral("."));
    const QImage centred = icon.Icon();
    icon.SetOptions(shifted);
    const QImage moved = icon.Icon();
    // The same dot, moved by the offsets.
    int found = 0;
    for (int y = 0; y < 14; ++y) {
        for (int x = 0; x < 13; ++x) {
            if (centred.pixel(x, y) == qRgb(0, 0, 0)) {
                ++found;
                EXPECT_EQ(moved.pixel(x + 3, y + 2), qRgb(0, 0, 0)) << x << "," << y;
            }
        }
    }
    EXPECT_GT(found, 0);
}

TEST(TextTrayIconPicture, SameOptionsDoNotRepaint) {
    TTextTrayIcon icon(nullptr, TrayBackendKind::SystemTray);
    icon.SetText(QStringLiteral("A"));
    icon.SetIconList(test::numberedFrames());
    icon.SetIconIndex(3);
    icon.SetOptions(TOffsetOptions{}); // unchanged: the list image stays
    EXPECT_EQ(test::frameNumber(icon.Icon()), 3);
    icon.SetOptions(TOffsetOptions{1, 0, 0});
    EXPECT_EQ(test::frameNumber(icon.Icon()), -1);
}

TEST(TextTrayIconPicture, TextStopsCyclingAndAListImageReplacesTheText) {
    TTextTrayIcon icon(nullptr, TrayBackendKind::SystemTray);
    icon.SetIconList(test::numberedFrames());
    icon.SetCycleInterval(5);
    icon.SetCycleIcons(true);
    icon.SetColor(Qt::white);
    icon.SetText(QStringLiteral("OO"));
    EXPECT_FALSE(icon.CycleIcons());
    EXPECT_FALSE(icon.CycleTimer().Running());
    EXPECT_EQ(icon.Icon(), icon.TextPicture());
    icon.SetIconIndex(2);
    EXPECT_EQ(test::frameNumber(icon.Icon()), 2);
}

} // namespace
} // namespace qm
