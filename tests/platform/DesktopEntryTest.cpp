// Key-file values and Exec quoting, read and written.
#include "platform/DesktopEntry.h"

#include "PlatformTestDir.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

using Args = std::vector<std::string>;

TEST(DesktopEntryTest, FindsKeyInDesktopEntryGroupOnly) {
    const std::string text = "# comment\n"
                             "[Other]\nExec=wrong\n"
                             "[Desktop Entry]\r\n"
                             "Name=Mail\r\n"
                             "Exec[de]=localised\n"
                             "ExecX=other\n"
                             "  Exec  =  thunderbird %u  \r\n"
                             "[Desktop Action new]\nExec=wrong too\n";
    EXPECT_EQ(DesktopEntryValue(text, "Exec"), "thunderbird %u");
    EXPECT_EQ(DesktopEntryValue(text, "Name"), "Mail");
    EXPECT_EQ(DesktopEntryValue(text, "Icon"), std::nullopt);
    EXPECT_EQ(DesktopEntryValue("[Other]\nExec=x\n", "Exec"), std::nullopt);
    EXPECT_EQ(DesktopEntryValue("Exec=x\n[Desktop Entry]\n", "Exec"), std::nullopt);
    EXPECT_EQ(DesktopEntryValue("", "Exec"), std::nullopt);
    EXPECT_EQ(DesktopEntryValue("[Desktop Entry]\nexec=x\n", "Exec"), std::nullopt);
    EXPECT_EQ(DesktopEntryValue("[Desktop Entry]\nExec=\n", "Exec"), "");
    EXPECT_EQ(DesktopEntryValue("[Desktop Entry]\nExec=last line no newline", "Exec"), "last line no newline");
}

TEST(DesktopEntryTest, StringEscapesResolvedOthersKept) {
    EXPECT_EQ(DesktopEntryValue("[Desktop Entry]\nK=a\\sb\\nc\\td\\re\\\\f\n", "K"), "a b\nc\td\re\\f");
    EXPECT_EQ(DesktopEntryValue("[Desktop Entry]\nK=\"a \\\"q\\\" \\$x\"\n", "K"), "\"a \\\"q\\\" \\$x\"");
    EXPECT_EQ(DesktopEntryValue("[Desktop Entry]\nK=end\\\n", "K"), "end\\");
}

struct SplitCase {
    const char* exec;
    std::optional<Args> args;
};

TEST(DesktopEntryTest, SplitExecLine) {
    const SplitCase cases[] = {
        {"thunderbird %u", Args{"thunderbird", "%u"}},
        {"  a\t b  ", Args{"a", "b"}},
        {"", Args{}},
        {"\"/opt/My Mail/client\" -compose %u", Args{"/opt/My Mail/client", "-compose", "%u"}},
        {"\"a \\\"b\\\" \\` \\$ \\\\ c\"", Args{"a \"b\" ` $ \\ c"}},
        {"\"keep \\x\"", Args{"keep \\x"}},
        {"\"\"", Args{""}},
        {"'single quoted' x", Args{"single quoted", "x"}},
        {"a\\ b c", Args{"a b", "c"}},
        {"pre\"mid dle\"post", Args{"premid dlepost"}},
        {"\"unterminated", std::nullopt},
        {"'unterminated", std::nullopt},
        {"\"ends in backslash\\", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.exec);
        EXPECT_EQ(SplitExecLine(c.exec), c.args);
    }
}

TEST(DesktopEntryTest, EscapedValueReadsBackUnchanged) {
    const std::string values[] = {
        "plain", " lead", "trail ", "  ", "back\\slash", "new\nline", "tab\tcr\r", "\"quoted \\\\ text\"", ""};
    for (const auto& v : values) {
        SCOPED_TRACE(v);
        const std::string text = "[Desktop Entry]\nK=" + EscapeDesktopValue(v) + "\n";
        EXPECT_EQ(DesktopEntryValue(text, "K"), v);
    }
}

TEST(DesktopEntryTest, FileValueBoundsAndMissingFiles) {
    const auto dir = test::FreshTestDir();
    test::WriteFile(dir / "ok.desktop", "[Desktop Entry]\nExec=mutt\n");
    EXPECT_EQ(DesktopEntryFileValue(dir / "ok.desktop", "Exec"), "mutt");
    EXPECT_EQ(DesktopEntryFileValue(dir / "missing.desktop", "Exec"), std::nullopt);
    EXPECT_EQ(DesktopEntryFileValue(dir, "Exec"), std::nullopt);

    std::string big = "[Desktop Entry]\nExec=big\n";
    big += std::string((1 << 20) + 1, '#');
    test::WriteFile(dir / "big.desktop", big);
    EXPECT_EQ(DesktopEntryFileValue(dir / "big.desktop", "Exec"), std::nullopt);
}

} // namespace
} // namespace qm
