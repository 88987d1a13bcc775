#pragma once

#include "platform/Environment.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace qm {

// Where the settings file, the two anti-spam lists and the autostart choice of a run live.
//
// The rule: the folder named by --dir when given; otherwise the program's own folder (a build tree
// or a copy of the program anywhere), unless the program is installed, that is its folder is the
// compiled-in install prefix's bin folder and no quillmere.ini lies beside it. An installed
// program uses $XDG_CONFIG_HOME/quillmere (default ~/.config/quillmere), kept private (0700).

enum class DataFolderReason {
    Given,         // --dir DIR
    BesideProgram, // the program's own folder
    Installed,     // the user's config folder of an installed program
};

struct DataFolder {
    std::filesystem::path path;
    DataFolderReason reason = DataFolderReason::BesideProgram;
    // Why the folder cannot be used (nothing may be written there); empty when it can.
    std::string error;

    bool usable() const { return error.empty(); }
};

// The settings file of both programs; its presence beside an installed program keeps the files there.
inline constexpr const char* kSettingsFileName = "quillmere.ini";

// The bin folder of the install prefix the program was built for.
std::filesystem::path InstalledBinDir();

// The folder the rule picks; nothing is checked or created.
DataFolder ChooseDataFolder(const std::filesystem::path& executable, const std::optional<std::filesystem::path>& given,
                            const std::filesystem::path& installBinDir, const EnvLookup& env);

// Makes the chosen folder ready and sets `error` when it cannot be used: a given folder must exist,
// be a folder and be writable; the config folder of an installed program is created with mode 0700
// when `create` is set, and refused when another user owns it.
void PrepareDataFolder(DataFolder& folder, bool create);

// One sentence saying which folder is used and why, for help texts and messages.
std::string DataFolderExplanation(const DataFolder& folder);

// --dir DIR or --dir=DIR taken out of a command line; `error` tells a --dir without folder or one
// given twice.
struct DirOption {
    std::optional<std::filesystem::path> dir;
    std::string error;
};
DirOption TakeDirOption(std::vector<std::string>& args);

} // namespace qm
