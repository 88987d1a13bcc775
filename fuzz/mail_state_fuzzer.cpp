// The state file from hostile bytes: read as nothing or as a state that is written back and read
// again unchanged; and a UIDL answer from the same bytes names each message once or none.
#include "pop3/Pop3UniqueIds.h"
#include "settings/MailState.h"

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (const std::optional<qm::MailState> state = qm::ParseMailState(text)) {
        if (qm::ParseMailState(qm::SerializeMailState(*state)) != state) {
            __builtin_trap();
        }
    }
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        lines.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    const int count = static_cast<int>(size % 17);
    if (const auto ids = qm::ParseUniqueIds(lines, count)) {
        std::set<std::string> distinct;
        for (const std::string& id : *ids) {
            if (ids->size() != static_cast<std::size_t>(count) || (!id.empty() && !distinct.insert(id).second)) {
                __builtin_trap();
            }
        }
    }
    return 0;
}
