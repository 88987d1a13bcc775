// quillmere-check and the record of what it deleted: one line per message the server confirmed
// deleting, naming the entry that caught it; a dry run that deletes and records nothing.
#include "ConsoleCheckFixture.h"

#include <regex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace qm::test {
namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    for (const char c : text) {
        if (c == separator) {
            parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) {
        parts.push_back(part);
    }
    return parts;
}

constexpr const char* kShopSubject =
    "=?utf-8?Q?Caf=C3=A9_cheap_offer?= =?utf-8?B?DQp3b3VsZCBkZWxldGU6IEZPUkdFRBtbMzFtB8Kb?=";
constexpr const char* kShopShown = "Caf\xC3\xA9 cheap offer  would delete: FORGED [31m  ";

class DeletionRecord : public ConsoleCheck {
protected:
    // Four messages; three are spam, each by a different entry (read from 4 down to 1). The third
    // one's subject holds a line break, a forged line and terminal controls (ESC, BEL, C1 CSI).
    void WriteMailboxSettings(int port) {
        WriteAll(m_app / "quillmere.ini", Ini("", {Account(port)}));
        WriteAll(m_app / "antiSpamList.txt", "*@other.example\r\n*@spam.example\r\n");
        WriteAll(m_app / "antiSpamSbjList.txt", "*offer*\r\nprize?\r\n");
    }
    static FakeMailbox Mailbox() {
        return Box({Msg("prizes@x.example", "prize1"), Msg("friend@x.example", "lunch"),
                    Msg("shop@x.example", kShopSubject), Msg("junk@spam.example", "hello")});
    }
    fs::path Record() const { return m_app / "deleted.txt"; }
};

TEST_F(DeletionRecord, EachDeletedMessageNamesItsEntry) {
    FakePop3Server server;
    server.ServeMailbox(Mailbox());
    server.Start();
    WriteMailboxSettings(server.Port());

    const Result r = Run("--dir '" + m_app.string() + "'");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    server.Join();
    EXPECT_EQ(server.Deleted(), (std::set<int>{1, 3, 4}));

    const std::vector<std::string> lines = Split(ReadAll(Record()), '\n');
    ASSERT_EQ(lines.size(), 3u) << ReadAll(Record());
    const std::vector<std::vector<std::string>> expected = {
        {"junk@spam.example", "hello", "sender: *@spam.example"},
        {"shop@x.example", kShopShown, "subject: *offer*"},
        {"prizes@x.example", "prize1", "subject: prize?"},
    };
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::vector<std::string> fields = Split(lines[i], '\t');
        ASSERT_EQ(fields.size(), 8u) << lines[i];
        EXPECT_TRUE(std::regex_match(fields[0], std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)"))) << fields[0];
        EXPECT_EQ(fields[1], "127.0.0.1");
        EXPECT_EQ(fields[2], "user");
        EXPECT_EQ(fields[3], expected[i][0]);
        EXPECT_EQ(fields[4], expected[i][1]);
        EXPECT_EQ(fields[5], ""); // a header-only check does not learn the size
        EXPECT_EQ(fields[6], expected[i][2]);
        EXPECT_EQ(fields[7], "committed");
        EXPECT_EQ(fields[0], Split(lines[0], '\t')[0]); // one check, one time
    }
    struct stat info {};
    ASSERT_EQ(::stat(Record().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(DeletionRecord, WholeMessageReadGivesItsSize) {
    const std::string dotted = "From: junk@spam.example\r\nSubject: s\r\n\r\n.leading dot\r\n..two\r\nend\r\n";
    FakePop3Server server;
    server.ServeMailbox(Box({dotted}));
    server.Start();
    WriteAll(m_app / "quillmere.ini", Ini("Inform=1\r\n", {Account(server.Port())}));
    WriteAll(m_app / "antiSpamList.txt", "*@spam.example\r\n");

    const Result r = Run("--dir '" + m_app.string() + "'");
    EXPECT_EQ(r.code, 1) << r.err;
    const std::vector<std::string> lines = Split(ReadAll(Record()), '\n');
    ASSERT_EQ(lines.size(), 1u);
    const std::vector<std::string> fields = Split(lines[0], '\t');
    ASSERT_EQ(fields.size(), 8u) << lines[0];
    EXPECT_EQ(fields[5], std::to_string(dotted.size()));
}

TEST_F(DeletionRecord, SessionDroppedBeforeQuitMarksItsLinesNotCommitted) {
    FakePop3Server server;
    server.SendLine("+OK ready").Reply("USER user", "+OK").Reply("PASS secret", "+OK").Reply("STAT", "+OK 2 200");
    server.Expect("TOP 2 0").Send("+OK\r\n" + Msg("junk@spam.example") + ".\r\n");
    server.Reply("DELE 2", "+OK marked").Expect("TOP 1 0").Close();
    server.Start();
    WriteMailboxSettings(server.Port());

    const Result r = Run("--dir '" + m_app.string() + "'");
    EXPECT_EQ(r.code, 1);
    const std::vector<std::string> lines = Split(ReadAll(Record()), '\n');
    ASSERT_EQ(lines.size(), 1u);
    const std::vector<std::string> fields = Split(lines[0], '\t');
    ASSERT_EQ(fields.size(), 8u) << lines[0];
    EXPECT_EQ(fields[3], "junk@spam.example");
    EXPECT_EQ(fields[7], "not committed");
}

// What the server does with QUIT decides the record: only +OK commits the deletions.
struct QuitCase {
    const char* name;
    const char* answer; // nullptr: the server closes; "": it stalls past the time-out
    const char* recorded;
    const char* error; // in stderr; nullptr: none
};

class QuitOutcome : public DeletionRecord, public ::testing::WithParamInterface<QuitCase> {};

TEST_P(QuitOutcome, OnlyAConfirmedQuitIsRecordedCommitted) {
    const QuitCase& c = GetParam();
    FakePop3Server server;
    server.SendLine("+OK ready").Reply("USER user", "+OK").Reply("PASS secret", "+OK").Reply("STAT", "+OK 1 100");
    server.Expect("TOP 1 0").Send("+OK\r\n" + Msg("junk@spam.example") + ".\r\n");
    server.Reply("DELE 1", "+OK marked").Expect("QUIT");
    if (c.answer == nullptr) {
        server.Close();
    } else if (*c.answer == '\0') {
        server.Stall();
    } else {
        server.SendLine(c.answer);
    }
    server.Start();
    std::string account = Account(server.Port());
    account.replace(account.find("TimeOut=20"), 10, "TimeOut=1");
    WriteAll(m_app / "quillmere.ini", Ini("", {account}));
    WriteAll(m_app / "antiSpamList.txt", "*@spam.example\r\n");

    const Result r = Run("--dir '" + m_app.string() + "'");
    const std::vector<std::string> lines = Split(ReadAll(Record()), '\n');
    ASSERT_EQ(lines.size(), 1u) << ReadAll(Record());
    EXPECT_EQ(Split(lines[0], '\t').back(), c.recorded);
    if (c.error == nullptr) {
        EXPECT_EQ(r.err, "");
    } else {
        EXPECT_NE(r.err.find(c.error), std::string::npos) << r.err;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, QuitOutcome,
    ::testing::Values(QuitCase{"Confirmed", "+OK bye", "committed", nullptr},
                      QuitCase{"Refused", "-ERR [SYS/TEMP] could not commit deletions", "not committed",
                               "did not confirm the deletions: [SYS/TEMP] could not commit deletions"},
                      QuitCase{"Closed", nullptr, "not committed", "did not confirm the deletions"},
                      QuitCase{"Unanswered", "", "not committed", "did not confirm the deletions"}),
    [](const ::testing::TestParamInfo<QuitCase>& info) { return std::string(info.param.name); });

TEST_F(DeletionRecord, RefusedDeletionIsNotRecorded) {
    FakeMailbox box = Box({Msg("junk@spam.example")});
    box.overrides["DELE 1"] = "-ERR locked";
    FakePop3Server server;
    server.ServeMailbox(box);
    server.Start();
    WriteMailboxSettings(server.Port());

    Run("--dir '" + m_app.string() + "'");
    server.Join();
    EXPECT_TRUE(server.Deleted().empty());
    EXPECT_FALSE(fs::exists(Record()));
}

// What lies at the record's name, or what else writes it, when a check deletes spam.
struct RecordFileCase {
    const char* name;
    // Makes the data folder's state; returns false when this machine cannot (the row is skipped).
    bool (*prepare)(const fs::path& dir);
    int runs;          // checks started at the same moment
    bool kept;         // the record cannot be written: the server keeps the spam
    bool full = false; // the file system is filled once the settings are in it
};

// Far over the limit, so the first check moves it aside; its lines must all survive.
constexpr int kHistoryLines = 12000;

bool LongHistory(const fs::path& dir) {
    std::string history;
    for (int i = 0; i < kHistoryLines; ++i) {
        history += "2020-01-01 00:00:00\told.example\tuser\tx@old.example\tline " + std::to_string(i) +
                   "\t\tsender: *@old.example\tcommitted\n";
    }
    WriteAll(dir / "deleted.txt", history);
    return true;
}

// A small file system of its own, filled so that no record fits (needs root to mount).
bool FullDisk(const fs::path& dir) {
    if (::geteuid() != 0 ||
        std::system(("mount -t tmpfs -o size=64k,mode=0700 tmpfs '" + dir.string() + "'").c_str()) != 0) {
        return false;
    }
    return true;
}

class RecordFile : public DeletionRecord, public ::testing::WithParamInterface<RecordFileCase> {
protected:
    void TearDown() override { (void)std::system(("umount '" + m_data.string() + "' 2>/dev/null").c_str()); }
    fs::path m_data;
};

TEST_P(RecordFile, EveryDeletionHasItsLineOrNothingIsDeleted) {
    const RecordFileCase& c = GetParam();
    m_data = m_root / "data";
    fs::create_directories(m_data);
    if (!c.prepare(m_data)) {
        GTEST_SKIP() << "cannot prepare " << c.name << " here";
    }
    FakePop3Server server;
    server.ServeMailbox(Box({Msg("junk@spam.example", "hello")}));
    server.Start();
    WriteAll(m_data / "quillmere.ini", Ini("", {Account(server.Port())}));
    WriteAll(m_data / "antiSpamList.txt", "*@spam.example\r\n");
    if (c.full) {
        (void)std::system(("dd if=/dev/zero of='" + (m_data / "filler").string() + "' bs=1k 2>/dev/null").c_str());
    }

    std::vector<std::thread> checks;
    std::vector<Result> results(static_cast<std::size_t>(c.runs));
    for (std::size_t i = 0; i < results.size(); ++i) {
        checks.emplace_back([&, i] { results[i] = Run("--dir '" + m_data.string() + "'"); });
    }
    for (std::thread& check : checks) {
        check.join();
    }
    server.Join(c.runs);
    for (const Result& r : results) {
        if (c.kept) {
            EXPECT_EQ(r.code, 3) << r.err;
            EXPECT_NE(r.err.find("127.0.0.1 (user): The deleted messages could not be recorded, so the server keeps them: "),
                      std::string::npos)
                << r.err;
        } else {
            EXPECT_EQ(r.code, 1) << r.err;
            EXPECT_EQ(r.err, "");
        }
    }
    if (c.kept) {
        EXPECT_TRUE(server.Deleted().empty());
        const std::vector<std::string> received = server.Received();
        EXPECT_EQ(std::count(received.begin(), received.end(), "QUIT"), 0);
        return;
    }
    // Every earlier line and every new one, each exactly once, in the file or the one moved aside.
    const std::string all = ReadAll(m_data / "deleted.txt.1") + ReadAll(m_data / "deleted.txt");
    const std::vector<std::string> lines = Split(all, '\n');
    EXPECT_EQ(lines.size(), static_cast<std::size_t>(kHistoryLines + c.runs));
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) { return line.find("\tjunk@spam.example\thello\t") != std::string::npos; }),
              c.runs);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RecordFile,
    ::testing::Values(
        RecordFileCase{"Folder", [](const fs::path& dir) { return fs::create_directory(dir / "deleted.txt"); }, 1, true},
        RecordFileCase{"Symlink",
                       [](const fs::path& dir) {
                           WriteAll(dir / "elsewhere.txt", "");
                           fs::create_symlink(dir / "elsewhere.txt", dir / "deleted.txt");
                           return true;
                       },
                       1, true},
        RecordFileCase{"Fifo", [](const fs::path& dir) { return ::mkfifo((dir / "deleted.txt").c_str(), 0600) == 0; }, 1,
                       true},
        RecordFileCase{"FullDisk", FullDisk, 1, true, true},
        RecordFileCase{"TenChecksRotatingAtOnce", LongHistory, 10, false}),
    [](const ::testing::TestParamInfo<RecordFileCase>& info) { return std::string(info.param.name); });

TEST_F(DeletionRecord, DryRunPrintsWhatItWouldDeleteAndDeletesNothing) {
    FakePop3Server server;
    server.ServeMailbox(Mailbox());
    server.Start();
    WriteMailboxSettings(server.Port());

    const Result r = Run("--dry-run --dir '" + m_app.string() + "'");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    server.Join();
    EXPECT_TRUE(server.Deleted().empty());
    for (const std::string& line : server.Received()) {
        EXPECT_EQ(line.rfind("DELE", 0), std::string::npos) << line;
    }
    EXPECT_NE(r.out.find("would delete: 127.0.0.1 (user): junk@spam.example | hello | sender: *@spam.example\n"
                         "would delete: 127.0.0.1 (user): shop@x.example | " + std::string(kShopShown) +
                         " | subject: *offer*\n"
                         "would delete: 127.0.0.1 (user): prizes@x.example | prize1 | subject: prize?\n"),
              std::string::npos)
        << r.out;
    // The three count as spam: only the fourth message is left in the summary.
    EXPECT_NE(r.out.find("you have 1 messages in total.\n"), std::string::npos) << r.out;
    EXPECT_FALSE(fs::exists(Record()));
}

} // namespace
} // namespace qm::test
