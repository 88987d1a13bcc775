// UIDL answers, RFC 1939 section 7.
#include "pop3/Pop3UniqueIds.h"

#include <charconv>
#include <set>
#include <string_view>

namespace qm {

std::optional<std::vector<std::string>> ParseUniqueIds(const std::vector<std::string>& lines, int count) {
    if (count < 0 || lines.size() > static_cast<std::size_t>(count)) {
        return std::nullopt;
    }
    std::vector<std::string> ids(static_cast<std::size_t>(count));
    std::set<std::string_view> seen;
    for (const std::string& line : lines) {
        const std::size_t space = line.find(' ');
        if (space == std::string::npos || space == 0) {
            return std::nullopt;
        }
        int number = 0;
        const auto [end, ec] = std::from_chars(line.data(), line.data() + space, number);
        const std::string_view id = std::string_view(line).substr(space + 1);
        if (ec != std::errc() || end != line.data() + space || number < 1 || number > count || id.empty() ||
            id.size() > kMaxUniqueIdLength) {
            return std::nullopt;
        }
        for (const char c : id) {
            if (c < 0x21 || c > 0x7E) {
                return std::nullopt;
            }
        }
        std::string& slot = ids[static_cast<std::size_t>(number - 1)];
        if (!slot.empty() || !seen.insert(id).second) {
            return std::nullopt;
        }
        slot = id;
    }
    return ids;
}

} // namespace qm
