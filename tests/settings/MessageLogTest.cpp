#include "settings/MessageLog.h"

#include "SettingsTestSupport.h"
#include "pop3/IdMessage.h"
#include "pop3/IdMessageDate.h"

#include <gtest/gtest.h>
#include <memory>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qm {
namespace {

double At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    double value = 0;
    EXPECT_TRUE(TryEncodeDateTime(TDateTimeParts{year, month, day, hour, minute, second, 0}, value));
    return value;
}

MessageLogContext FixedContext() {
    MessageLogContext context;
    context.now = [] { return At(2026, 12, 8, 9, 15, 0); };
    context.dateTimeToText = MakeDateTimeToText({"dd.MM.yyyy", "HH:mm:ss"});
    context.codePage = 1251;
    return context;
}

void AddText(TIdMessage& message, std::vector<std::string> lines) {
    auto part = std::make_unique<TIdText>();
    part->Body = std::move(lines);
    message.MessageParts.Add(std::move(part));
}

TIdMessage SinglePart() {
    TIdMessage message;
    message.From.Address = "ann@example.org";
    message.From.Name = "Ann";
    message.Subject = "Hello";
    message.Date = At(2026, 12, 7, 14, 5, 9);
    message.Body = {"line one", "line two"};
    return message;
}

TEST(MessageLog, SinglePartRecordAndFileCreatedLine) {
    const auto path = test::FreshDir() / "messages.txt";
    const std::string created = test::CrLf({"File created 08.12.2026 09:15:00"});
    const std::string record = test::CrLf(
        {"-------------- ann@example.org received 07.12.2026 14:05:09 ---------------", "line one", "line two", ""});
    ASSERT_TRUE(AppendMessageRecord(SinglePart(), path.string(), FixedContext()).ok);
    EXPECT_EQ(test::ReadBytes(path), created + record);
    // A second record is appended without another "File created" line.
    ASSERT_TRUE(AppendMessageRecord(SinglePart(), path.string(), FixedContext()).ok);
    EXPECT_EQ(test::ReadBytes(path), created + record + record);
}

TEST(MessageLog, LastTextPartOnlyWithSubjectBeforeEveryLine) {
    TIdMessage message = SinglePart();
    message.Body.clear();
    AddText(message, {"earlier text"});
    message.MessageParts.Add(std::make_unique<TIdAttachment>());
    AddText(message, {"one", "two", "three"});
    EXPECT_EQ(FormatMessageRecord(message, FixedContext().dateTimeToText),
              test::CrLf({"-------------- ann@example.org received 07.12.2026 14:05:09 ---------------", "Hello", "one",
                          "Hello", "two", "Hello", "three"}));
}

TEST(MessageLog, PartsWithoutTextPartGiveOnlyTheHeaderLine) {
    TIdMessage message = SinglePart();
    message.MessageParts.Add(std::make_unique<TIdAttachment>());
    EXPECT_EQ(FormatMessageRecord(message, FixedContext().dateTimeToText),
              test::CrLf({"-------------- ann@example.org received 07.12.2026 14:05:09 ---------------"}));
}

TEST(MessageLog, MidnightDateHasNoTime) {
    TIdMessage message = SinglePart();
    message.Date = At(2026, 12, 7);
    message.Body.clear();
    EXPECT_EQ(FormatMessageRecord(message, FixedContext().dateTimeToText),
              test::CrLf({"-------------- ann@example.org received 07.12.2026 ---------------", ""}));
}

TEST(MessageLog, EmptyFileNameWritesNothing) {
    const auto dir = test::FreshDir();
    const auto before = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    EXPECT_TRUE(AppendMessageRecord(SinglePart(), "", FixedContext()).ok);
    std::filesystem::current_path(before);
    EXPECT_TRUE(std::filesystem::is_empty(dir));
}

TEST(MessageLog, RelativeNameResolvesAgainstCurrentFolder) {
    const auto dir = test::FreshDir();
    const auto before = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    const bool ok = AppendMessageRecord(SinglePart(), "rel.txt", FixedContext()).ok;
    std::filesystem::current_path(before);
    EXPECT_TRUE(ok);
    EXPECT_TRUE(std::filesystem::exists(dir / "rel.txt"));
}

TEST(MessageLog, CodePageFileNameBecomesUtf8) {
    const auto dir = test::FreshDir();
    const std::string name = (dir / "").string() + "\xeb\xee\xe3.txt"; // "лог" in windows-1251
    ASSERT_TRUE(AppendMessageRecord(SinglePart(), name, FixedContext()).ok);
    EXPECT_TRUE(std::filesystem::exists(dir / "\xd0\xbb\xd0\xbe\xd0\xb3.txt"));
}

TEST(MessageLog, CannotCreateIsReported) {
    const auto dir = test::FreshDir();
    test::WriteBytes(dir / "plain", "x");
    const FileResult result = AppendMessageRecord(SinglePart(), (dir / "plain" / "m.txt").string(), FixedContext());
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.error.empty());
}

TEST(MessageLog, DeleteIgnoresFailuresAndSparesFolders) {
    const auto dir = test::FreshDir();
    test::WriteBytes(dir / "m.txt", "old");
    DeleteMessageLog((dir / "m.txt").string(), 1252);
    EXPECT_FALSE(std::filesystem::exists(dir / "m.txt"));
    DeleteMessageLog((dir / "m.txt").string(), 1252); // already gone: nothing happens
    std::filesystem::create_directory(dir / "folder");
    DeleteMessageLog((dir / "folder").string(), 1252);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "folder"));
    DeleteMessageLog("", 1252);
}

TEST(MessageLog, OverwriteStartsAFreshFile) {
    const auto path = test::FreshDir() / "m.txt";
    ASSERT_TRUE(AppendMessageRecord(SinglePart(), path.string(), FixedContext()).ok);
    ASSERT_TRUE(AppendMessageRecord(SinglePart(), path.string(), FixedContext()).ok);
    DeleteMessageLog(path.string(), 1252);
    ASSERT_TRUE(AppendMessageRecord(SinglePart(), path.string(), FixedContext()).ok);
    const std::string text = test::ReadBytes(path);
    EXPECT_EQ(text.rfind("File created"), 0u);
    EXPECT_EQ(text.find("--------------"), text.rfind("-------------- "));
}

TEST(MessageLog, FifoOfThatNameDoesNotHang) {
    const auto path = test::FreshDir() / "fifo.txt";
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    // Without a reader it cannot be opened: reported, not waited for.
    EXPECT_FALSE(AppendMessageRecord(SinglePart(), path.string(), FixedContext()).ok);
}

TEST(MessageLog, LogLockedByAnotherProgramIsReportedNotWritten) {
    const auto path = test::FreshDir() / "m.txt";
    test::WriteBytes(path, "kept");
    const int holder = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    EXPECT_FALSE(AppendMessageRecord(SinglePart(), path.string(), FixedContext()).ok);
    ::close(holder);
    EXPECT_EQ(test::ReadBytes(path), "kept");
}

// What a record cut short by a kill leaves: the log, and the note of the sizes before and after it.
struct TornLogCase {
    const char* what;
    std::size_t cutAt; // bytes of the second record that reached the log
    std::string note;  // "" writes no note; "{}" is replaced by the sizes before and after
    bool cut;          // whether the next append cuts back to the first record
};

class MessageLogTornTail : public ::testing::TestWithParam<TornLogCase> {};

TEST_P(MessageLogTornTail, NextAppendCutsOnlyARecordCutShort) {
    const TornLogCase& c = GetParam();
    const auto path = test::FreshDir() / "m.txt";
    const std::string record = FormatMessageRecord(SinglePart(), FixedContext().dateTimeToText);
    const std::string whole = "File created 08.12.2026 09:15:00\r\n" + record;
    const std::string left = whole + record.substr(0, c.cutAt);
    test::WriteBytes(path, left);
    std::string note = c.note;
    if (note == "{}") {
        note = std::to_string(whole.size()) + " " + std::to_string(whole.size() + record.size());
    }
    if (!note.empty()) {
        test::WriteBytes(PendingAppendPath(path), note);
    }
    ASSERT_TRUE(AppendMessageRecord(SinglePart(), path.string(), FixedContext()).ok);
    EXPECT_EQ(test::ReadBytes(path), (c.cut ? whole : left) + record) << c.what;
    EXPECT_FALSE(std::filesystem::exists(PendingAppendPath(path))) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MessageLogTornTail,
    ::testing::Values(TornLogCase{"cut in the header line", 20, "{}", true},
                      TornLogCase{"cut in the body", 80, "{}", true},
                      // Killed before its first byte, or after its last one but before the note went.
                      TornLogCase{"nothing written", 0, "{}", false}, TornLogCase{"written whole", 10000, "{}", false},
                      // Without a note of ours nothing is cut: the end of the log is the user's.
                      TornLogCase{"no note", 80, "", false}, TornLogCase{"note cut short", 80, "46", false},
                      TornLogCase{"note of another file", 80, "not a note", false},
                      TornLogCase{"sizes reversed", 80, "200 46", false},
                      // The log changed after the note: it is shorter than before or longer than after.
                      TornLogCase{"log shorter since", 80, "100000 200000", false},
                      TornLogCase{"log longer since", 80, "1 10", false}),
    [](const ::testing::TestParamInfo<TornLogCase>& info) { return "Case" + std::to_string(info.index); });

TEST(MessageLog, NoteOfADeletedLogIsNotAppliedToTheNextOne) {
    const auto path = test::FreshDir() / "m.txt";
    ASSERT_TRUE(AppendMessageRecord(SinglePart(), path.string(), FixedContext()).ok);
    // A note that would cut the fresh log after its "File created" line.
    test::WriteBytes(PendingAppendPath(path), "10 100000");
    DeleteMessageLog(path.string(), 1252);
    EXPECT_FALSE(std::filesystem::exists(PendingAppendPath(path)));
    test::WriteBytes(PendingAppendPath(path), "10 100000");
    ASSERT_TRUE(AppendMessageRecord(SinglePart(), path.string(), FixedContext()).ok);
    EXPECT_EQ(test::ReadBytes(path), "File created 08.12.2026 09:15:00\r\n" +
                                         FormatMessageRecord(SinglePart(), FixedContext().dateTimeToText));
}

} // namespace
} // namespace qm
