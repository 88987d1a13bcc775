// quillmere-check against damaged settings and hostile servers: nothing in plain text, nothing
// reported that did not happen, nothing deleted by a blank list line, nothing that runs for ever.
#include "ConsoleCheckFixture.h"

#include <sys/stat.h>
#include <unistd.h>

namespace qm::test {
namespace {

using ConsoleFault = ConsoleCheck;

TEST_F(ConsoleFault, DamagedSecurityFailsTheAccountWithoutContactingIt) {
    for (const std::string value : {"STLS", "2 ; starttls", "99999999999"}) {
        FakePop3Server server;
        server.ServeMailbox(Box({Msg("a@x.example")}));
        server.Start();
        const std::string ini = Ini("", {Account(server.Port()) + "Security=" + value + "\r\n"});
        WriteAll(m_app / "quillmere.ini", ini);
        const Result r = Run("--dir '" + m_app.string() + "'");
        EXPECT_EQ(r.code, 1) << value;
        EXPECT_EQ(r.err, "127.0.0.1 (user): Unknown connection security " + value + ".\n");
        EXPECT_EQ(server.Sessions(), 0) << value;
        EXPECT_EQ(ReadAll(m_app / "quillmere.ini"), ini);
    }
}

TEST_F(ConsoleFault, ConnectionLostDuringTheMessagesFailsTheAccountAndCountsNoDeletion) {
    FakePop3Server server;
    server.SendLine("+OK ready").Reply("USER user", "+OK").Reply("PASS secret", "+OK").Reply("STAT", "+OK 3 300");
    server.Expect("TOP 3 0").Send("+OK\r\n" + Msg("a@x.example") + ".\r\n");
    server.Expect("TOP 2 0").Send("+OK\r\n" + Msg("junk@spam.example") + ".\r\n");
    server.Reply("DELE 2", "+OK marked").Expect("TOP 1 0").Close();
    server.Start();
    WriteAll(m_app / "quillmere.ini", Ini("", {Account(server.Port())}));
    WriteAll(m_app / "antiSpamList.txt", "*@spam.example\r\n");

    const Result r = Run("--dir '" + m_app.string() + "'");
    EXPECT_EQ(r.code, 1) << r.out; // the message seen before the loss is no news of a finished check
    EXPECT_EQ(r.err.rfind("127.0.0.1 (user): ", 0), 0u) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_NE(r.out.find("you haven't new messages\n"), std::string::npos) << r.out;
}

TEST_F(ConsoleFault, BlankListLinesDeleteNothing) {
    FakePop3Server server;
    const std::string noSubject = "From: <>\r\nDate: Mon, 3 Jun 2024 10:00:00 +0000\r\n\r\nbody\r\n";
    server.ServeMailbox(Box({noSubject, Msg("a@x.example", "")}));
    server.Start();
    WriteAll(m_app / "quillmere.ini", Ini("", {Account(server.Port())}));
    WriteAll(m_app / "antiSpamList.txt", "\r\n  \r\n*@spam.example\r\n");
    WriteAll(m_app / "antiSpamSbjList.txt", " \t \r\n");

    const Result r = Run("--dir '" + m_app.string() + "'");
    EXPECT_EQ(r.code, 0) << r.err;
    server.Join();
    EXPECT_TRUE(server.Deleted().empty());
    EXPECT_NE(r.out.find("in total 2 messages:\n"), std::string::npos) << r.out;
}

TEST_F(ConsoleFault, MessagesThatCouldNotBeCheckedAreCountedOnStderr) {
    std::string padded = "From: x@spam.example\r\n";
    while (padded.size() <= 4u * 1024 * 1024) {
        padded += "X-Pad: " + std::string(90, 'p') + "\r\n";
    }
    const std::string longLine = "From: y@spam.example\r\nSubject: " + std::string(20000, 'x') + "\r\n\r\nb\r\n";
    FakePop3Server server;
    server.ServeMailbox(Box({Msg("a@x.example"), padded + "\r\nbody\r\n", longLine}));
    server.Start();
    WriteAll(m_app / "quillmere.ini", Ini("", {Account(server.Port())}));
    WriteAll(m_app / "antiSpamList.txt", "*@spam.example\r\n");

    const Result r = Run("--dir '" + m_app.string() + "'");
    EXPECT_EQ(r.code, 0) << r.err; // the account was checked
    EXPECT_EQ(r.err,
              "127.0.0.1 (user): 2 messages could not be checked (too large or not readable as a message).\n");
    server.Join();
    EXPECT_TRUE(server.Deleted().empty());
}

TEST_F(ConsoleFault, NewMessageLogIsPrivateAndAnExistingOneKeepsItsMode) {
    FakePop3Server server;
    server.ServeMailbox(Box({Msg("a@x.example")}));
    server.Start();
    const fs::path log = m_root / "messages.txt";
    const fs::path shared = m_root / "shared.txt";
    WriteAll(shared, "");
    fs::permissions(shared, fs::perms(0644));
    for (const fs::path& file : {log, shared}) {
        WriteAll(m_app / "quillmere.ini",
                 Ini("Inform=1\r\nWriteToFile=1\r\nFileName=" + file.string() + "\r\n", {Account(server.Port())}));
        const Result r = Run("--dir '" + m_app.string() + "'");
        EXPECT_EQ(r.code, 0) << r.err;
    }
    struct stat info {};
    ASSERT_EQ(::stat(log.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(shared.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
    EXPECT_NE(ReadAll(shared).find("a@x.example"), std::string::npos);

    // A log that exists but cannot be opened (a FIFO nobody reads): said on stderr, exit status 3.
    const fs::path fifo = m_root / "fifo.txt";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    WriteAll(m_app / "quillmere.ini",
             Ini("Inform=1\r\nWriteToFile=1\r\nFileName=" + fifo.string() + "\r\n", {Account(server.Port())}));
    const Result r = Run("--dir '" + m_app.string() + "'");
    EXPECT_EQ(r.code, 3) << r.err;
    EXPECT_EQ(r.err.rfind("127.0.0.1 (user): cannot open " + fifo.string() + ": ", 0), 0u) << r.err;
}

TEST_F(ConsoleFault, SettingsFileOverTheLimitIsNotLoadedInPart) {
    FakePop3Server server;
    server.ServeMailbox(Box({Msg("a@x.example")}));
    server.Start();
    std::string ini = Ini("", {Account(server.Port())});
    ini += "; " + std::string(4u << 20, 'x') + "\r\n";
    WriteAll(m_app / "quillmere.ini", ini);
    const Result r = Run("--dir '" + m_app.string() + "'");
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("larger than 4 MiB"), std::string::npos) << r.err;
    EXPECT_EQ(server.Sessions(), 0);
}

TEST_F(ConsoleFault, EveryAccountOfALongListGetsItsResultUnderALowDescriptorLimit) {
    const int accounts = 300; // two descriptors each would need more than the limit allows
    FakePop3Server server;
    server.ServeMailbox(Box({Msg("a@x.example")}));
    server.Start();
    WriteAll(m_app / "quillmere.ini", Ini("", std::vector<std::string>(accounts, Account(server.Port()))));
    m_launcher = "prlimit --nofile=256 --";
    const Result r = Run("--dir '" + m_app.string() + "'");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_NE(r.out.find("in total " + std::to_string(accounts) + " messages:\n"), std::string::npos) << r.out;
    const std::string result = "\n127.0.0.1(user): 1\n";
    int results = 0;
    for (auto at = r.out.find(result); at != std::string::npos; at = r.out.find(result, at + 1)) {
        ++results;
    }
    EXPECT_EQ(results, accounts);
    EXPECT_EQ(server.Sessions(), accounts);
}

TEST_F(ConsoleFault, TokenCommandThatMustNotRunFailsTheAccount) {
    for (const bool foreign : {false, true}) {
        const std::string command =
            "touch " + (m_root / "ran").string() + (foreign ? "" : std::string(2100, ' ') + "x");
        WriteAll(m_app / "quillmere.ini", Ini("", {Account(1) + "Security=1\r\nAuth=2\r\nTokenCommand=" + command}));
        if (foreign && ::chown((m_app / "quillmere.ini").c_str(), 65534, 65534) != 0) {
            GTEST_SKIP() << "handing a file to nobody needs root";
        }
        const std::string err = Run("--dir '" + m_app.string() + "'").err;
        EXPECT_NE(err.find(foreign ? "settings file belongs to another user" : "at most 2047 bytes"),
                  std::string::npos);
        EXPECT_FALSE(fs::exists(m_root / "ran")) << err;
    }
}

struct HostileCountRow {
    const char* name;
    std::string stat;
    std::string errorPart;
};

class ConsoleHostileCount : public ConsoleCheck, public ::testing::WithParamInterface<HostileCountRow> {};

TEST_P(ConsoleHostileCount, EndsTheSessionWithAnError) {
    const HostileCountRow& row = GetParam();
    FakePop3Server server;
    FakeMailbox mailbox = Box({}); // every TOP is answered -ERR: there is no such message
    mailbox.overrides["STAT"] = row.stat;
    server.ServeMailbox(mailbox);
    server.Start();
    WriteAll(m_app / "quillmere.ini", Ini("", {Account(server.Port())}));
    const Result r = Run("--dir '" + m_app.string() + "'");
    EXPECT_EQ(r.code, 1) << row.name;
    EXPECT_NE(r.err.find(row.errorPart), std::string::npos) << row.name << ": " << r.err;
    EXPECT_NE(r.out.find("you haven't new messages"), std::string::npos) << row.name;
    server.Join();
    EXPECT_LE(server.Received().size(), 4u + 100u) << row.name;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ConsoleHostileCount,
    ::testing::Values(HostileCountRow{"billions refused", "+OK 2147483647 0", "refused 100 messages in a row"},
                      HostileCountRow{"negative", "+OK -5 0", "Invalid message count -5."},
                      HostileCountRow{"multi-line past a mebibyte", "+OK-1 0\r\n" + MegabyteOfLines() + "+OK 1 0",
                                      "Max line length exceeded."}));

} // namespace
} // namespace qm::test
