// The autostart entry: written, recognised only for the exact executable path, removed, and
// refused when its folder cannot be written.
#include "platform/AutoStart.h"

#include "platform/DesktopEntry.h"

#include "PlatformTestDir.h"

#include <gtest/gtest.h>

#include <utility>

namespace qm {
namespace {

namespace fs = std::filesystem;

const std::string kExe = "/opt/quillmere/quillmere";

TEST(AutoStartTest, ConfigHomeFromEnvironment) {
    EXPECT_EQ(ConfigHome(test::FakeEnvironment({{"XDG_CONFIG_HOME", "/cfg"}, {"HOME", "/home/u"}})), "/cfg");
    EXPECT_EQ(ConfigHome(test::FakeEnvironment({{"XDG_CONFIG_HOME", ""}, {"HOME", "/home/u"}})), "/home/u/.config");
    EXPECT_EQ(ConfigHome(test::FakeEnvironment({{"XDG_CONFIG_HOME", "rel"}, {"HOME", "/home/u"}})), "/home/u/.config");
    EXPECT_EQ(ConfigHome(test::FakeEnvironment({{"HOME", "/home/u"}})), "/home/u/.config");
    EXPECT_EQ(AutoStartEntryPath("/cfg"), "/cfg/autostart/quillmere.desktop");
}

TEST(AutoStartTest, NoEntryMeansOff) {
    const auto dir = test::FreshTestDir();
    EXPECT_FALSE(IsAutoStartRegistered(kExe, dir));
    EXPECT_FALSE(SetAutoStart(false, kExe, dir));
    EXPECT_FALSE(fs::exists(AutoStartEntryPath(dir)));
}

TEST(AutoStartTest, SetCreatesFolderAndEntry) {
    const auto dir = test::FreshTestDir();
    EXPECT_TRUE(SetAutoStart(true, kExe, dir));
    EXPECT_TRUE(IsAutoStartRegistered(kExe, dir));
    const std::string text = test::ReadFile(AutoStartEntryPath(dir));
    EXPECT_EQ(DesktopEntryValue(text, "Exec"), kExe);
    EXPECT_EQ(DesktopEntryValue(text, "Type"), "Application");
    // Nothing but the entry is left in the folder (no temporary file).
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "autostart"), fs::directory_iterator()), 1);
}

TEST(AutoStartTest, OnlyTheExactPathCounts) {
    const auto dir = test::FreshTestDir();
    ASSERT_TRUE(SetAutoStart(true, kExe, dir));
    EXPECT_FALSE(IsAutoStartRegistered("/opt/quillmere/Quillmere", dir));
    EXPECT_FALSE(IsAutoStartRegistered("/opt/quillmere/quillmere2", dir));
    EXPECT_FALSE(IsAutoStartRegistered("/opt/quillmere/", dir));
    EXPECT_FALSE(IsAutoStartRegistered("quillmere", dir));
    EXPECT_FALSE(IsAutoStartRegistered("", dir));
}

TEST(AutoStartTest, MovedExecutableShowsOffAndSetRewrites) {
    const auto dir = test::FreshTestDir();
    ASSERT_TRUE(SetAutoStart(true, "/old/place/quillmere", dir));
    EXPECT_FALSE(IsAutoStartRegistered(kExe, dir));
    EXPECT_TRUE(SetAutoStart(true, kExe, dir));
    EXPECT_TRUE(IsAutoStartRegistered(kExe, dir));
    EXPECT_FALSE(IsAutoStartRegistered("/old/place/quillmere", dir));
}

TEST(AutoStartTest, DisableDeletesEvenAnotherPathsEntry) {
    const auto dir = test::FreshTestDir();
    ASSERT_TRUE(SetAutoStart(true, "/old/place/quillmere", dir));
    EXPECT_FALSE(SetAutoStart(false, kExe, dir));
    EXPECT_FALSE(fs::exists(AutoStartEntryPath(dir)));
}

struct HandWritten {
    const char* name;
    const char* text;
    bool registered;
};

TEST(AutoStartTest, HandWrittenEntries) {
    const HandWritten cases[] = {
        {"plain", "[Desktop Entry]\nExec=/opt/quillmere/quillmere\n", true},
        {"quoted", "[Desktop Entry]\nExec=\"/opt/quillmere/quillmere\"\n", true},
        {"with argument", "[Desktop Entry]\nExec=/opt/quillmere/quillmere --x\n", false},
        {"field code", "[Desktop Entry]\nExec=/opt/quillmere/quillmere %u\n", false},
        {"no Exec", "[Desktop Entry]\nName=quillmere\n", false},
        {"empty Exec", "[Desktop Entry]\nExec=\n", false},
        {"other group", "[Other]\nExec=/opt/quillmere/quillmere\n", false},
        {"unterminated quote", "[Desktop Entry]\nExec=\"/opt/quillmere/quillmere\n", false},
        {"binary junk", "\x01\x02\xff[Desktop Entry\n\n==\n", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto dir = test::FreshTestDir();
        test::WriteFile(AutoStartEntryPath(dir), c.text);
        EXPECT_EQ(IsAutoStartRegistered(kExe, dir), c.registered);
    }
}

TEST(AutoStartTest, PathsNeedingQuotesRoundTrip) {
    const std::string paths[] = {
        "/home/user/My Programs/quillmere", "/home/user/a\"b/quillmere",
        "/home/user/back\\slash/quillmere", "/home/user/$HOME/`x`/quillmere",
        "/home/user/100%/quillmere",        "/home/user/new\nline/quillmere",
        "/home/user/tab\there/quillmere ",  "/home/user/(x)&y;z|w<v>u~#*?'/quillmere",
        "/home/user/Программы/quillmere",
    };
    for (const auto& path : paths) {
        SCOPED_TRACE(path);
        const auto dir = test::FreshTestDir();
        EXPECT_TRUE(SetAutoStart(true, path, dir));
        EXPECT_TRUE(IsAutoStartRegistered(path, dir));
        // A neighbour path differing only in the escaped character must not match.
        EXPECT_FALSE(IsAutoStartRegistered(path + "x", dir));
        const auto exec = DesktopEntryValue(test::ReadFile(AutoStartEntryPath(dir)), "Exec");
        ASSERT_TRUE(exec.has_value());
        const auto args = SplitExecLine(*exec);
        ASSERT_TRUE(args.has_value());
        EXPECT_EQ(args->size(), 1u);
    }
}

// Other desktops read the entry too, so the written form must follow the quoting rules exactly.
TEST(AutoStartTest, ExecValueWrittenForm) {
    const std::pair<std::string, std::string> cases[] = {
        {"/usr/bin/quillmere", "/usr/bin/quillmere"},   {"/a b/q", "\"/a b/q\""}, {"/a\\b/q", "\"/a\\\\\\\\b/q\""},
        {"/a$b`c\"d/q", "\"/a\\\\$b\\\\`c\\\\\"d/q\""}, {"/a%b/q", "/a%%b/q"},    {"/a\nb/q", "\"/a\\nb/q\""},
    };
    for (const auto& [path, exec] : cases) {
        SCOPED_TRACE(path);
        EXPECT_EQ(ExecValueFor(path), exec);
    }
}

// A monitor started on another data folder is started on it again, and only that start counts.
TEST(AutoStartTest, DataFolderArgumentsAreWrittenAndMatched) {
    const auto dir = test::FreshTestDir();
    const AutoStartCommand command{kExe, "--dir", "/home/u/My Mail"};
    EXPECT_EQ(ExecValueFor(command), kExe + " --dir \"/home/u/My Mail\"");
    EXPECT_TRUE(SetAutoStart(true, command, dir));
    EXPECT_TRUE(IsAutoStartRegistered(command, dir));
    EXPECT_FALSE(IsAutoStartRegistered(kExe, dir));
    EXPECT_FALSE(IsAutoStartRegistered(AutoStartCommand{kExe, "--dir", "/home/u/Other"}, dir));
    EXPECT_TRUE(SetAutoStart(true, kExe, dir));
    EXPECT_FALSE(IsAutoStartRegistered(command, dir));
}

TEST(AutoStartTest, AutostartFolderIsAFileSoNothingIsWritten) {
    const auto dir = test::FreshTestDir();
    test::WriteFile(dir / "autostart", "not a folder");
    EXPECT_FALSE(SetAutoStart(true, kExe, dir));
    EXPECT_FALSE(IsAutoStartRegistered(kExe, dir));
    EXPECT_EQ(test::ReadFile(dir / "autostart"), "not a folder");
}

TEST(AutoStartTest, EntryIsAFolderSoSetFails) {
    const auto dir = test::FreshTestDir();
    fs::create_directories(AutoStartEntryPath(dir) / "inside");
    EXPECT_FALSE(SetAutoStart(true, kExe, dir));
    EXPECT_FALSE(SetAutoStart(false, kExe, dir));
    EXPECT_TRUE(fs::is_directory(AutoStartEntryPath(dir)));
    // The failed write leaves no temporary file behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "autostart"), fs::directory_iterator()), 1);
}

TEST(AutoStartTest, UnusableConfigDirIsNeverWritten) {
    EXPECT_FALSE(SetAutoStart(true, kExe, fs::path()));
    EXPECT_FALSE(SetAutoStart(true, kExe, fs::path("relative/dir")));
    EXPECT_FALSE(fs::exists("relative"));
    EXPECT_FALSE(IsAutoStartRegistered(kExe, fs::path()));
}

} // namespace
} // namespace qm
