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
// known), "<list>: <entry>", and "committed" (or what was done) or "not committed", separated by tabs and ended by
// LF. Tabs and line breaks inside a field become blanks, so every message stays one line.
std::string FormatDeletionLine(const DeletionRecord& record);

// Appends the records' lines to `file`, creating it readable by its owner only, after moving a
// file that would pass kDeletionLogLimit to "<file>.1". Anything but a regular file at that
// name is left alone and reported, like any other failure (not ok, with the reason).
FileResult AppendDeletionRecords(const std::filesystem::path& file, const std::vector<DeletionRecord>& records);

} // namespace qm
