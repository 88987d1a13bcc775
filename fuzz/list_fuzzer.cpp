// Anti-spam list files from hostile input: every line becomes one entry (never an LF in an
// entry), saving writes them back so a second load gives the same masks (a blank entry, which
// never matches, may be left out), and every entry either compiles as a mask or is refused with
// the mask error.
#include "FuzzFile.h"
#include "engine/Mask.h"
#include "settings/FilterList.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    qm::FilterList list;
    const auto file = qm::fuzz::WriteInput("antiSpamList.txt", data, size);
    if (!qm::LoadFilterList(list, file).ok) {
        __builtin_trap(); // an existing file always loads
    }
    for (const qm::FilterEntry& entry : list.entries) {
        if (entry.text.find('\n') != std::string::npos) {
            __builtin_trap();
        }
    }
    if (!qm::SaveFilterList(list, file).ok) {
        __builtin_trap();
    }
    qm::FilterList again;
    (void)qm::LoadFilterList(again, file);
    const auto masksOf = [](const qm::FilterList& l) {
        std::vector<std::string> out;
        for (const qm::FilterEntry& entry : l.entries) {
            if (!entry.text.empty()) {
                out.push_back(entry.text);
            }
        }
        return out;
    };
    if (masksOf(again) != masksOf(list)) {
        __builtin_trap();
    }
    const qm::MaskList masks(list.Values());
    try {
        (void)masks.FirstMatch("someone@example.org", 1252);
    } catch (const qm::EMaskException&) {
    }
    return 0;
}
