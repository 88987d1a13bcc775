#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace qm {

// Replaces the file at `path` with `content` by writing "<path>.tmp" in the same folder, flushing
// it to disk and renaming it over the old file, so a failure never leaves a half-written or
// missing file. A symbolic link at `path` is written through to its target; the mode of an
// existing file is kept. Returns false (and `error`, when given, says why) when it failed; the
// old file is then untouched and no temporary file is left behind. A new file gets `newMode`
// (less the umask).
bool WriteFileAtomically(const std::filesystem::path& path, std::string_view content, std::string* error = nullptr,
                         unsigned newMode = 0666);

// Reads a whole regular file as bytes. Returns false when it cannot be opened or is no regular
// file, and false with `content` empty when it holds more than `maxBytes` (a part of a file is
// never taken for the whole); a read error part-way keeps what was read so far in `content` and
// also returns false.
bool ReadWholeFile(const std::filesystem::path& path, std::string& content,
                   std::size_t maxBytes = static_cast<std::size_t>(-1));

} // namespace qm
