#pragma once

#include "settings/FilterList.h"
#include "settings/LogAppend.h"
#include "settings/LogDateTime.h"

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace qm {

class TIdMessage;

struct MessageLogContext {
    std::function<double()> now = CurrentLocalDateTime;
    DateTimeToText dateTimeToText = MakeDateTimeToText({});
    int codePage = 1252; // of the file name as the settings hold it
};

// The file system path of a log file name held in the code page (converted to UTF-8). A relative
// name stays relative, so it resolves against the current directory.
std::filesystem::path MessageLogPath(std::string_view fileName, int codePage);

// The text of one record: the header line and the body, CR LF line ends, as appended to the log.
std::string FormatMessageRecord(const TIdMessage& message, const DateTimeToText& dateTimeToText);

// Appends a record for the message. An empty file name does nothing. A missing file is first
// created with "File created <now>" (a file another check creates at the same moment is appended
// to instead). Not ok, with the reason, when the record was not written whole: a log that cannot
// be created or opened, a failed write, or a lock another program keeps. A record that a killed
// process or a full disk left unfinished at the end of the log is cut before the next one.
FileResult AppendMessageRecord(const TIdMessage& message, std::string_view fileName, const MessageLogContext& context);

// Deletes the log file so the next record starts a fresh one; failures (no file, a folder of that
// name) are ignored.
void DeleteMessageLog(std::string_view fileName, int codePage);

} // namespace qm
