#include "settings/SettingsFile.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

using Values = std::vector<std::string>;

TEST(SplitValueList, Table) {
    const struct {
        const char* text;
        Values values;
    } cases[] = {
        {"", {}},
        {" \t ", {}},
        {"a", {"a"}},
        {"b;  c, a ", {"b", "c", "a"}}, // file order; the combo box sorts
        {"a; b; ", {"a", "b"}},         // what the save writes
        {";;,,a,,;;", {"a"}},
        {"*big sale*; x@y; ", {"*big sale*", "x@y"}}, // a space inside a value is kept
        {"[x]; a[1]", {"(x)", "a(1)"}},
        {"dup; dup; ", {"dup", "dup"}},
        {"\x01lead; trail\x1f", {"lead", "trail"}},
        {"\xcf\xf0\xe8; \xc0", {"\xcf\xf0\xe8", "\xc0"}}, // windows-1251 bytes pass as they are
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SplitValueList(c.text), c.values) << "text '" << c.text << "'";
    }
}

TEST(JoinValueList, EveryItemFollowedBySemicolonSpace) {
    EXPECT_EQ(JoinValueList({}), "");
    EXPECT_EQ(JoinValueList({"a"}), "a; ");
    EXPECT_EQ(JoinValueList({"a", "b c"}), "a; b c; ");
}

TEST(ValueList, JoinThenSplitGivesTheItemsBack) {
    const Values lists[] = {{"one"}, {"*big sale*", "x@example.com"}, {"a b c", "d", "e  f"}};
    for (const auto& items : lists) {
        EXPECT_EQ(SplitValueList(JoinValueList(items)), items);
    }
}

TEST(AccountRow, CellsAndConversions) {
    const Account account{"pop.example", "ann", "TTMOZVUB", 995, 45, true, 2, "3", "oauth2 'a b'"};
    const AccountRow row = ToAccountRow(account);
    EXPECT_EQ(row, (AccountRow{"pop.example", "ann", "TTMOZVUB", "995", "45", "True", "2", "3", "oauth2 'a b'"}));
    EXPECT_EQ(row.Cells(), (Values{"ann", "TTMOZVUB", "995", "45", "True", "2", "3", "oauth2 'a b'", "", "", "", "", "", "", ""}));
    EXPECT_EQ(AccountRow::FromCells("pop.example", row.Cells()), row);
    ASSERT_TRUE(ToAccount(row).has_value());
    EXPECT_EQ(*ToAccount(row), account);
}

TEST(AccountRow, FromCellsToleratesMissingCells) {
    const AccountRow row = AccountRow::FromCells("h", {"u", "p", "110", "60", "False"});
    EXPECT_EQ(row.Security, "");
    EXPECT_EQ(row.Auth, "0");
    EXPECT_EQ(row.TokenCommand, "");
    const auto account = ToAccount(row);
    ASSERT_TRUE(account.has_value());
    EXPECT_EQ(account->Security, 0);
}

TEST(AccountRow, ConversionFailures) {
    const struct {
        AccountRow row;
        bool converts;
    } cases[] = {
        {{"h", "", "", "110", "60", "False", "0"}, true},     {{"h", "", "", "110", "60", "false", "0"}, true},
        {{"h", "", "", "110", "60", "TRUE", "0"}, true},      {{"h", "", "", "0x6E", "60", "False", "0"}, true},
        {{"h", "", "", "", "60", "False", "0"}, false},       {{"h", "", "", "110x", "60", "False", "0"}, false},
        {{"h", "", "", "110", "sixty", "False", "0"}, false}, {{"h", "", "", "110", "60", "Maybe", "0"}, false},
        {{"h", "", "", "110", "60", "", "0"}, false},         {{"h", "", "", "110", "60", "False", "tls"}, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ToAccount(c.row).has_value(), c.converts)
            << c.row.Port << "|" << c.row.TimeOut << "|" << c.row.Disabled << "|" << c.row.Security;
    }
    EXPECT_TRUE(ToAccount({"h", "", "", "110", "60", "TRUE", "0"})->Disabled);
    EXPECT_EQ(ToAccount({"h", "", "", "0x6E", "60", "False", "0"})->Port, 110);
}

} // namespace
} // namespace qm
