#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

inline constexpr const char* kAntiSpamListFile = "antiSpamList.txt";        // sender address masks
inline constexpr const char* kAntiSpamSubjListFile = "antiSpamSbjList.txt"; // subject masks

struct FilterEntry {
    std::string text;     // a wildcard mask, code page bytes
    bool checked = false; // picked for deletion; never stored

    bool operator==(const FilterEntry&) const = default;
};

// One anti-spam list: ordered masks, a current entry and the enable switch.
struct FilterList {
    std::vector<FilterEntry> entries;
    int current = -1; // index of the selected entry, -1 for none
    bool enabled = true;

    // The masks in list order (what a check matches against when the list is enabled).
    std::vector<std::string> Values() const;
    // Appends an unchecked entry.
    void Add(std::string text);
    // Removes every checked entry; the current entry becomes none when it was removed.
    void DeleteChecked();
};

struct FileResult {
    bool ok = true;
    std::string error;
};

// Fills `list.entries` from the file (one mask per line; empty lines skipped, "[" "]" turned into
// "(" ")", bytes 0 to 32 trimmed from both ends, a blank line becomes an empty entry), creating
// the file with one CR LF when it is missing. `enabled` is not touched. A read error keeps the
// entries read so far. Not ok only when the missing file could not be created.
FileResult LoadFilterList(FilterList& list, const std::filesystem::path& file);

// Writes every entry followed by CR LF, through a temporary file renamed over the old one.
FileResult SaveFilterList(const FilterList& list, const std::filesystem::path& file);

// Whether `value` equals one of `strings` when ASCII a-z and A-Z are taken as the same letter;
// all other bytes (Cyrillic included) must be equal.
bool ContainsValue(const std::vector<std::string>& strings, std::string_view value);
bool ContainsValue(const FilterList& list, std::string_view value);

} // namespace qm
