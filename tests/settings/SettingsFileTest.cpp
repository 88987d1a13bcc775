#include "settings/SettingsFile.h"

#include "SettingsTestSupport.h"
#include "settings/IniFile.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

const std::string kNewFile =
    test::CrLf({"[Main]", "Interval=5", "Executing=0", "Language=EN", "FromAddress=", "Subject=", "UseFrom=0",
                "UseSubject=0", "Attach=0", "WriteToFile=0", "Overwrite=0", "FileName=messages.txt",
                "AntiSpamListEnabled=1", "AntiSpamSubjListEnabled=1", "CheckNewVersion=1", ""});

TEST(SettingsPath, ExecutableNameRule) {
    const struct {
        const char* exe;
        const char* ini;
    } cases[] = {
        {"/opt/qm/quillmere", "/opt/qm/quillmere.ini"},
        {"/opt/qm/monitor.exe", "/opt/qm/monitor.ini"},
        {"/opt/qm/MONITOR.EXE", "/opt/qm/MONITOR.ini"},
        {"/opt/qm/a.b", "/opt/qm/a.b.ini"},
        {"/opt/qm/exe", "/opt/qm/exe.ini"},
        {"/opt/qm/.exe", "/opt/qm/.ini"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SettingsPath(c.exe), std::filesystem::path(c.ini)) << c.exe;
    }
    EXPECT_EQ(ProgramDirectory("/opt/qm/quillmere"), std::filesystem::path("/opt/qm"));
}

TEST(LoadSettings, MissingFileIsCreatedWithTheDefaults) {
    const auto path = test::FreshDir() / "quillmere.ini";
    const LoadResult result = LoadSettings(path);
    EXPECT_EQ(result.status, LoadStatus::Created);
    EXPECT_EQ(test::ReadBytes(path), kNewFile);
    EXPECT_TRUE(result.data.accounts.empty());
    EXPECT_EQ(result.data.main, MonitorSettings{});
    EXPECT_TRUE(result.data.main.CheckNewVersion && result.data.main.AntiSpamListEnabled &&
                result.data.main.AntiSpamSubjListEnabled);
    EXPECT_EQ(result.data.main.Interval, 5);
    EXPECT_EQ(result.data.main.FileName, "messages.txt");
    EXPECT_EQ(result.data.main.Language, "EN");
}

TEST(LoadSettings, OnlyMainHeaderGivesTheDefaults) {
    const auto path = test::FreshDir() / "q.ini";
    test::WriteBytes(path, "[Main]\r\n");
    const LoadResult result = LoadSettings(path);
    EXPECT_EQ(result.status, LoadStatus::Loaded);
    EXPECT_EQ(result.data.main, MonitorSettings{});
    EXPECT_EQ(test::ReadBytes(path), "[Main]\r\n"); // loading never rewrites an existing file
}

TEST(LoadSettings, ReadsEveryOption) {
    const auto path = test::FreshDir() / "q.ini";
    test::WriteBytes(path, test::CrLf({"[main]",
                                       "interval=0x0A",
                                       "LANGUAGE=RU",
                                       "MailClient=/usr/bin/thunderbird",
                                       "Executing=1",
                                       "Minimized=1",
                                       "Inform=1",
                                       "Sound=1",
                                       "FromAddress=a@b; c@d; ",
                                       "Subject=sale; ",
                                       "Attach=1",
                                       "UseFrom=1",
                                       "UseSubject=1",
                                       "WriteToFile=1",
                                       "Overwrite=1",
                                       "FileName=/tmp/log.txt",
                                       "AntiSpamListEnabled=0",
                                       "AntiSpamSubjListEnabled=0",
                                       "CheckNewVersion=0",
                                       "Notify=1"}));
    const MonitorSettings m = LoadSettings(path).data.main;
    EXPECT_EQ(m.Interval, 10);
    EXPECT_EQ(m.Language, "RU");
    EXPECT_EQ(m.MailClient, "/usr/bin/thunderbird");
    EXPECT_TRUE(m.Executing && m.Minimized && m.Inform && m.Sound && m.Attach && m.UseFrom && m.UseSubject &&
                m.WriteToFile && m.Overwrite && m.Notify);
    EXPECT_FALSE(m.AntiSpamListEnabled || m.AntiSpamSubjListEnabled || m.CheckNewVersion);
    EXPECT_EQ(m.FromAddress, "a@b; c@d;");
    EXPECT_EQ(m.Subject, "sale;");
    EXPECT_EQ(m.FileName, "/tmp/log.txt");
}

TEST(LoadSettings, NonNumbersTakeDefaults) {
    const auto path = test::FreshDir() / "q.ini";
    test::WriteBytes(path, test::CrLf({"[Main]", "Interval=five", "CheckNewVersion=x", "Sound=x", "[Settings1]",
                                       "Port=pop", "TimeOut=12abc", "Disabled=maybe", "Security=tls"}));
    const LoadResult result = LoadSettings(path);
    EXPECT_EQ(result.data.main.Interval, 5);
    EXPECT_TRUE(result.data.main.CheckNewVersion);
    EXPECT_FALSE(result.data.main.Sound);
    ASSERT_EQ(result.data.accounts.size(), 1u);
    // A damaged Security value is kept: read as 0 it would mean plain text.
    EXPECT_EQ(result.data.accounts[0], (AccountRow{"127.0.0.1", "", "", "110", "60", "False", "tls"}));
}

TEST(LoadSettings, AccountsAndTheirDefaults) {
    const auto path = test::FreshDir() / "q.ini";
    test::WriteBytes(path, test::CrLf({"[Main]", "[Settings1]", "POP3=pop.example.org", "AccountName=ann",
                                       "AccountPassword=TTMOZVUB", "Port=995", "TimeOut=30", "Disabled=1", "Security=1",
                                       "[settings2]", "AccountName=bob"}));
    const LoadResult result = LoadSettings(path);
    ASSERT_EQ(result.data.accounts.size(), 2u);
    EXPECT_EQ(result.data.accounts[0], (AccountRow{"pop.example.org", "ann", "TTMOZVUB", "995", "30", "True", "1"}));
    EXPECT_EQ(result.data.accounts[1], (AccountRow{"127.0.0.1", "bob", "", "110", "60", "False", "0"}));
}

TEST(LoadSettings, GapInNumberingReadsCountedSectionsOnly) {
    // Sections 1 and 3: two are counted, so 1 and 2 are read and 2 has all defaults.
    const auto path = test::FreshDir() / "q.ini";
    test::WriteBytes(path, test::CrLf({"[Main]", "[Settings1]", "POP3=one", "[Settings3]", "POP3=three"}));
    const LoadResult result = LoadSettings(path);
    ASSERT_EQ(result.data.accounts.size(), 2u);
    EXPECT_EQ(result.data.accounts[0].Caption, "one");
    EXPECT_EQ(result.data.accounts[1], ToAccountRow(Account{}));
}

TEST(CountAccountSections, CountsTrimmedUpperCasedPrefix) {
    const struct {
        const char* text;
        int count;
    } cases[] = {
        {"[Settings1]\r\n[Settings2]\r\n", 2},
        {"[settings1]\r\n", 1},
        {"  \t[SETTINGS7]  \r\n", 1},
        {"[SettingsX]\r\n", 1}, // the name after the prefix is not looked at
        {"[Settings\r\n", 1},
        {"[Setting1]\r\n", 0},
        {"Settings1\r\n", 0},
        {"x[Settings1]\r\n", 0},
        {"[Main]\r\nPOP3=[Settings1]\r\n", 0},
        {"[Settings1]", 1}, // last line without line end
        {"", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CountAccountSectionsInText(c.text), c.count) << c.text;
    }
    EXPECT_FALSE(CountAccountSections(test::FreshDir() / "missing.ini").has_value());
}

TEST(SaveSettings, WritesKeysInOrderAndNumbersAccounts) {
    const auto path = test::FreshDir() / "q.ini";
    SettingsData data;
    data.main.Interval = 3;
    data.main.Language = "IT";
    data.main.Sound = true;
    data.main.FromAddress = JoinValueList({"*big sale*", "x@y"});
    data.accounts.push_back(ToAccountRow(Account{"pop.a", "ann", "TTMOZVUB", 110, 60, false, 0}));
    data.accounts.push_back(
        ToAccountRow(Account{"pop.b", "bob", "", 995, 20, true, 1, "2", "oauth2.py --token \"bob@b\""}));
    ASSERT_TRUE(SaveSettings(path, data));
    EXPECT_EQ(test::ReadBytes(path), test::CrLf({"[Main]",
                                                 "Interval=3",
                                                 "Language=IT",
                                                 "MailClient=",
                                                 "Executing=0",
                                                 "Minimized=0",
                                                 "Inform=0",
                                                 "Sound=1",
                                                 "FromAddress=*big sale*; x@y; ",
                                                 "Subject=",
                                                 "Attach=0",
                                                 "UseFrom=0",
                                                 "UseSubject=0",
                                                 "WriteToFile=0",
                                                 "Overwrite=0",
                                                 "FileName=messages.txt",
                                                 "AntiSpamListEnabled=1",
                                                 "AntiSpamSubjListEnabled=1",
                                                 "CheckNewVersion=1",
                                                 "Notify=0",
                                                 "[Settings1]",
                                                 "POP3=pop.a",
                                                 "AccountName=ann",
                                                 "AccountPassword=TTMOZVUB",
                                                 "Port=110",
                                                 "TimeOut=60",
                                                 "Disabled=0",
                                                 "Security=0",
                                                 "Auth=0",
                                                 "TokenCommand=",
                                                 "[Settings2]",
                                                 "POP3=pop.b",
                                                 "AccountName=bob",
                                                 "AccountPassword=",
                                                 "Port=995",
                                                 "TimeOut=20",
                                                 "Disabled=1",
                                                 "Security=1",
                                                 "Auth=2",
                                                 "TokenCommand=oauth2.py --token \"bob@b\""}));
}

// A sign-in method this version does not know is neither dropped nor turned into another one.
TEST(SaveSettings, SignInKeysComeBackAsWritten) {
    const auto path = test::FreshDir() / "q.ini";
    test::WriteBytes(path, test::CrLf({"[Main]", "[Settings1]", "POP3=a", "Auth=3",
                                       "TokenCommand=\"'get-token' 'x y'\"", "PasswordStore=1", "[Settings2]", "POP3=b",
                                       "Auth=kerberos", "PasswordStore=wallet", "[Settings3]", "POP3=c"}));
    const LoadResult loaded = LoadSettings(path);
    ASSERT_EQ(loaded.data.accounts.size(), 3u);
    EXPECT_EQ(loaded.data.accounts[0].Auth, "3");
    EXPECT_EQ(loaded.data.accounts[0].TokenCommand, "'get-token' 'x y'");
    EXPECT_EQ(loaded.data.accounts[1].Auth, "kerberos");
    EXPECT_EQ(loaded.data.accounts[2].Auth, "0");
    EXPECT_EQ(loaded.data.accounts[2].TokenCommand, "");
    ASSERT_TRUE(SaveSettings(path, loaded.data));
    const IniFile ini = IniFile::Parse(test::ReadBytes(path));
    EXPECT_EQ(ini.ReadString("Settings1", "TokenCommand", "?"), "'get-token' 'x y'");
    EXPECT_EQ(ini.ReadString("Settings2", "Auth", "?"), "kerberos");
    EXPECT_EQ(ini.ReadString("Settings3", "Auth", "?"), "0");
    EXPECT_EQ(ini.ReadString("Settings1", "PasswordStore", "?"), "1");
    EXPECT_EQ(ini.ReadString("Settings2", "PasswordStore", "?"), "wallet");
    EXPECT_EQ(ini.ReadString("Settings3", "PasswordStore", "?"), "?"); // a file-kept password adds no key
    ASSERT_TRUE(SaveSettings(path, LoadSettings(path).data));
    EXPECT_EQ(LoadSettings(path).data.accounts, loaded.data.accounts);
}

TEST(SaveSettings, RoundTripThroughLoad) {
    const auto path = test::FreshDir() / "q.ini";
    SettingsData data;
    data.main = MonitorSettings{7,     "RU", "/usr/bin/claws-mail", true,  true, false, true, "", "", true, false, true,
                                false, true, "/var/log/m.txt",      false, true, false};
    data.main.FromAddress = JoinValueList({"a@b", "c d"});
    data.main.Subject = JoinValueList({"\xcf\xf0\xe8"});
    for (int i = 0; i < 5; ++i) {
        data.accounts.push_back(ToAccountRow(Account{"h" + std::to_string(i), "u" + std::to_string(i), "p", 100 + i,
                                                     10 + i, i % 2 == 0, i % 3, std::to_string(i % 4),
                                                     i % 4 >= 2 ? "helper --user u" + std::to_string(i) : ""}));
    }
    ASSERT_TRUE(SaveSettings(path, data));
    const LoadResult back = LoadSettings(path);
    EXPECT_EQ(back.status, LoadStatus::Loaded);
    EXPECT_EQ(back.data.accounts, data.accounts);
    // The stored value lists lose only their trailing blank; their values come back the same.
    EXPECT_EQ(SplitValueList(back.data.main.FromAddress), (std::vector<std::string>{"a@b", "c d"}));
    EXPECT_EQ(SplitValueList(back.data.main.Subject), (std::vector<std::string>{"\xcf\xf0\xe8"}));
    MonitorSettings expected = data.main;
    expected.FromAddress = "a@b; c d;";
    expected.Subject = "\xcf\xf0\xe8;";
    EXPECT_EQ(back.data.main, expected);
}

TEST(SaveSettings, DeletingTheFirstOfThreeRenumbers) {
    const auto path = test::FreshDir() / "q.ini";
    SettingsData data;
    for (const char* host : {"first", "second", "third"}) {
        Account account;
        account.POP3 = host;
        data.accounts.push_back(ToAccountRow(account));
    }
    ASSERT_TRUE(SaveSettings(path, data));
    data.accounts.erase(data.accounts.begin());
    ASSERT_TRUE(SaveSettings(path, data));
    const IniFile ini = IniFile::Parse(test::ReadBytes(path));
    EXPECT_EQ(ini.SectionNames(), (std::vector<std::string>{"Main", "Settings1", "Settings2"}));
    EXPECT_EQ(ini.ReadString("Settings1", "POP3", ""), "second");
    EXPECT_EQ(ini.ReadString("Settings2", "POP3", ""), "third");
}

TEST(SaveSettings, DropsHandAddedKeysAndStaleSections) {
    const auto path = test::FreshDir() / "q.ini";
    test::WriteBytes(path, test::CrLf({"[Main]", "Custom=1", "[Settings1]", "POP3=a", "[Settings2]", "POP3=b"}));
    LoadResult loaded = LoadSettings(path);
    loaded.data.accounts.pop_back();
    ASSERT_TRUE(SaveSettings(path, loaded.data));
    const IniFile ini = IniFile::Parse(test::ReadBytes(path));
    EXPECT_FALSE(ini.Value("Main", "Custom").has_value());
    EXPECT_FALSE(ini.HasSection("Settings2"));
}

TEST(SaveSettings, RowThatDoesNotConvertIsLeftOutWithoutAHole) {
    const auto path = test::FreshDir() / "q.ini";
    SettingsData data;
    data.accounts.push_back(AccountRow{"a", "", "", "110", "60", "False", "0"});
    data.accounts.push_back(AccountRow{"bad", "", "", "port", "60", "False", "0"});
    data.accounts.push_back(AccountRow{"c", "", "", "110", "60", "False", "0"});
    ASSERT_TRUE(SaveSettings(path, data));
    const LoadResult back = LoadSettings(path);
    ASSERT_EQ(back.data.accounts.size(), 2u);
    EXPECT_EQ(back.data.accounts[0].Caption, "a");
    EXPECT_EQ(back.data.accounts[1].Caption, "c");
}

TEST(SaveSettings, BracketsInValueListComeBackAsParentheses) {
    const auto path = test::FreshDir() / "q.ini";
    SettingsData data;
    data.main.Subject = JoinValueList({"[SPAM] offer"});
    ASSERT_TRUE(SaveSettings(path, data));
    EXPECT_EQ(SplitValueList(LoadSettings(path).data.main.Subject), (std::vector<std::string>{"(SPAM) offer"}));
}

} // namespace
} // namespace qm
