// Settings files from hostile input: the INI reader never fails, what it writes reads back the
// same, and LoadSettings either loads or says why not.
#include "FuzzFile.h"
#include "settings/IniFile.h"
#include "settings/SettingsFile.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const qm::IniFile ini = qm::IniFile::Parse(text);
    const std::string written = ini.Serialize();
    if (qm::IniFile::Parse(written).Serialize() != written) {
        __builtin_trap(); // a saved file must read back as it was saved
    }
    for (const std::string& section : ini.SectionNames()) {
        (void)ini.ReadInteger(section, "Port", 110);
        (void)ini.ReadBool(section, "Disabled", false);
    }
    (void)qm::CountAccountSectionsInText(text);
    (void)qm::SplitValueList(text.substr(0, 4096));

    const qm::LoadResult loaded = qm::LoadSettings(qm::fuzz::WriteInput("quillmere.ini", data, size));
    if (loaded.status == qm::LoadStatus::Loaded) {
        for (const qm::AccountRow& row : loaded.data.accounts) {
            (void)qm::ToAccount(row);
        }
    }
    return 0;
}
