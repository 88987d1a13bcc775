// quillmere-check and the record of what it deleted: one line per message the server confirmed
// deleting, naming the entry that caught it; a dry run that deletes and records nothing.
#include "ConsoleCheckFixture.h"

#include <regex>
#include <sys/stat.h>

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

class DeletionRecord : public ConsoleCheck {
protected:
    // Four messages; three are spam, each by a different entry (read from 4 down to 1).
    void WriteMailboxSettings(int port) {
        WriteAll(m_app / "quillmere.ini", Ini("", {Account(port)}));
        WriteAll(m_app / "antiSpamList.txt", "*@other.example\r\n*@spam.example\r\n");
        WriteAll(m_app / "antiSpamSbjList.txt", "*offer*\r\nprize?\r\n");
    }
    static FakeMailbox Mailbox() {
        return Box({Msg("prizes@x.example", "prize1"), Msg("friend@x.example", "lunch"),
                    Msg("shop@x.example", "=?utf-8?Q?Cheap=20offer?="), Msg("junk@spam.example", "hello")});
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
        {"shop@x.example", "Cheap offer", "subject: *offer*"},
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

TEST_F(DeletionRecord, RecordThatCannotBeWrittenDoesNotStopTheCheck) {
    FakePop3Server server;
    server.ServeMailbox(Mailbox());
    server.Start();
    WriteMailboxSettings(server.Port());
    fs::create_directory(Record());

    const Result r = Run("--dir '" + m_app.string() + "'");
    EXPECT_EQ(r.code, 0);
    server.Join();
    EXPECT_EQ(server.Deleted(), (std::set<int>{1, 3, 4}));
    EXPECT_NE(r.out.find("you have 1 messages in total.\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.err.rfind("quillmere-check: cannot record the deleted messages: ", 0), 0u) << r.err;
}

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
                         "would delete: 127.0.0.1 (user): shop@x.example | Cheap offer | subject: *offer*\n"
                         "would delete: 127.0.0.1 (user): prizes@x.example | prize1 | subject: prize?\n"),
              std::string::npos)
        << r.out;
    // The three count as spam: only the fourth message is left in the summary.
    EXPECT_NE(r.out.find("you have 1 messages in total.\n"), std::string::npos) << r.out;
    EXPECT_FALSE(fs::exists(Record()));
}

} // namespace
} // namespace qm::test
