// The data folder rule: beside the program, installed (config folder), --dir; and the folders
// that are refused.
#include "platform/DataFolder.h"

#include "PlatformTestDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qm {
namespace {

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;

struct RuleRow {
    const char* name;
    bool inInstallBin; // the program lies in the install prefix's bin folder
    bool iniBeside;    // a quillmere.ini lies beside it
    bool dirGiven;     // --dir names a folder
    DataFolderReason reason;
    const char* expected; // {cfg} the config home, {app} the program's folder, {given} the --dir folder
};

class DataFolderRule : public ::testing::TestWithParam<RuleRow> {};

TEST_P(DataFolderRule, PicksTheFolder) {
    const RuleRow& row = GetParam();
    const fs::path root = test::FreshTestDir();
    const fs::path prefix = root / "prefix";
    const fs::path app = row.inInstallBin ? prefix / "bin" : root / "build";
    fs::create_directories(prefix / "bin");
    fs::create_directories(app);
    if (row.iniBeside) {
        test::WriteFile(app / "quillmere.ini", "[Main]\r\n");
    }
    const auto env = test::FakeEnvironment({{"XDG_CONFIG_HOME", (root / "cfg").string()}, {"HOME", "/nowhere"}});
    const std::optional<fs::path> given = row.dirGiven ? std::optional<fs::path>(root / "given") : std::nullopt;

    // The install prefix is compared as a folder, however it is spelt.
    const DataFolder folder = ChooseDataFolder(app / "quillmere", given, prefix / "bin" / ".." / "bin", env);
    std::string expected = row.expected;
    for (const auto& [key, value] :
         {std::pair<std::string, fs::path>{"{cfg}", root / "cfg"}, {"{app}", app}, {"{given}", root / "given"}}) {
        if (const auto at = expected.find(key); at != std::string::npos) {
            expected.replace(at, key.size(), value.string());
        }
    }
    EXPECT_EQ(folder.path, fs::path(expected));
    EXPECT_EQ(folder.reason, row.reason);
    EXPECT_TRUE(folder.usable());
    // Choosing creates nothing.
    EXPECT_FALSE(fs::exists(root / "cfg"));
}

INSTANTIATE_TEST_SUITE_P(
    Table, DataFolderRule,
    ::testing::Values(RuleRow{"build tree", false, false, false, DataFolderReason::BesideProgram, "{app}"},
                      RuleRow{"copy with settings", false, true, false, DataFolderReason::BesideProgram, "{app}"},
                      RuleRow{"installed", true, false, false, DataFolderReason::Installed, "{cfg}/quillmere"},
                      RuleRow{"installed, settings beside", true, true, false, DataFolderReason::BesideProgram,
                              "{app}"},
                      RuleRow{"--dir in the build tree", false, false, true, DataFolderReason::Given, "{given}"},
                      RuleRow{"--dir when installed", true, false, true, DataFolderReason::Given, "{given}"}));

TEST(DataFolder, InstalledConfigFolderIsCreatedPrivate) {
    const fs::path root = test::FreshTestDir();
    DataFolder folder{root / "cfg" / "quillmere", DataFolderReason::Installed, {}};
    const mode_t oldMask = ::umask(022);
    PrepareDataFolder(folder, true);
    ::umask(oldMask);
    ASSERT_TRUE(folder.usable()) << folder.error;
    struct stat st {};
    ASSERT_EQ(::stat(folder.path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0700u);
}

TEST(DataFolder, CheckingOnlyCreatesNothing) {
    const fs::path root = test::FreshTestDir();
    DataFolder folder{root / "cfg" / "quillmere", DataFolderReason::Installed, {}};
    PrepareDataFolder(folder, false);
    EXPECT_TRUE(folder.usable()) << folder.error;
    EXPECT_FALSE(fs::exists(root / "cfg"));
}

// A folder owned by someone else: as root, one handed to nobody; otherwise a system folder.
TEST(DataFolder, ConfigFolderOfAnotherUserIsRefused) {
    const fs::path root = test::FreshTestDir();
    fs::path foreign = "/usr/share";
    if (::geteuid() == 0) {
        foreign = root / "quillmere";
        fs::create_directory(foreign);
        ASSERT_EQ(::chown(foreign.c_str(), kNobody, kNobody), 0);
    }
    DataFolder folder{foreign, DataFolderReason::Installed, {}};
    PrepareDataFolder(folder, true);
    EXPECT_EQ(folder.error, "config folder '" + foreign.string() + "' belongs to another user; refused");
}

struct GivenRow {
    const char* name;
    const char* what; // "missing", "file", "folder", "open" (mode 0777), "foreign" (nobody's)
    const char* error;
};

class GivenFolder : public ::testing::TestWithParam<GivenRow> {};

TEST_P(GivenFolder, IsCheckedNotCreated) {
    const GivenRow& row = GetParam();
    const fs::path root = test::FreshTestDir();
    const fs::path given = root / "given";
    if (std::string(row.what) == "file") {
        test::WriteFile(given, "x");
    } else if (std::string(row.what) != "missing") {
        fs::create_directory(given);
    }
    if (std::string(row.what) == "open") {
        fs::permissions(given, fs::perms::all);
    } else if (std::string(row.what) == "foreign" && ::chown(given.c_str(), kNobody, kNobody) != 0) {
        GTEST_SKIP() << "handing a folder to nobody needs root";
    }
    DataFolder folder = ChooseDataFolder(root / "app" / "quillmere", given, "/usr/bin", test::FakeEnvironment({}));
    PrepareDataFolder(folder, true);
    const std::string expected = row.error[0] == '\0' ? "" : "data folder '" + given.string() + "' " + row.error;
    EXPECT_EQ(folder.error, expected);
    EXPECT_EQ(fs::exists(given), std::string(row.what) != "missing");
}

INSTANTIATE_TEST_SUITE_P(Table, GivenFolder,
                         ::testing::Values(GivenRow{"missing", "missing", "does not exist"},
                                           GivenRow{"a file", "file", "is not a folder"},
                                           GivenRow{"a folder", "folder", ""},
                                           GivenRow{"open to all", "open", "is writable by other users; refused"},
                                           GivenRow{"nobody's", "foreign", "belongs to another user; refused"}));

// Write permission is checked as the user the program runs as; root passes every mode check, so
// as root the check runs in a child that has become nobody.
TEST(DataFolder, GivenFolderNotWritableIsRefused) {
    // Below /tmp, so the user the check runs as can reach it without loosening the build tree.
    std::string pattern = (fs::temp_directory_path() / "qm-readonly-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const fs::path root = pattern;
    fs::permissions(root, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    const fs::path given = root / "readonly";
    fs::create_directory(given);
    fs::permissions(given, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                               fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    const std::string expected = "data folder '" + given.string() + "' is not writable";
    int result = -1;
    if (::geteuid() != 0) {
        DataFolder folder{given, DataFolderReason::Given, {}};
        PrepareDataFolder(folder, true);
        result = folder.error == expected ? 0 : 1;
    } else {
        const pid_t child = ::fork();
        ASSERT_NE(child, -1);
        if (child == 0) {
            if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) {
                ::_exit(3);
            }
            DataFolder folder{given, DataFolderReason::Given, {}};
            PrepareDataFolder(folder, true);
            ::_exit(folder.error == expected ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        result = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    fs::permissions(given, fs::perms::owner_all);
    fs::remove_all(root);
    EXPECT_EQ(result, 0);
}

TEST(DataFolder, DirOptionTakenFromTheCommandLine) {
    const struct {
        std::vector<std::string> args;
        std::optional<fs::path> dir;
        std::string error;
        std::vector<std::string> rest;
    } rows[] = {
        {{"-platform", "xcb"}, std::nullopt, "", {"-platform", "xcb"}},
        {{"--dir", "/d", "-x"}, fs::path("/d"), "", {"-x"}},
        {{"--dir=/d"}, fs::path("/d"), "", {}},
        {{"--dir"}, std::nullopt, "--dir needs a folder", {}},
        {{"--dir="}, std::nullopt, "--dir needs a folder", {}},
        {{"--dir", ""}, std::nullopt, "--dir needs a folder", {}},
        {{"--dir", "/a", "--dir=/b"}, fs::path("/b"), "--dir given twice", {}},
    };
    for (const auto& row : rows) {
        std::vector<std::string> args = row.args;
        const DirOption option = TakeDirOption(args);
        EXPECT_EQ(option.dir, row.dir) << row.args.front();
        EXPECT_EQ(option.error, row.error) << row.args.front();
        EXPECT_EQ(args, row.rest) << row.args.front();
    }
}

} // namespace
} // namespace qm
