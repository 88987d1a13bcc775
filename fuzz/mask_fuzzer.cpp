// Wildcard masks from hostile input: compilation either succeeds or throws the mask error,
// matching always ends, and a mask without wildcard characters matches its own text.
#include "engine/Mask.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    static constexpr int kCodePages[] = {1252, 1251, 932, 936};
    const int codePage = kCodePages[data[0] % 4];
    const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::size_t split = rest.find('\n');
    const std::string_view mask = rest.substr(0, split);
    const std::string_view value = split == std::string_view::npos ? std::string_view() : rest.substr(split + 1);
    try {
        const qm::TMask compiled(mask, codePage);
        const bool first = compiled.Matches(value);
        if (first != qm::MatchMask(value, mask, codePage)) {
            __builtin_trap();
        }
        if (codePage == 1252 && mask.find_first_of(std::string_view("*?[\0", 4)) == std::string_view::npos &&
            !compiled.Matches(mask)) {
            __builtin_trap();
        }
    } catch (const qm::EMaskException&) {
    }
    return 0;
}
