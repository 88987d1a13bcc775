#include "settings/FilterList.h"

#include "SettingsTestSupport.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

std::vector<std::string> Texts(const FilterList& list) {
    return list.Values();
}

TEST(LoadFilterList, MissingFileIsCreatedWithOneEmptyLine) {
    const auto dir = test::FreshDir();
    for (const char* name : {kAntiSpamListFile, kAntiSpamSubjListFile}) {
        FilterList list;
        list.enabled = false;
        EXPECT_TRUE(LoadFilterList(list, dir / name).ok);
        EXPECT_EQ(test::ReadBytes(dir / name), "\r\n");
        EXPECT_TRUE(list.entries.empty());
        EXPECT_EQ(list.current, -1);
        EXPECT_FALSE(list.enabled); // the switch belongs to the settings file
    }
}

TEST(LoadFilterList, LineRules) {
    const struct {
        std::string content;
        std::vector<std::string> entries;
    } cases[] = {
        {"a\r\n\r\n   \r\n[b]\r\n", {"a", "", "(b)"}},
        {"a\nb\n", {"a", "b"}},
        {"last line without end", {"last line without end"}},
        {"\t  padded\x01  \r\n", {"padded"}},
        {"dup\r\ndup\r\n", {"dup", "dup"}},
        {"x]y[z\r\n", {"x)y(z"}},
        {"\r\n\r\n", {}},
        {"", {}},
        {std::string("in\0side\r\n", 9), {std::string("in\0side", 7)}},
        {"\xcf\xf0\xe8\r\n", {"\xcf\xf0\xe8"}},
    };
    const auto dir = test::FreshDir();
    for (const auto& c : cases) {
        test::WriteBytes(dir / "list.txt", c.content);
        FilterList list;
        list.entries.push_back({"stale", true});
        ASSERT_TRUE(LoadFilterList(list, dir / "list.txt").ok);
        EXPECT_EQ(Texts(list), c.entries) << c.content;
        EXPECT_EQ(list.current, c.entries.empty() ? -1 : 0);
        for (const auto& entry : list.entries) {
            EXPECT_FALSE(entry.checked);
        }
    }
}

TEST(LoadFilterList, VeryLongLinesAndNulBytes) {
    const auto dir = test::FreshDir();
    std::string content(3'000'000, 'm');
    content += "\r\n";
    content += std::string(1000, '\0');
    content += "\r\nshort\r\n";
    test::WriteBytes(dir / "list.txt", content);
    FilterList list;
    ASSERT_TRUE(LoadFilterList(list, dir / "list.txt").ok);
    ASSERT_EQ(list.entries.size(), 3u);
    EXPECT_EQ(list.entries[0].text.size(), 3'000'000u);
    EXPECT_EQ(list.entries[1].text, ""); // NUL bytes are trimmed like other control bytes
    EXPECT_EQ(list.entries[2].text, "short");
}

TEST(LoadFilterList, CannotCreateReportsError) {
    const auto dir = test::FreshDir();
    test::WriteBytes(dir / "plain", "x");
    FilterList list;
    const FileResult result = LoadFilterList(list, dir / "plain" / kAntiSpamListFile);
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.error.empty());
}

TEST(SaveFilterList, TwoEntriesExactly) {
    const auto dir = test::FreshDir();
    FilterList list;
    list.Add("*@spam.example");
    list.Add("*big sale*");
    ASSERT_TRUE(SaveFilterList(list, dir / kAntiSpamListFile).ok);
    EXPECT_EQ(test::ReadBytes(dir / kAntiSpamListFile), "*@spam.example\r\n*big sale*\r\n");
    FilterList back;
    ASSERT_TRUE(LoadFilterList(back, dir / kAntiSpamListFile).ok);
    EXPECT_EQ(Texts(back), Texts(list));
}

TEST(SaveFilterList, FailureLeavesTheOldFile) {
    const auto dir = test::FreshDir();
    test::WriteBytes(dir / "list.txt", "keep\r\n");
    std::filesystem::create_directory(dir / "list.txt.tmp");
    FilterList list;
    list.Add("new");
    EXPECT_FALSE(SaveFilterList(list, dir / "list.txt").ok);
    EXPECT_EQ(test::ReadBytes(dir / "list.txt"), "keep\r\n");
}

TEST(FilterList, DeleteCheckedKeepsCurrentWhenItStays) {
    FilterList list;
    for (const char* text : {"a", "b", "c", "d"}) {
        list.Add(text);
    }
    list.entries[0].checked = true;
    list.entries[2].checked = true;
    list.current = 3;
    list.DeleteChecked();
    EXPECT_EQ(Texts(list), (std::vector<std::string>{"b", "d"}));
    EXPECT_EQ(list.current, 1);
    list.entries[1].checked = true;
    list.DeleteChecked();
    EXPECT_EQ(list.current, -1);
}

TEST(ContainsValue, AsciiFoldingOnly) {
    const std::vector<std::string> strings = {"User@Example.COM", "\xcf\xf0\xe8\xe2\xe5\xf2"}; // "Привет" in 1251
    const struct {
        std::string value;
        bool found;
    } cases[] = {
        {"user@example.com", true},
        {"USER@EXAMPLE.COM", true},
        {"user@example.co", false},
        {"user@example.comm", false},
        {"\xcf\xf0\xe8\xe2\xe5\xf2", true},
        {"\xef\xf0\xe8\xe2\xe5\xf2", false}, // "привет": only the case of a Cyrillic letter differs
        {"\xcf\xd0\xc8\xc2\xc5\xd2", false}, // "ПРИВЕТ"
        {"", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ContainsValue(strings, c.value), c.found) << c.value;
    }
    EXPECT_FALSE(ContainsValue(std::vector<std::string>{}, ""));
    FilterList list;
    list.Add("Mask*");
    EXPECT_TRUE(ContainsValue(list, "MASK*"));
}

} // namespace
} // namespace qm
