#include "settings/IniFile.h"

#include "settings/AccountCells.h"

#include "settings/AtomicFile.h"
#include "text/AsciiText.h"

#include <cstdint>
#include <limits>

namespace qm {

namespace {

// Trims blanks the way the profile reader does: spaces and tabs (and a stray CR).
std::string_view trimBlanks(std::string_view text) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// The reader takes one pair of matching outer quotes off a value; the writer adds a pair to a value
// that has them, so it reads back as written.
bool inOuterQuotes(std::string_view value) {
    return value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front();
}

} // namespace

int ParseProfileInteger(std::string_view text, int def) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        std::uint64_t value = 0;
        for (std::size_t i = 2; i < text.size(); ++i) {
            const int d = HexDigitValue(text[i]);
            if (d < 0) {
                return def;
            }
            value = value * 16 + static_cast<unsigned>(d);
            if (value > 0xFFFFFFFFu) {
                return def;
            }
        }
        return static_cast<int>(static_cast<std::uint32_t>(value));
    }
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size()) {
        return def;
    }
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return def;
        }
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<std::int64_t>(std::numeric_limits<int>::max()) + 1) {
            return def;
        }
    }
    if (negative) {
        value = -value;
    }
    if (value > std::numeric_limits<int>::max() || value < std::numeric_limits<int>::min()) {
        return def;
    }
    return static_cast<int>(value);
}

IniFile IniFile::Parse(std::string_view content) {
    IniFile ini;
    Section* current = nullptr;
    std::size_t pos = 0;
    while (pos < content.size()) {
        std::size_t end = content.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) {
            end = content.size();
        }
        const std::string_view line = trimBlanks(content.substr(pos, end - pos));
        pos = end;
        if (pos < content.size() && content[pos] == '\r') {
            ++pos;
        }
        if (pos < content.size() && content[pos] == '\n') {
            ++pos;
        }

        if (!line.empty() && line.front() == '[') {
            std::string_view name = line.substr(1);
            const std::size_t close = name.find(']');
            if (close != std::string_view::npos) {
                name = name.substr(0, close);
            }
            current = &ini.sectionFor(trimBlanks(name));
            continue;
        }
        const std::size_t eq = line.find('=');
        if (current == nullptr || eq == std::string_view::npos) {
            continue; // keys before the first section and lines without "=" are not readable
        }
        addEntry(*current, std::string(trimBlanks(line.substr(0, eq))), std::string(trimBlanks(line.substr(eq + 1))));
    }
    return ini;
}

std::optional<IniFile> IniFile::Load(const std::filesystem::path& path) {
    std::string content;
    if (!ReadWholeFile(path, content)) {
        return std::nullopt;
    }
    return Parse(content);
}

std::string IniFile::Serialize() const {
    std::string out;
    for (const Section& section : m_sections) {
        if (section.erased) {
            continue;
        }
        out += '[';
        out += section.name;
        out += "]\r\n";
        for (const Entry& entry : section.entries) {
            out += entry.key;
            out += '=';
            out += entry.value;
            out += "\r\n";
        }
    }
    return out;
}

bool IniFile::Save(const std::filesystem::path& path) const {
    return WriteFileAtomically(path, Serialize());
}

bool IniFile::HasSection(std::string_view section) const {
    return findSection(section) != nullptr;
}

std::vector<std::string> IniFile::SectionNames() const {
    std::vector<std::string> names;
    for (const Section& section : m_sections) {
        if (!section.erased) {
            names.push_back(section.name);
        }
    }
    return names;
}

std::optional<std::string> IniFile::Value(std::string_view section, std::string_view key) const {
    std::optional<std::string> value = UncutValue(section, key);
    if (value && value->size() > kProfileValueMax) {
        value->resize(kProfileValueMax);
    }
    return value;
}

std::optional<std::string> IniFile::UncutValue(std::string_view section, std::string_view key) const {
    const Section* s = findSection(section);
    if (s == nullptr) {
        return std::nullopt;
    }
    const auto it = s->index.find(AsciiUpper(trimBlanks(key)));
    if (it == s->index.end()) {
        return std::nullopt;
    }
    std::string_view value = s->entries[it->second].value;
    value = value.substr(0, value.find('\0')); // the value is a C string to the profile reader
    if (inOuterQuotes(value)) {
        value = value.substr(1, value.size() - 2);
    }
    return std::string(value);
}

std::string IniFile::ReadString(std::string_view section, std::string_view key, std::string_view def) const {
    auto value = Value(section, key);
    return value ? *value : std::string(def.substr(0, kProfileValueMax));
}

int IniFile::ReadInteger(std::string_view section, std::string_view key, int def) const {
    const auto value = Value(section, key);
    return value ? ParseProfileInteger(*value, def) : def;
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool def) const {
    // Numbers as the integer reader takes them, and the words the account list shows.
    const std::string text = ReadString(section, key, std::string());
    return CellBool(text).value_or(ReadInteger(section, key, def ? 1 : 0) != 0);
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    Section& s = sectionFor(section);
    const std::string name(trimBlanks(key));
    // A line break in a value would end the line and plant whatever follows as keys of its own.
    std::string clean;
    clean.reserve(value.size());
    for (char c : value) {
        if (c != '\r' && c != '\n' && c != '\0') {
            clean += c;
        }
    }
    if (const std::string_view trimmed = trimBlanks(clean); inOuterQuotes(trimmed)) {
        clean = '"' + std::string(trimmed) + '"';
    }
    const auto it = s.index.find(AsciiUpper(name));
    if (it != s.index.end()) {
        s.entries[it->second].value = std::move(clean);
        return;
    }
    addEntry(s, name, std::move(clean));
}

void IniFile::WriteInteger(std::string_view section, std::string_view key, int value) {
    WriteString(section, key, std::to_string(value));
}

void IniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

void IniFile::EraseSection(std::string_view section) {
    const auto it = m_index.find(AsciiUpper(trimBlanks(section)));
    if (it == m_index.end()) {
        return;
    }
    // Every section of that name goes; marks keep the indexes of the others valid.
    const std::string upper = it->first;
    for (Section& s : m_sections) {
        if (!s.erased && AsciiUpper(s.name) == upper) {
            s.erased = true;
            s.entries.clear();
            s.index.clear();
        }
    }
    m_index.erase(it);
}

IniFile::Section* IniFile::findSection(std::string_view name) {
    const auto it = m_index.find(AsciiUpper(trimBlanks(name)));
    return it == m_index.end() ? nullptr : &m_sections[it->second];
}

const IniFile::Section* IniFile::findSection(std::string_view name) const {
    const auto it = m_index.find(AsciiUpper(trimBlanks(name)));
    return it == m_index.end() ? nullptr : &m_sections[it->second];
}

IniFile::Section& IniFile::sectionFor(std::string_view name) {
    const std::string trimmed(trimBlanks(name));
    const auto [it, added] = m_index.try_emplace(AsciiUpper(trimmed), m_sections.size());
    if (added) {
        m_sections.push_back(Section{trimmed, {}, {}, false});
    }
    return m_sections[it->second];
}

void IniFile::addEntry(Section& section, std::string key, std::string value) {
    // A repeated key stays in the text but the first one is what reads see.
    section.index.try_emplace(AsciiUpper(key), section.entries.size());
    section.entries.push_back(Entry{std::move(key), std::move(value)});
}

} // namespace qm
