#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Environment.h"

namespace qm {

// The system's default mail handler, as a bare program name: the desktop's default
// x-scheme-handler/mailto entry, its .desktop file's Exec, first word, without the path and
// without field codes. Empty when anything on the way is missing.

struct MailHandlerLookup {
    // Output of `xdg-mime query default x-scheme-handler/mailto`; nullopt when it cannot run.
    std::function<std::optional<std::string>()> queryDefault;
    // The XDG data dirs in order of precedence; .desktop files are found in <dir>/applications.
    std::vector<std::filesystem::path> dataDirs;
};

// The lookup on this machine: runs xdg-mime (bounded in time and output) and takes
// $XDG_DATA_HOME and $XDG_DATA_DIRS with their defaults.
MailHandlerLookup SystemMailHandlerLookup();

// XDG data dirs from an environment: data home (~/.local/share) first, then XDG_DATA_DIRS
// (/usr/local/share:/usr/share by default). Relative entries are ignored.
std::vector<std::filesystem::path> XdgDataDirs(const EnvLookup& env);

std::string DefaultMailHandler();
std::string DefaultMailHandler(const MailHandlerLookup& lookup);

// Finds a desktop file id ("org.kde.kmail2.desktop", or "kde-kmail.desktop" for
// applications/kde/kmail.desktop) in the data dirs; nullopt when it is not there or the id is not a
// plain file name.
std::optional<std::filesystem::path> FindDesktopFile(std::string_view desktopId,
                                                     const std::vector<std::filesystem::path>& dataDirs);

// The program name of an Exec value: first argument, directories dropped, field codes removed
// ("%%" stays as "%"). Empty when there is none.
std::string ExecProgramName(std::string_view exec);

} // namespace qm
