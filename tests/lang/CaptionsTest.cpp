// The main window's caption list: every key must reach a translation, names must be unique.
#include "lang/Captions.h"
#include "lang/LangRes.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

namespace qm {
namespace {

TEST(CaptionsTest, EveryKeyHasARowInTheTable) {
    const TLangRes& lr = LanguageTable();
    for (const auto& entry : MainWindowCaptions()) {
        SCOPED_TRACE(entry.objectName);
        bool found = false;
        for (int row = 1; row <= lr.lastFilledRow() && !found; ++row)
            found = lr.cell(row, 2) == entry.englishText;
        EXPECT_TRUE(found) << entry.englishText;
        EXPECT_NE(Translate(entry.englishText, "EN", "RU"), entry.englishText);
    }
}

TEST(CaptionsTest, ControlsAreUniqueAndColumnsOnlyForLists) {
    std::set<std::pair<std::string, int>> seen;
    for (const auto& entry : MainWindowCaptions()) {
        EXPECT_TRUE(seen.insert({entry.objectName, entry.column}).second) << entry.objectName;
        if (entry.target == CaptionTarget::ListColumn)
            EXPECT_GE(entry.column, 0) << entry.objectName;
        else
            EXPECT_EQ(entry.column, -1) << entry.objectName;
    }
    EXPECT_EQ(seen.count({"lwServers", 5}), 0u);
    EXPECT_EQ(seen.count({"lwServers", 4}), 1u);
}

TEST(CaptionsTest, ControlsKeptInEnglishAreNotListed) {
    const std::set<std::string> keptEnglish = {"Language1", "English1",   "Russian1",
                                               "Italian1",  "tsAntiSpam", "aDisableAccount"};
    for (const auto& entry : MainWindowCaptions())
        EXPECT_EQ(keptEnglish.count(entry.objectName), 0u) << entry.objectName;
}

struct MenuCheckCase {
    const char* current;
    bool english, russian, italian;
};

TEST(CaptionsTest, LanguageMenuCheckIsExact) {
    const MenuCheckCase cases[] = {
        {"EN", true, false, false},  {"RU", false, true, false},  {"IT", false, false, true},
        {"ru", false, false, false}, {"DE", false, false, false}, {" EN", false, false, false},
        {"", false, false, false},
    };
    const auto items = LanguageMenuItems();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_STREQ(items[0].objectName, "English1");
    EXPECT_STREQ(items[1].objectName, "Russian1");
    EXPECT_STREQ(items[2].objectName, "Italian1");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.current);
        EXPECT_EQ(IsLanguageMenuChecked(c.current, items[0].code), c.english);
        EXPECT_EQ(IsLanguageMenuChecked(c.current, items[1].code), c.russian);
        EXPECT_EQ(IsLanguageMenuChecked(c.current, items[2].code), c.italian);
    }
}

} // namespace
} // namespace qm
