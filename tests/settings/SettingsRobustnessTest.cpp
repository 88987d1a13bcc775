#include "settings/SettingsFile.h"

#include "SettingsTestSupport.h"
#include "settings/IniFile.h"

#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>

namespace qm {
namespace {

SettingsData SampleData() {
    SettingsData data;
    data.main.Interval = 9;
    data.accounts.push_back(ToAccountRow(Account{"pop.new", "new", "", 110, 60, false, 0}));
    return data;
}

TEST(SaveSettings, FailedSaveLeavesTheOldFile_TempNameIsAFolder) {
    const auto dir = test::FreshDir();
    const auto path = dir / "q.ini";
    const std::string old = test::CrLf({"[Main]", "Interval=4", "[Settings1]", "POP3=old"});
    test::WriteBytes(path, old);
    std::filesystem::create_directory(dir / "q.ini.tmp"); // the temporary file cannot be made
    std::string error;
    EXPECT_FALSE(SaveSettings(path, SampleData(), &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(test::ReadBytes(path), old);
}

TEST(SaveSettings, FailedSaveLeavesTheOldFile_TargetIsAFolder) {
    // The rename cannot replace a folder: the temporary file must not be left behind.
    const auto dir = test::FreshDir();
    const auto path = dir / "q.ini";
    std::filesystem::create_directory(path);
    EXPECT_FALSE(SaveSettings(path, SampleData()));
    EXPECT_TRUE(std::filesystem::is_directory(path));
    EXPECT_FALSE(std::filesystem::exists(dir / "q.ini.tmp"));
}

TEST(SaveSettings, ParentIsARegularFile) {
    const auto dir = test::FreshDir();
    test::WriteBytes(dir / "plain", "x");
    EXPECT_FALSE(SaveSettings(dir / "plain" / "q.ini", SampleData()));
    EXPECT_EQ(test::ReadBytes(dir / "plain"), "x");
}

TEST(SaveSettings, StaleTemporaryFileIsReplaced) {
    const auto dir = test::FreshDir();
    test::WriteBytes(dir / "q.ini.tmp", std::string(100000, 'z'));
    ASSERT_TRUE(SaveSettings(dir / "q.ini", SampleData()));
    EXPECT_EQ(LoadSettings(dir / "q.ini").data.main.Interval, 9);
    EXPECT_FALSE(std::filesystem::exists(dir / "q.ini.tmp"));
}

TEST(SaveSettings, WritesThroughASymbolicLink) {
    const auto dir = test::FreshDir();
    test::WriteBytes(dir / "real.ini", "[Main]\r\n");
    std::filesystem::create_symlink("real.ini", dir / "q.ini");
    ASSERT_TRUE(SaveSettings(dir / "q.ini", SampleData()));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "q.ini"));
    EXPECT_EQ(LoadSettings(dir / "real.ini").data.main.Interval, 9);
}

TEST(LoadSettings, CannotCreateGivesFallbackAndError) {
    const auto dir = test::FreshDir();
    test::WriteBytes(dir / "plain", "x");
    const LoadResult result = LoadSettings(dir / "plain" / "q.ini");
    EXPECT_EQ(result.status, LoadStatus::CreateFailed);
    EXPECT_FALSE(result.error.empty());
    EXPECT_EQ(result.data.main, MonitorSettings{});
    EXPECT_TRUE(result.data.accounts.empty());
}

TEST(LoadSettings, UnreadableFileIsLeftAlone) {
    const auto dir = test::FreshDir();
    std::filesystem::create_directory(dir / "q.ini");
    const LoadResult result = LoadSettings(dir / "q.ini");
    EXPECT_EQ(result.status, LoadStatus::ReadFailed);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "q.ini"));
}

TEST(LoadSettings, BinaryJunkLoadsDefaultsAndKeepsTheFile) {
    const auto path = test::FreshDir() / "q.ini";
    std::mt19937 random(99);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string junk(200000, '\0');
    for (char& c : junk) {
        c = static_cast<char>(byte(random));
    }
    test::WriteBytes(path, junk);
    const LoadResult result = LoadSettings(path);
    EXPECT_EQ(result.status, LoadStatus::Loaded);
    EXPECT_EQ(result.data.main.Interval, 5);
    EXPECT_EQ(test::ReadBytes(path), junk);
}

TEST(LoadSettings, HugeValueIsCutAndSplitsItsLastValue) {
    const auto path = test::FreshDir() / "q.ini";
    // Values of 10 bytes plus "; " each: the cut at 2047 falls inside a value.
    std::vector<std::string> items;
    for (int i = 0; i < 1000; ++i) {
        std::string item(10, static_cast<char>('a' + i % 26));
        item[0] = 'v';
        items.push_back(item);
    }
    SettingsData data;
    data.main.FromAddress = JoinValueList(items);
    ASSERT_TRUE(SaveSettings(path, data));
    const std::string read = LoadSettings(path).data.main.FromAddress;
    EXPECT_EQ(read, data.main.FromAddress.substr(0, kProfileValueMax));
    const auto values = SplitValueList(read);
    ASSERT_EQ(values.size(), 2047u / 12 + 1);
    EXPECT_EQ(values.back(), items[values.size() - 1].substr(0, 2047 % 12));
}

TEST(LoadSettings, ThousandsOfAccountSections) {
    const auto path = test::FreshDir() / "q.ini";
    std::string text = "[Main]\r\n";
    for (int i = 1; i <= 5000; ++i) {
        text += "[Settings" + std::to_string(i) + "]\r\nPOP3=h" + std::to_string(i) + "\r\n";
    }
    test::WriteBytes(path, text);
    const LoadResult result = LoadSettings(path);
    ASSERT_EQ(result.data.accounts.size(), 5000u);
    EXPECT_EQ(result.data.accounts.back().Caption, "h5000");
}

TEST(LoadSettings, SpecialFilesAreNotRead) {
    // A FIFO would block the read, a device like /dev/zero would never end.
    const auto dir = test::FreshDir();
    ASSERT_EQ(::mkfifo((dir / "q.ini").c_str(), 0600), 0);
    EXPECT_EQ(LoadSettings(dir / "q.ini").status, LoadStatus::ReadFailed);
    EXPECT_EQ(LoadSettings("/dev/zero").status, LoadStatus::ReadFailed);
}

TEST(LoadSettings, FileOverTheLimitIsNotLoadedInPart) {
    // Every counted section becomes a row, so a giant file must not be read whole; a part of it
    // would lose the accounts past the cut for good at the next save.
    const auto path = test::FreshDir() / "q.ini";
    const std::string text = "[Main]\r\nInterval=9\r\n[Settings1]\r\nPOP3=a\r\n" + std::string(5u << 20, ' ') +
                             "\r\n[Settings2]\r\nPOP3=b\r\n";
    test::WriteBytes(path, text);
    const LoadResult result = LoadSettings(path);
    EXPECT_EQ(result.status, LoadStatus::ReadFailed);
    EXPECT_NE(result.error.find("larger than 4 MiB"), std::string::npos) << result.error;
    EXPECT_EQ(result.data.main.Interval, MonitorSettings{}.Interval);
    EXPECT_TRUE(result.data.accounts.empty());
    EXPECT_EQ(test::ReadBytes(path), text);
}

TEST(LoadSettings, DamagedSecurityIsKeptAndSavedBackUnchanged) {
    const struct {
        std::string stored;
        std::string cell;
    } rows[] = {
        {"STLS", "STLS"}, {"2 ; starttls", "2 ; starttls"}, {"99999999999", "99999999999"}, {"0x2", "2"}, {"1", "1"},
        {"", "0"}};
    for (const auto& row : rows) {
        const auto path = test::FreshDir() / "q.ini";
        test::WriteBytes(path, "[Main]\r\n[Settings1]\r\nPOP3=h\r\nSecurity=" + row.stored + "\r\n");
        const LoadResult loaded = LoadSettings(path);
        ASSERT_EQ(loaded.data.accounts.size(), 1u) << row.stored;
        EXPECT_EQ(loaded.data.accounts[0].Security, row.cell) << row.stored;
        ASSERT_TRUE(SaveSettings(path, loaded.data));
        EXPECT_NE(test::ReadBytes(path).find("\r\nSecurity=" + row.cell + "\r\n"), std::string::npos) << row.stored;
    }
    // A missing key is plain text, as it always was.
    const auto path = test::FreshDir() / "q.ini";
    test::WriteBytes(path, "[Main]\r\n[Settings1]\r\nPOP3=h\r\n");
    EXPECT_EQ(LoadSettings(path).data.accounts.at(0).Security, "0");
}

TEST(SaveSettings, NewFileIsPrivateAndAnExistingModeIsKept) {
    namespace fs = std::filesystem;
    const auto dir = test::FreshDir();
    ASSERT_EQ(LoadSettings(dir / "new.ini").status, LoadStatus::Created);
    EXPECT_EQ(fs::status(dir / "new.ini").permissions() & (fs::perms::group_all | fs::perms::others_all),
              fs::perms::none);
    test::WriteBytes(dir / "old.ini", "[Main]\r\n");
    fs::permissions(dir / "old.ini", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(SaveSettings(dir / "old.ini", SampleData()));
    EXPECT_EQ(fs::status(dir / "old.ini").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

} // namespace
} // namespace qm
