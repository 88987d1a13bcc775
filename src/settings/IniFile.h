#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qm {

// Largest value a profile read returns: values are read into a 2048-byte buffer with its terminator.
inline constexpr std::size_t kProfileValueMax = 2047;

// Reads a profile integer: optional sign and decimal digits, or "0x"/"0X" followed by hex digits
// when the text is longer than two characters. The whole text must be the number: "12abc", "1.5",
// " 7", "0x" or an empty text are no numbers and give `def`, as does a decimal value outside the
// 32-bit range. Hex takes at most 32 bits and is read as two's complement ("0xFFFFFFFF" is -1).
int ParseProfileInteger(std::string_view text, int def);

// An INI file held in memory, with the lookup rules of the Windows profile functions: section
// and key names compare without regard to ASCII letter case, names and values are trimmed of
// white space, a value in matching quotes loses them, a value read stops at its first NUL byte
// and is cut to kProfileValueMax bytes. The first of repeated sections or keys wins. Lines that
// are neither a section header nor hold "=" are ignored. Text is bytes in the code page.
class IniFile {
public:
    IniFile() = default;

    // Parses file content; never fails (junk lines are skipped). Line ends: CR LF, LF or CR.
    static IniFile Parse(std::string_view content);
    // Reads and parses a file; nullopt when it cannot be opened or read.
    static std::optional<IniFile> Load(const std::filesystem::path& path);

    // The file text: sections in order, "[Name]" then "Key=Value" lines, every line ending in CR LF.
    std::string Serialize() const;
    // Writes Serialize() through a temporary file renamed over `path`; false when it failed,
    // in which case the file at `path` is left as it was.
    bool Save(const std::filesystem::path& path) const;

    bool HasSection(std::string_view section) const;
    std::vector<std::string> SectionNames() const;
    // The value as the profile functions read it, or nullopt when section or key is missing.
    std::optional<std::string> Value(std::string_view section, std::string_view key) const;
    // Value() without the cut to kProfileValueMax, for a value that is refused whole rather than
    // used in part.
    std::optional<std::string> UncutValue(std::string_view section, std::string_view key) const;

    std::string ReadString(std::string_view section, std::string_view key, std::string_view def) const;
    int ReadInteger(std::string_view section, std::string_view key, int def) const;
    // An integer with default 1 or 0; any value other than 0 is true.
    bool ReadBool(std::string_view section, std::string_view key, bool def) const;

    // Sets a key, adding the section at the end and the key at the end of its section as needed.
    // A value in matching quotes is written in one more pair, which the reader takes off again.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int value);
    void WriteBool(std::string_view section, std::string_view key, bool value);
    void EraseSection(std::string_view section);

private:
    struct Entry {
        std::string key;
        std::string value;
    };
    struct Section {
        std::string name;
        std::vector<Entry> entries;
        std::unordered_map<std::string, std::size_t> index; // upper-case key -> first entry
        bool erased = false;
    };

    Section* findSection(std::string_view name);
    const Section* findSection(std::string_view name) const;
    Section& sectionFor(std::string_view name);
    static void addEntry(Section& section, std::string key, std::string value);

    std::vector<Section> m_sections;
    std::unordered_map<std::string, std::size_t> m_index; // upper-case name -> first section
};

} // namespace qm
