#pragma once

#include "settings/FilterList.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace qm {

// The record of the messages a check deleted from a server, in the data folder.
inline constexpr const char* kDeletionLogFile = "deleted.txt";
// Past this size the record is moved to "<file>.1" (replacing an older one) and begun afresh.
inline constexpr std::uintmax_t kDeletionLogLimit = 1024 * 1024;

// One deleted message. Every text is UTF-8.
struct DeletionRecord {
    std::string checkTime; // when the check began, "yyyy-MM-dd HH:mm:ss" local time
    std::string server;
    std::string account;
    std::string sender;
    std::string subject; // decoded
    std::optional<std::uint64_t> size;
    std::string list; // "sender" or "subject": the anti-spam list whose entry matched
    std::string entry;
    bool committed = false; // the server confirmed it (a POP3 session ended with QUIT)
    // An IMAP check's action: planned ("move to Junk", "delete"; a dry run prints "would ..."),
    // and as confirmed ("moved to Junk", "deleted"), recorded in place of "committed". Both empty
    // for POP3, where a deletion is a deletion.
    std::string action;
    std::string done;
};

// The record as one line: check time, server, account, sender, subject, size (empty when not
// known), "<list>: <entry>", and "committed" (or what was done) or "not committed", separated by
// tabs and ended by LF. Control characters inside a field (tabs and line breaks among them) become
// blanks, so every message stays one line of eight fields that prints as it reads.
std::string FormatDeletionLine(const DeletionRecord& record);

// The lock beside the record ("<file>.lock") that every check holds while it appends to the
// record or moves it aside, so checks sharing a data folder never lose each other's lines.
std::filesystem::path DeletionLogLockPath(const std::filesystem::path& file);

// Makes sure the records can be appended later, before a server is told to delete their
// messages: under the lock, the file at that name is a regular file that opens for append
// (created readable by its owner only when missing; moved to "<file>.1" first when they would
// take it past kDeletionLogLimit), a record an earlier append left unfinished is cut, and the
// disk space the lines will take is reserved at the end of the file (fallocate, size kept), so
// the append cannot fail for want of room. Not ok, with the reason, when any of that fails.
FileResult PrepareDeletionRecords(const std::filesystem::path& file, const std::vector<DeletionRecord>& records);

// Appends the records' lines to `file` under its lock, each exactly once, creating it readable by
// its owner only; a record an earlier append left unfinished is cut first. Unless `prepared`
// (PrepareDeletionRecords made room for them at the end of this file, so it is not moved now), a
// file that would pass kDeletionLogLimit is first moved to "<file>.1". Anything but a regular file
// at that name is left alone and reported, like any other failure (not ok, with the reason).
FileResult AppendDeletionRecords(const std::filesystem::path& file, const std::vector<DeletionRecord>& records,
                                 bool prepared = false);

} // namespace qm
