#include "settings/DeletionLog.h"
#include "settings/LogAppend.h"

#include "SettingsTestSupport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace qm {
namespace {

using test::FreshDir;
using test::ReadBytes;
using test::WriteBytes;

DeletionRecord Sample() {
    DeletionRecord record;
    record.checkTime = "2026-12-08 09:15:00";
    record.server = "pop.example.org";
    record.account = "ann";
    record.sender = "junk@spam.example";
    record.subject = "Cheap offer";
    record.size = 1234;
    record.list = "subject";
    record.entry = "*offer*";
    record.committed = true;
    return record;
}

TEST(DeletionLog, LineHoldsEveryFieldAndStaysOneLine) {
    DeletionRecord record = Sample();
    EXPECT_EQ(FormatDeletionLine(record),
              "2026-12-08 09:15:00\tpop.example.org\tann\tjunk@spam.example\tCheap offer\t1234\tsubject: *offer*\t"
              "committed\n");
    // A hostile subject cannot add fields or lines; an unknown size stays an empty field.
    record.subject = "a\tb\r\nc";
    record.entry = "x\ty";
    record.size.reset();
    record.committed = false;
    EXPECT_EQ(FormatDeletionLine(record), "2026-12-08 09:15:00\tpop.example.org\tann\tjunk@spam.example\ta b  c\t\t"
                                          "subject: x y\tnot committed\n");
}

TEST(DeletionLog, NewFileIsPrivateAndLinesAreAppended) {
    const auto file = FreshDir() / kDeletionLogFile;
    ASSERT_TRUE(AppendDeletionRecords(file, {Sample()}).ok);
    ASSERT_TRUE(AppendDeletionRecords(file, {Sample(), Sample()}).ok);
    EXPECT_EQ(ReadBytes(file),
              FormatDeletionLine(Sample()) + FormatDeletionLine(Sample()) + FormatDeletionLine(Sample()));
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST(DeletionLog, FilePastTheLimitIsMovedAsideOnce) {
    const auto dir = FreshDir();
    const auto file = dir / kDeletionLogFile;
    const std::string line = FormatDeletionLine(Sample());
    const std::string full(kDeletionLogLimit - line.size(), 'x');
    WriteBytes(file, full);
    WriteBytes(dir / "deleted.txt.1", "older");

    ASSERT_TRUE(AppendDeletionRecords(file, {Sample()}).ok); // exactly at the limit: kept
    EXPECT_EQ(ReadBytes(file), full + line);
    EXPECT_EQ(ReadBytes(dir / "deleted.txt.1"), "older");

    ASSERT_TRUE(AppendDeletionRecords(file, {Sample()}).ok); // past it: begun afresh
    EXPECT_EQ(ReadBytes(file), line);
    EXPECT_EQ(ReadBytes(dir / "deleted.txt.1"), full + line);
}

TEST(DeletionLog, NoRegularFileAtTheNameFailsAndIsLeftAlone) {
    const auto dir = FreshDir();
    std::filesystem::create_directory(dir / "deleted.txt");
    FileResult result = AppendDeletionRecords(dir / "deleted.txt", {Sample()});
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("deleted.txt"), std::string::npos) << result.error;
    EXPECT_TRUE(std::filesystem::is_directory(dir / "deleted.txt"));

    WriteBytes(dir / "target", "kept");
    std::filesystem::create_symlink(dir / "target", dir / "link.txt");
    EXPECT_FALSE(AppendDeletionRecords(dir / "link.txt", {Sample()}).ok);
    EXPECT_FALSE(PrepareDeletionRecords(dir / "link.txt", {Sample()}).ok);
    EXPECT_EQ(ReadBytes(dir / "target"), "kept");
}

TEST(DeletionLog, RecordTornByAFullDiskIsCutBeforeTheNext) {
    const auto file = FreshDir() / kDeletionLogFile;
    const std::string line = FormatDeletionLine(Sample());
    // What a write that ran out of room left: the first line whole, a part of the second, its note.
    WriteBytes(file, line + line.substr(0, 30));
    WriteBytes(PendingAppendPath(file), std::to_string(line.size()) + " " + std::to_string(2 * line.size()));
    ASSERT_TRUE(PrepareDeletionRecords(file, {Sample()}).ok);
    ASSERT_TRUE(AppendDeletionRecords(file, {Sample()}, true).ok);
    EXPECT_EQ(ReadBytes(file), line + line);
}

} // namespace
} // namespace qm
