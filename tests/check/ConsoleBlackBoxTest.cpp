// quillmere-check from outside: the binary copied into a folder of its own, run by the shell,
// its stdout, stderr and exit status checked against a fake POP3 server on loopback.
#include "FakePop3Server.h"
#include "TestPaths.h"
#include "settings/PasswordScrambler.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace qm::test {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteAll(const fs::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
}

std::vector<std::string> Listing(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

struct Result {
    int code = -1;
    std::string out;
    std::string err;
};

class ConsoleCheck : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_root = fs::path(QM_TEST_TMP_DIR) / "check-blackbox" / info->name();
        fs::remove_all(m_root);
        m_app = m_root / "app";
        m_elsewhere = m_root / "elsewhere";
        fs::create_directories(m_app);
        fs::create_directories(m_elsewhere);
        fs::copy_file(fs::path(QM_BUILD_DIR) / "quillmere-check", m_app / "quillmere-check");
    }

    // Runs the copied binary from `cwd` (default: a folder that is not the program's).
    Result Run(const std::string& args, const fs::path& cwd = {}) {
        const fs::path out = m_root / "stdout.txt";
        const fs::path err = m_root / "stderr.txt";
        const std::string command = "cd '" + (cwd.empty() ? m_elsewhere : cwd).string() + "' && LC_ALL=C '" +
                                    (m_app / "quillmere-check").string() + "' " + args + " >'" + out.string() +
                                    "' 2>'" + err.string() + "'";
        const int status = std::system(command.c_str());
        Result r;
        r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = ReadAll(out);
        r.err = ReadAll(err);
        fs::remove(out);
        fs::remove(err);
        return r;
    }

    static std::string Ini(const std::string& main, const std::vector<std::string>& accounts) {
        std::string text = "[Main]\r\nInterval=5\r\nLanguage=EN\r\n" + main;
        for (std::size_t i = 0; i < accounts.size(); ++i) {
            text += "[Settings" + std::to_string(i + 1) + "]\r\n" + accounts[i];
        }
        return text;
    }

    static std::string Account(int port, const std::string& password = "secret", bool disabled = false) {
        return "POP3=127.0.0.1\r\nAccountName=user\r\nAccountPassword=" + ScramblePassword(password) +
               "\r\nPort=" + std::to_string(port) + "\r\nTimeOut=20\r\nDisabled=" + (disabled ? "1" : "0") + "\r\n";
    }

    static std::string Msg(const std::string& from, const std::string& subject = "s") {
        return "From: " + from + "\r\nSubject: " + subject + "\r\nDate: Mon, 3 Jun 2024 10:00:00 +0000\r\n\r\nbody\r\n";
    }

    static FakeMailbox Box(std::vector<std::string> messages) {
        FakeMailbox mb;
        mb.messages = std::move(messages);
        return mb;
    }

    fs::path m_root;
    fs::path m_app;
    fs::path m_elsewhere;
};

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

    // Nothing created beside the program, nothing rewritten.
    EXPECT_EQ(Listing(m_app), before);
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
};

class ConsoleCheckCannotRun : public ConsoleCheck, public ::testing::WithParamInterface<CannotRunRow> {};

TEST_P(ConsoleCheckCannotRun, ExitsTwoWithOneLine) {
    const CannotRunRow& row = GetParam();
    if (row.settingsFolder) {
        fs::create_directory(m_app / "quillmere.ini");
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
        CannotRunRow{"folder is a file", "--dir {app}/quillmere-check", false, "quillmere-check: data folder '"}));

} // namespace
} // namespace qm::test
