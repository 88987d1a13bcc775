#include <gtest/gtest.h>

#include <QColor>
#include <QImage>

#include "UiTestSupport.h"
#include "ui/ImageLists.h"

namespace qm {
namespace {

class ImageListsTest : public ::testing::Test {
protected:
    void SetUp() override { test::ensureApp(); }
};

TEST_F(ImageListsTest, EveryIndexHasADistinctSixteenPixelPicture) {
    std::vector<QImage> seen;
    for (int i = 0; i < kActionImageCount; ++i) {
        SCOPED_TRACE(i);
        ASSERT_FALSE(ActionImage(i).isNull());
        const QImage image = ActionPixmap(i).toImage();
        ASSERT_EQ(image.size(), QSize(16, 16));
        seen.push_back(image);
    }
    for (int i = 0; i < kConnectImageCount; ++i) {
        SCOPED_TRACE(i);
        ASSERT_FALSE(ConnectImage(i).isNull());
        const QImage image = ConnectPixmap(i).toImage();
        ASSERT_EQ(image.size(), QSize(16, 16));
        seen.push_back(image);
    }
    for (std::size_t a = 0; a < seen.size(); ++a)
        for (std::size_t b = a + 1; b < seen.size(); ++b)
            EXPECT_NE(seen[a], seen[b]) << "pictures " << a << " and " << b << " are the same";
}

TEST_F(ImageListsTest, IndexOutOfRangeGivesNoPicture) {
    EXPECT_TRUE(ActionImage(-1).isNull());
    EXPECT_TRUE(ActionImage(kActionImageCount).isNull());
    EXPECT_TRUE(ConnectImage(-1).isNull());
    EXPECT_TRUE(ConnectImage(kConnectImageCount).isNull());
    EXPECT_TRUE(ConnectPixmap(4).isNull());
}

// The screen of the computer pictures tells the state: grey idle, red connected, dark disabled.
TEST_F(ImageListsTest, ComputerScreensShowTheirState) {
    const auto screen = [](int index) { return QColor(ConnectPixmap(index).toImage().pixel(8, 6)); };
    const QColor idle = screen(kConnectIdle);
    EXPECT_LT(std::abs(idle.red() - idle.blue()), 16);
    EXPECT_GT(idle.value(), 120);
    const QColor connected = screen(kConnectConnected);
    EXPECT_GT(connected.red(), 180);
    EXPECT_LT(connected.green(), 80);
    EXPECT_LT(screen(kConnectDisabled).value(), 100);
    // The connecting envelope carries a red flash at its right edge.
    const QColor flash = QColor(ConnectPixmap(kConnectConnecting).toImage().pixel(13, 6));
    EXPECT_GT(flash.red(), 180);
    EXPECT_LT(flash.green(), 80);
}

} // namespace
} // namespace qm
