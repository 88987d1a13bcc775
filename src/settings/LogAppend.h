#pragma once

// Appending whole records to a log that other processes (a second monitor, a scheduled
// quillmere-check) append to as well: one at a time under a lock, and never a part of a record
// left for the next one to be written after.

#include <chrono>
#include <filesystem>
#include <string_view>
#include <sys/types.h>

namespace qm {

// The note beside a log while a record is being appended ("<log>.pending").
std::filesystem::path PendingAppendPath(const std::filesystem::path& log);

// Takes the exclusive lock (flock) of the open file, waiting at most `wait` for whoever holds it.
// False (errno says why; EWOULDBLOCK when it stayed held) when it was not taken.
bool LockWithin(int fd, std::chrono::milliseconds wait);

// With the log's lock held: cuts a record that an earlier append left unfinished at the end of
// the regular file open at fd, whose size is `size`, as the note beside the log tells. Returns
// the size of the log after that.
off_t CutUnfinishedRecord(int fd, const std::filesystem::path& log, off_t size);

// With the log's lock held: appends the record at the end of the regular file open at fd (opened
// for append, `size` bytes long, an unfinished record already cut) so that a kill or a full disk
// never leaves a part of it: the sizes before and after are noted beside the log first, and the
// next append cuts what a failed one left. False (errno says why) when the record was not written
// whole.
bool AppendWithNote(int fd, const std::filesystem::path& log, off_t size, std::string_view record);

} // namespace qm
