#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// Reading of freedesktop.org Desktop Entry files (key files with a [Desktop Entry] group).

// Value of `key` in the [Desktop Entry] group of the key-file text, with the string escapes
// (\s \n \t \r \\) resolved; nullopt when the group or key is missing. Localised keys (Key[xx])
// are not matched.
std::optional<std::string> DesktopEntryValue(std::string_view fileText, std::string_view key);

// The same, read from a file; nullopt when the file cannot be read or is larger than 1 MiB.
std::optional<std::string> DesktopEntryFileValue(const std::filesystem::path& file, std::string_view key);

// Splits an Exec value (string escapes already resolved) into its arguments: blanks separate,
// double quotes group, and inside quotes \" \` \$ \\ stand for the character. Field codes are
// left in place. nullopt for an unterminated quote.
std::optional<std::vector<std::string>> SplitExecLine(std::string_view exec);

// The string-escaped form of a value for writing into a key file.
std::string EscapeDesktopValue(std::string_view value);

} // namespace qm
