// The About box and its hyperlink labels.
#include "UiTestSupport.h"

#include "ui/AboutBox.h"
#include "ui/HyperlinkLabel.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <vector>

namespace qm {
namespace {

TEST(HyperlinkLabel, EachProtocolPutsItsPrefixInFrontUnlessTheUrlHasIt) {
    const struct {
        TProtocol protocol;
        const char* url;
        const char* target;
    } rows[] = {{ptNONE, "example.org", "example.org"},
                {ptMAIL, "someone@example.org", "mailto:someone@example.org"},
                {ptMAIL, "mailto:someone@example.org", "mailto:someone@example.org"},
                {ptWWW, "example.org/x", "http://example.org/x"},
                {ptWWW, "http://example.org/", "http://example.org/"},
                // The prefix counts only at the very start and with its exact case.
                {ptWWW, " http://example.org", "http:// http://example.org"},
                {ptWWW, "HTTP://example.org", "http://HTTP://example.org"},
                {ptFTP, "ftp.example.org", "ftp://ftp.example.org"},
                {ptFILE, "/tmp/readme", "file:/tmp/readme"},
                {ptFILE, "file:/tmp/readme", "file:/tmp/readme"}};
    for (const auto& row : rows) {
        EXPECT_EQ(LinkTarget(QString::fromUtf8(row.url), row.protocol).toStdString(), row.target) << row.url;
    }
}

class HyperlinkLabelClick : public ::testing::Test {
protected:
    void SetUp() override {
        m_link.setOpener([this](const QString& target) {
            m_opened.push_back(target);
            return true;
        });
        m_link.resize(200, 30);
    }
    QApplication* m_app = test::ensureApp();
    TAlURL m_link{QStringLiteral("someone@example.org"), ptMAIL};
    std::vector<QString> m_opened;
};

TEST_F(HyperlinkLabelClick, TheLeftButtonTurnsItPurpleUntilReleasedAndOpensTheLink) {
    EXPECT_EQ(m_link.text(), QStringLiteral("someone@example.org"));
    EXPECT_TRUE(m_link.font().underline());
    EXPECT_EQ(m_link.cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(m_link.fontColour(), QColor(Qt::blue));
    QTest::mousePress(&m_link, Qt::LeftButton);
    EXPECT_EQ(m_link.fontColour(), QColor(0x80, 0x00, 0x80));
    EXPECT_TRUE(m_opened.empty());
    QTest::mouseRelease(&m_link, Qt::LeftButton);
    EXPECT_EQ(m_link.fontColour(), QColor(Qt::blue));
    EXPECT_EQ(m_opened, std::vector<QString>{QStringLiteral("mailto:someone@example.org")});
}

TEST_F(HyperlinkLabelClick, OtherButtonsReleasesOutsideAndDisabledLabelsOpenNothing) {
    QTest::mousePress(&m_link, Qt::RightButton);
    EXPECT_EQ(m_link.fontColour(), QColor(Qt::blue));
    QTest::mouseRelease(&m_link, Qt::RightButton);
    QTest::mousePress(&m_link, Qt::LeftButton);
    QTest::mouseRelease(&m_link, Qt::LeftButton, {}, QPoint(500, 500));
    EXPECT_EQ(m_link.fontColour(), QColor(Qt::blue));
    m_link.setEnabled(false);
    QTest::mouseClick(&m_link, Qt::LeftButton);
    EXPECT_TRUE(m_opened.empty());
    m_link.setEnabled(true);
    QTest::keyClick(&m_link, Qt::Key_Space);
    EXPECT_EQ(m_opened.size(), 1u);
}

TEST(AboutBox, ShowsTheProgramItsVersionAndTheMakersLinks) {
    test::ensureApp();
    TAboutBox box;
    EXPECT_EQ(box.windowTitle(), QStringLiteral("About"));
    EXPECT_EQ(box.findChild<QLabel*>(QStringLiteral("ProductName"))->text(), QStringLiteral("Quillmere32"));
    EXPECT_EQ(box.Version()->text(), QStringLiteral("Version: 2.6.0.0"));
    EXPECT_EQ(box.findChild<QLabel*>(QStringLiteral("Copyright"))->text(), QStringLiteral("Copyright:"));
    EXPECT_EQ(box.AlURL1()->Protocol(), ptWWW);
    EXPECT_TRUE(box.AlURL1()->Url().startsWith(QStringLiteral("http://")));
    EXPECT_EQ(box.AlURL1()->text(), box.AlURL1()->Url());
    EXPECT_EQ(LinkTarget(box.AlURL1()->Url(), ptWWW), box.AlURL1()->Url());
    EXPECT_EQ(box.AlURL2()->Protocol(), ptMAIL);
    EXPECT_FALSE(box.AlURL2()->Url().startsWith(QStringLiteral("mailto:")));
    EXPECT_NE(box.AlURL2()->text(), box.AlURL2()->Url());
    EXPECT_TRUE(box.findChild<QPushButton*>(QStringLiteral("OKButton"))->isDefault());
    EXPECT_FALSE(box.findChild<QLabel*>(QStringLiteral("ProgramIcon"))->accessibleName().isEmpty());
}

TEST(AboutBox, TheCaptionIsTranslatedEachTimeTheBoxIsShown) {
    test::ensureApp();
    TAboutBox box;
    for (const auto& [code, caption] : {std::pair<const char*, QString>{"RU", QStringLiteral("О программе")},
                                        {"EN", QStringLiteral("About the program")}}) {
        box.setLanguage(code);
        box.show();
        EXPECT_EQ(box.windowTitle(), caption) << code;
        EXPECT_EQ(box.findChild<QLabel*>(QStringLiteral("Copyright"))->text(), QStringLiteral("Copyright:"));
        box.findChild<QPushButton*>(QStringLiteral("OKButton"))->click();
        EXPECT_FALSE(box.isVisible());
    }
}

} // namespace
} // namespace qm
