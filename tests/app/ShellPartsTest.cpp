// Small parts of the shell: opening programs and addresses, the clock text, list boxes.
#include "AppTestSupport.h"

#include "app/DateTimeText.h"
#include "ui/FilterListBox.h"
#include "platform/gui/ShellOpen.h"
#include "ui/CodePageText.h"

#include <QListWidget>

#include <gtest/gtest.h>

namespace qm::test {
namespace {

TEST(ShellOpen, AddressesAreToldFromPrograms) {
    const struct {
        const char* target;
        bool address;
    } rows[] = {{"http://example.org/zipprg/", true},
                {"HTTPS://example.org", true},
                {"mailto:someone@example.org", true},
                {"file:///tmp/x", true},
                {"thunderbird", false},
                {"/usr/bin/thunderbird", false},
                {"C:/Program Files/client.exe", false},
                {":nothing", false},
                {"", false}};
    for (const auto& row : rows) {
        EXPECT_EQ(IsAddress(QString::fromUtf8(row.target)), row.address) << row.target;
    }
}

TEST(ShellOpen, ProgramsStartWhenTheyExist) {
    EXPECT_TRUE(ShellOpen(QStringLiteral("true")));
    EXPECT_FALSE(ShellOpen(QStringLiteral("no-such-mail-client-quillmere")));
    EXPECT_FALSE(ShellOpen(QStringLiteral("/nonexistent/folder/client")));
    EXPECT_FALSE(ShellOpen(QString()));
    EXPECT_FALSE(ShellOpen(QStringLiteral("   ")));
}

TEST(DateTimeText, ShowsDateAndTimeWithoutTheZone) {
    const QDateTime moment(QDate(2026, 12, 8), QTime(13, 5, 9));
    const QString text = DateTimeText(moment);
    EXPECT_TRUE(text.startsWith(QLocale::system().toString(moment.date(), QLocale::ShortFormat))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("05:09"))) << text.toStdString();
    EXPECT_FALSE(text.endsWith(moment.timeZoneAbbreviation())) << text.toStdString();
}

class FilterListBoxTest : public ::testing::Test {
protected:
    void SetUp() override { setUiCodePage(1251); }
    void TearDown() override { setUiCodePage(0); }
    QListWidget box;
};

TEST_F(FilterListBoxTest, EntriesTravelThroughTheBoxUnchanged) {
    FilterList list;
    list.entries = {{"*@spam.org", false}, {"\xE0\xE1\xE2*", true}, {"", false}, {"bad\x98", false}};
    list.current = 1;
    ShowFilterList(&box, list);
    ASSERT_EQ(box.count(), 4);
    EXPECT_EQ(box.item(1)->text(), QStringLiteral("абв*"));
    EXPECT_EQ(box.item(1)->checkState(), Qt::Checked);
    EXPECT_EQ(box.currentRow(), 1);
    const FilterList back = ReadFilterList(&box);
    EXPECT_EQ(back.entries, list.entries);
    EXPECT_EQ(back.current, 1);
}

TEST_F(FilterListBoxTest, EditedEntriesAreStoredInTheCodePage) {
    FilterList list;
    list.entries = {{"old", false}};
    ShowFilterList(&box, list);
    box.item(0)->setText(QStringLiteral("где*"));
    AddFilterEntry(&box, "new@x.org");
    const FilterList back = ReadFilterList(&box);
    ASSERT_EQ(back.entries.size(), 2u);
    EXPECT_EQ(back.entries[0].text, "\xE3\xE4\xE5*");
    EXPECT_EQ(back.entries[1].text, "new@x.org");
}

TEST_F(FilterListBoxTest, EmptyListHasNoCurrentEntry) {
    ShowFilterList(&box, FilterList{});
    EXPECT_EQ(box.count(), 0);
    EXPECT_EQ(ReadFilterList(&box).current, -1);
}

} // namespace
} // namespace qm::test
