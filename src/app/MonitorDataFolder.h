#pragma once

#include "platform/DataFolder.h"

#include <filesystem>
#include <string>
#include <vector>

namespace qm {

class TmQuillmere;

// The monitor's data folder from its command line (--dir DIR or --dir=DIR; the rest is left to
// Qt), with the arguments its autostart entry repeats. The installed program's config folder is
// created here.
struct MonitorDataFolder {
    DataFolder folder;
    std::vector<std::string> autoStartArgs;
};
MonitorDataFolder ChooseMonitorDataFolder(const std::vector<std::string>& args, const std::filesystem::path& executable,
                                          const std::filesystem::path& installBinDir);

// The text shown when the folder cannot be used: what is wrong and what the run does instead.
std::string UnusableDataFolderText(const DataFolder& folder);

// Hands the folder to the window; one that cannot be used is reported on stderr and in a message
// box that does not hold up the start.
void ApplyDataFolder(TmQuillmere& window, const MonitorDataFolder& choice);

} // namespace qm
