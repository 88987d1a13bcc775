#include <gtest/gtest.h>

#include <QHeaderView>
#include <QPalette>
#include <QSignalSpy>
#include <QTest>

#include "UiTestSupport.h"
#include "ui/AccountListView.h"
#include "ui/CodePageText.h"
#include "ui/ImageLists.h"

namespace qm {
namespace {

AccountRow makeRow(std::string server, std::string name = "user", std::string port = "110",
                   std::string disabled = "False") {
    return AccountRow{std::move(server), std::move(name), "TTMOZVUB", std::move(port), "60", std::move(disabled), "0"};
}

class AccountListViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ensureApp();
        setUiCodePage(1251);
        list = std::make_unique<AccountListView>();
        list->resize(400, 200);
    }
    void TearDown() override { setUiCodePage(0); }

    std::vector<std::string> servers() const {
        std::vector<std::string> result;
        for (const AccountRow& row : list->rows())
            result.push_back(row.Caption);
        return result;
    }
    void clickHeader(int column) {
        if (!list->isVisible()) {
            list->show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(list.get()));
        }
        QHeaderView* header = list->header();
        // The middle of the section: its edges are resize grips.
        const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                        header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    }

    std::unique_ptr<AccountListView> list;
};

TEST_F(AccountListViewTest, RowsComeBackByteForByteWithTheirHiddenCells) {
    // 0x98 has no character in windows-1251: the cell must still come back unchanged.
    const std::vector<AccountRow> rows = {
        AccountRow{"pop.mail.ru", "\xC8\xE2\xE0\xED", "abcd", "995", "30", "True", "1"},
        AccountRow{"host\x98", "n", "", "110", "60", "False", "2", "3", "get-token --user '\xC8\x98'"},
        AccountRow{"h", "n", "", "110", "60", "False", "1", "kerberos", ""},
        AccountRow{"k", "n", "", "995", "60", "False", "1", "0", "", "1"},
    };
    list->setRows(rows);
    EXPECT_EQ(list->rows(), rows);
    EXPECT_EQ(list->topLevelItem(0)->text(kColAccountName), QString::fromUtf8("Иван"));
    EXPECT_EQ(list->objectName(), QStringLiteral("lwServers"));
    EXPECT_EQ(list->columnCount(), 16);
    EXPECT_FALSE(list->isColumnHidden(kColProtocol));
    for (int column : {kColPassword, kColDisabled, kColSecurity, kColAuth, kColTokenCommand, kColPasswordStore})
        EXPECT_TRUE(list->isColumnHidden(column)) << column;
    for (int column : {kColServer, kColAccountName, kColPort, kColTimeOut})
        EXPECT_FALSE(list->isColumnHidden(column)) << column;
}

TEST_F(AccountListViewTest, ColumnWidthsAreSharesOfTheListWidth) {
    list->setColumnShares(403);
    EXPECT_EQ(list->columnWidth(kColServer), 161);
    EXPECT_EQ(list->columnWidth(kColAccountName), 141);
    EXPECT_EQ(list->columnWidth(kColPort), 40);
    EXPECT_EQ(list->columnWidth(kColTimeOut), 60);
}

TEST_F(AccountListViewTest, HeadersAreTranslatedButDisabledStaysEnglish) {
    list->setLanguage("RU");
    EXPECT_EQ(list->headerItem()->text(kColServer), QString::fromUtf8("Почтовый сервер (POP3)"));
    EXPECT_EQ(list->headerItem()->text(kColTimeOut), QString::fromUtf8("Время ожидания"));
    EXPECT_EQ(list->headerItem()->text(kColDisabled), QStringLiteral("Disabled"));
    list->setLanguage("EN");
    EXPECT_EQ(list->headerItem()->text(kColServer), QStringLiteral("Mail Server (POP3)"));
}

TEST_F(AccountListViewTest, DisabledRowsAreDrawnGreyWithImageThree) {
    struct Case {
        const char* disabled;
        bool drawnDisabled;
    };
    const Case cases[] = {{"True", true}, {"False", false}, {"", false},   {"1", true},  {"xFalsex", false},
                          {"0", false},   {"false", false}, {"yes", true}, {"No", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.disabled);
        list->setRows({makeRow("a", "u", "110", c.disabled)});
        list->setRowImage(0, kConnectConnected);
        EXPECT_EQ(list->isRowDisabled(0), c.drawnDisabled);
        EXPECT_EQ(list->shownImage(0), c.drawnDisabled ? kConnectDisabled : kConnectConnected);
        EXPECT_EQ(list->rowImage(0), kConnectConnected);
        const QImage drawn = list->topLevelItem(0)->icon(kColServer).pixmap(16).toImage();
        EXPECT_EQ(drawn, ConnectPixmap(c.drawnDisabled ? kConnectDisabled : kConnectConnected).toImage());
        const QColor text = list->topLevelItem(0)->foreground(kColServer).color();
        EXPECT_EQ(text, c.drawnDisabled ? QColor(128, 128, 128) : QColor(Qt::black));
    }
}

// Under a dark palette the background is the theme's and the name stands out from it, enabled or not.
TEST_F(AccountListViewTest, DarkPaletteScreenshotIsReadable) {
    QPalette dark = list->palette();
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    dark.setColor(QPalette::Base, QColor(30, 30, 30));
    list->setPalette(dark);
    list->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(list.get()));
    for (const char* disabled : {"False", "True"}) {
        list->setRows({makeRow("WWWW", "u", "110", disabled)});
        const QImage shot = list->viewport()->grab().toImage().scaled(list->viewport()->size());
        const QRect cell = list->visualItemRect(list->topLevelItem(0));
        int ink = 0;
        for (int x = cell.left() + 20; x < list->columnWidth(kColServer); ++x)
            ink += qGray(shot.pixel(x, cell.center().y())) > 90 ? 1 : 0;
        EXPECT_LT(qGray(shot.pixel(list->columnWidth(kColServer) - 3, cell.center().y())), 45) << disabled;
        EXPECT_GT(ink, 3) << disabled;
    }
}

TEST_F(AccountListViewTest, IndexesOutOfRangeAreIgnored) {
    list->setRows({makeRow("a"), makeRow("b")});
    list->setRowImage(2, kConnectConnected);
    list->setRowImage(-1, kConnectConnected);
    list->setRowSelected(5, true);
    list->setRowError(2, QStringLiteral("x"));
    EXPECT_EQ(list->rowImage(0), kConnectIdle);
    EXPECT_EQ(list->rowImage(1), kConnectIdle);
    EXPECT_EQ(list->rowImage(2), -1);
    EXPECT_EQ(list->currentRow(), -1);
    EXPECT_EQ(list->row(7), AccountRow{});
}

TEST_F(AccountListViewTest, TheCurrentRowIsTheFirstSelectedAndErrorsShowAsTooltips) {
    list->setRows({makeRow("a"), makeRow("b"), makeRow("c")});
    list->setRowSelected(2, true);
    list->setRowSelected(1, true);
    EXPECT_EQ(list->currentRow(), 1);
    list->setRowError(1, QStringLiteral("Socket Error # 10061\r\nConnection refused."));
    EXPECT_EQ(list->topLevelItem(1)->toolTip(kColPort), QStringLiteral("Socket Error # 10061\r\nConnection refused."));
    list->setRowError(1, QString());
    EXPECT_TRUE(list->topLevelItem(1)->toolTip(kColServer).isEmpty());
}

TEST_F(AccountListViewTest, HeaderClickSortsOnceAscendingAsText) {
    list->setRows({makeRow("a", "u", "995"), makeRow("b", "u", "1100"), makeRow("c", "u", "110")});
    clickHeader(kColPort);
    EXPECT_EQ(servers(), (std::vector<std::string>{"c", "b", "a"}));
    EXPECT_EQ(list->lastSortColumn(), kColPort);
    clickHeader(kColPort);
    EXPECT_EQ(servers(), (std::vector<std::string>{"c", "b", "a"}));
    // Not kept sorted: a new row goes to the end.
    list->appendRow(makeRow("d", "u", "1"));
    EXPECT_EQ(servers().back(), "d");
}

TEST_F(AccountListViewTest, SortIgnoresAsciiCaseAndKeepsTheOrderOfEqualRows) {
    list->setRows({makeRow("mail.B.org", "zed"), makeRow("Mail.a.org", "Adam"), makeRow("mail.b.ORG", "adam"),
                   makeRow("\xCF\xEE\xF7\xF2\xE0", "x")});
    clickHeader(kColServer);
    EXPECT_EQ(servers(), (std::vector<std::string>{"Mail.a.org", "mail.B.org", "mail.b.ORG", "\xCF\xEE\xF7\xF2\xE0"}));
    list->sortRowsBy(kColAccountName);
    EXPECT_EQ(servers(), (std::vector<std::string>{"Mail.a.org", "mail.b.ORG", "\xCF\xEE\xF7\xF2\xE0", "mail.B.org"}));
}

TEST_F(AccountListViewTest, MovingARowPlacesItBeforeTheTarget) {
    list->setRows({makeRow("a"), makeRow("b"), makeRow("c"), makeRow("d")});
    list->setRowImage(3, kConnectConnected);
    list->setRowSelected(3, true);
    EXPECT_TRUE(list->moveSelectedRowBefore(0));
    EXPECT_EQ(servers(), (std::vector<std::string>{"d", "a", "b", "c"}));
    EXPECT_EQ(list->rowImage(0), kConnectConnected);

    list->setRowSelected(0, false);
    list->setRowSelected(1, true);
    EXPECT_TRUE(list->moveSelectedRowBefore(3));
    EXPECT_EQ(servers(), (std::vector<std::string>{"d", "b", "a", "c"}));

    list->clearSelection();
    list->setRowSelected(1, true);
    EXPECT_FALSE(list->moveSelectedRowBefore(1));
    EXPECT_FALSE(list->moveSelectedRowBefore(4));
    EXPECT_EQ(servers(), (std::vector<std::string>{"d", "b", "a", "c"}));
}

TEST_F(AccountListViewTest, RowsKeepTheirIdentityWhenSortedOrMoved) {
    list->setRows({makeRow("c"), makeRow("a"), makeRow("b")});
    const std::uint64_t idA = list->rowId(1);
    const std::uint64_t idC = list->rowId(0);
    list->sortRowsBy(kColServer);
    EXPECT_EQ(list->indexOfRowId(idA), 0);
    EXPECT_EQ(list->indexOfRowId(idC), 2);
    QSignalSpy moved(list.get(), &AccountListView::rowMoved);
    list->setRowSelected(2, true);
    ASSERT_TRUE(list->moveSelectedRowBefore(0));
    EXPECT_EQ(list->indexOfRowId(idC), 0);
    ASSERT_EQ(moved.count(), 1);
    EXPECT_EQ(moved.at(0).at(0).value<std::uint64_t>(), idC);
    list->appendRow(list->row(0));
    EXPECT_NE(list->rowId(3), idC);
    list->removeRowAt(0);
    EXPECT_EQ(list->indexOfRowId(idC), -1);
}

TEST_F(AccountListViewTest, DeleteKeyIsReported) {
    list->setRows({makeRow("a")});
    QSignalSpy spy(list.get(), &AccountListView::deleteKeyPressed);
    QTest::keyClick(list.get(), Qt::Key_Delete);
    EXPECT_EQ(spy.count(), 1);
    QTest::keyClick(list.get(), Qt::Key_Down);
    EXPECT_EQ(spy.count(), 1);
}

} // namespace
} // namespace qm
