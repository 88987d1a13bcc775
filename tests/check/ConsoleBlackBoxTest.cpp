// quillmere-check from outside: the binary copied into a folder of its own, run by the shell,
// its stdout, stderr and exit status checked against a fake POP3 server on loopback.
#include "ConsoleCheckFixture.h"

namespace qm::test {
namespace {

TEST_F(ConsoleCheck, NewsPrintsStatusLinesThenSummaryAndExitsZero) {
    FakePop3Server server;
    server.ServeMailbox(Box({Msg("a@x.example"), Msg("b@x.example")}));
    server.Start();
    WriteAll(m_app / "quillmere.ini", Ini("", {Account(server.Port())}));

    const Result r = Run("--dir '" + m_app.string() + "'");
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "connecting...\nconnecting to 127.0.0.1...\nconnected to 127.0.0.1\n"
                     "disconnected from 127.0.0.1\nyou have 2 messages in total.\nin total 2 messages:\n"
                     "127.0.0.1(user): 2\n");
    EXPECT_EQ(r.err, "");
    server.Join();
    EXPECT_EQ(server.Received(),
              (std::vector<std::string>{"USER user", "PASS secret", "STAT", "TOP 2 0", "TOP 1 0", "QUIT"}));
}

TEST_F(ConsoleCheck, DataFolderDefaultsToTheProgramsFolder) {
    FakePop3Server server;
    server.ServeMailbox(Box({Msg("a@x.example")}));
    server.Start();
    WriteAll(m_app / "quillmere.ini", Ini("", {Account(server.Port())}));
    const Result r = Run("");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("in total 1 messages:\n127.0.0.1(user): 1\n"), std::string::npos) << r.out;
}

TEST_F(ConsoleCheck, NoNewsExitsOne) {
    FakePop3Server server;
    server.ServeMailbox(Box({}));
    server.Start();
    WriteAll(m_app / "quillmere.ini", Ini("", {Account(server.Port())}));
    const Result r = Run("--dir '" + m_app.string() + "'");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "connecting...\nconnecting to 127.0.0.1...\nconnected to 127.0.0.1\n"
                     "disconnected from 127.0.0.1\nyou haven't new messages\nyou haven't new messages\n");
    EXPECT_EQ(r.err, "");
}

TEST_F(ConsoleCheck, NoAccountsIsNoNews) {
    WriteAll(m_app / "quillmere.ini", Ini("", {}));
    const Result r = Run("--dir '" + m_app.string() + "'");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "connecting...\nyou haven't new messages\nyou haven't new messages\n");
}

TEST_F(ConsoleCheck, FailedAccountGetsOneLineOnStderr) {
    FakePop3Server server;
    server.ServeMailbox(Box({Msg("a@x.example")}));
    server.Start();
    WriteAll(m_app / "quillmere.ini", Ini("", {Account(server.Port(), "wrong")}));
    const Result r = Run("--dir '" + m_app.string() + "'");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "connecting...\nconnecting to 127.0.0.1...\nyou haven't new messages\nyou haven't new messages\n");
    EXPECT_EQ(r.err, "127.0.0.1 (user): authentication failed\n");
}

TEST_F(ConsoleCheck, DisabledAccountIsNotContacted) {
    FakePop3Server server;
    server.ServeMailbox(Box({Msg("a@x.example")}));
    server.Start();
    WriteAll(m_app / "quillmere.ini", Ini("", {Account(server.Port(), "secret", true)}));
    const Result r = Run("--dir '" + m_app.string() + "'");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(server.Sessions(), 0);
}

TEST_F(ConsoleCheck, SpamDeletedLogWrittenAndSettingsOnlyRead) {
    FakePop3Server server;
    server.ServeMailbox(Box({Msg("a@x.example", "one"), Msg("junk@spam.example"), Msg("c@x.example", "three")}));
    server.Start();
    const fs::path log = m_root / "messages.txt";
    WriteAll(log, "old record\r\n");
    const std::string ini =
        Ini("Inform=1\r\nWriteToFile=1\r\nOverwrite=1\r\nFileName=" + log.string() + "\r\n", {Account(server.Port())});
    WriteAll(m_app / "quillmere.ini", ini);
    WriteAll(m_app / "antiSpamList.txt", "*@SPAM.example\r\n");
    const auto before = Listing(m_app);
    const auto stamp = fs::last_write_time(m_app / "quillmere.ini");

    const Result r = Run("--dir '" + m_app.string() + "'");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("you have 2 messages in total.\n"), std::string::npos) << r.out;
    server.Join();
    EXPECT_EQ(server.Deleted(), (std::set<int>{2}));
    const auto& received = server.Received();
    EXPECT_EQ(received, (std::vector<std::string>{"USER user", "PASS secret", "STAT", "RETR 3", "RETR 2", "DELE 2",
                                                  "RETR 1", "QUIT"}));

    const std::string logText = ReadAll(log);
    EXPECT_EQ(logText.rfind("File created ", 0), 0u) << logText;
    EXPECT_EQ(logText.find("old record"), std::string::npos);
    EXPECT_NE(logText.find("-------------- a@x.example received "), std::string::npos);
    EXPECT_NE(logText.find("-------------- c@x.example received "), std::string::npos);
    EXPECT_EQ(logText.find("junk@spam.example"), std::string::npos);

    // Nothing created beside the program but the record of the deletion and its lock, nothing rewritten.
    auto after = before;
    for (const char* name : {"deleted.txt", "deleted.txt.lock"}) {
        after.insert(std::lower_bound(after.begin(), after.end(), name), name);
    }
    EXPECT_EQ(Listing(m_app), after);
    EXPECT_EQ(ReadAll(m_app / "quillmere.ini"), ini);
    EXPECT_EQ(fs::last_write_time(m_app / "quillmere.ini"), stamp);
    EXPECT_EQ(ReadAll(m_app / "antiSpamList.txt"), "*@SPAM.example\r\n");
}

TEST_F(ConsoleCheck, HelpExplainsAndExitsZero) {
    const Result r = Run("--help");
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("--dir DIR"), std::string::npos);
    EXPECT_NE(r.out.find("Exit status: 0"), std::string::npos);
    EXPECT_NE(r.out.find("quillmere.ini"), std::string::npos);
    EXPECT_NE(r.out.find("~/.config/quillmere"), std::string::npos);
    // The folder of this run and why: a copy outside the install prefix keeps its files beside it.
    EXPECT_NE(r.out.find("Data folder '" + m_app.string() + "': the program's own folder.\n"), std::string::npos)
        << r.out;
    EXPECT_EQ(r.err, "");
}

TEST_F(ConsoleCheck, HelpNamesTheGivenFolder) {
    const Result r = Run("--dir '" + m_elsewhere.string() + "' --help");
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("Data folder '" + m_elsewhere.string() + "', as --dir says.\n"), std::string::npos) << r.out;
}

struct CannotRunRow {
    const char* name;
    std::string args;    // {app} stands for the program's folder
    bool settingsFolder; // quillmere.ini is a folder instead of a file
    std::string errorStart;
    bool openToAll = false; // the program's folder has mode 0777
};

class ConsoleCheckCannotRun : public ConsoleCheck, public ::testing::WithParamInterface<CannotRunRow> {};

TEST_P(ConsoleCheckCannotRun, ExitsTwoWithOneLine) {
    const CannotRunRow& row = GetParam();
    if (row.settingsFolder) {
        fs::create_directory(m_app / "quillmere.ini");
    }
    if (row.openToAll) {
        fs::permissions(m_app, fs::perms::all);
    }
    std::string args = row.args;
    if (const auto at = args.find("{app}"); at != std::string::npos) {
        args.replace(at, 5, "'" + m_app.string() + "'");
    }
    const auto before = Listing(m_app);
    const Result r = Run(args);
    EXPECT_EQ(r.code, 2) << row.name;
    EXPECT_EQ(r.out, "") << row.name;
    EXPECT_EQ(r.err.rfind(row.errorStart, 0), 0u) << row.name << ": " << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << row.name;
    EXPECT_EQ(Listing(m_app), before) << row.name; // nothing created
}

INSTANTIATE_TEST_SUITE_P(
    Table, ConsoleCheckCannotRun,
    ::testing::Values(
        CannotRunRow{"missing settings", "--dir {app}", false, "quillmere-check: no settings file"},
        CannotRunRow{"missing settings, default folder", "", false, "quillmere-check: no settings file"},
        CannotRunRow{"settings is a folder", "--dir {app}", true, "quillmere-check: cannot read settings file"},
        CannotRunRow{"unknown argument", "--verbose", false, "quillmere-check: unknown argument"},
        CannotRunRow{"folder missing", "--dir", false, "quillmere-check: --dir needs a folder"},
        CannotRunRow{"folder twice", "--dir {app} --dir /tmp", false, "quillmere-check: --dir given twice"},
        CannotRunRow{"folder empty", "--dir=", false, "quillmere-check: --dir needs a folder"},
        CannotRunRow{"folder does not exist", "--dir {app}/none", false, "quillmere-check: data folder '"},
        CannotRunRow{"folder is a file", "--dir {app}/quillmere-check", false, "quillmere-check: data folder '"},
        CannotRunRow{"program's folder open to all", "", false, "quillmere-check: data folder '", true}));

} // namespace
} // namespace qm::test
