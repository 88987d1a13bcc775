#include "settings/FilterList.h"

#include "settings/AtomicFile.h"
#include "settings/IniFile.h"
#include "text/AsciiText.h"

#include <algorithm>
#include <system_error>

namespace qm {

std::vector<std::string> FilterList::Values() const {
    std::vector<std::string> values;
    values.reserve(entries.size());
    for (const FilterEntry& entry : entries) {
        values.push_back(entry.text);
    }
    return values;
}

void FilterList::Add(std::string text) {
    entries.push_back(FilterEntry{std::move(text), false});
}

void FilterList::DeleteChecked() {
    std::vector<FilterEntry> kept;
    int newCurrent = -1;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].checked) {
            continue;
        }
        if (static_cast<int>(i) == current) {
            newCurrent = static_cast<int>(kept.size());
        }
        kept.push_back(std::move(entries[i]));
    }
    entries = std::move(kept);
    current = newCurrent;
}

FileResult LoadFilterList(FilterList& list, const std::filesystem::path& file) {
    list.entries.clear();
    list.current = -1;

    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::symlink_status(file, ec))) {
        std::string error;
        if (!WriteFileAtomically(file, "\r\n", &error)) {
            return FileResult{false, error};
        }
    }

    std::string content;
    // A read error keeps whatever was read before it.
    (void)ReadWholeFile(file, content);

    std::size_t pos = 0;
    while (pos < content.size()) {
        std::size_t end = content.find('\n', pos);
        if (end == std::string::npos) {
            end = content.size();
        }
        std::string_view line = std::string_view(content).substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.empty()) {
            continue;
        }
        std::string entry(TrimControls(line));
        std::replace(entry.begin(), entry.end(), '[', '(');
        std::replace(entry.begin(), entry.end(), ']', ')');
        list.entries.push_back(FilterEntry{std::move(entry), false});
    }
    if (!list.entries.empty()) {
        list.current = 0;
    }
    return {};
}

FileResult SaveFilterList(const FilterList& list, const std::filesystem::path& file) {
    std::string content;
    for (const FilterEntry& entry : list.entries) {
        content += entry.text;
        content += "\r\n";
    }
    FileResult result;
    result.ok = WriteFileAtomically(file, content, &result.error);
    return result;
}

bool ContainsValue(const std::vector<std::string>& strings, std::string_view value) {
    return std::any_of(strings.begin(), strings.end(), [&](const std::string& s) { return EqualNoCase(s, value); });
}

bool ContainsValue(const FilterList& list, std::string_view value) {
    return ContainsValue(list.Values(), value);
}

} // namespace qm
