#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "platform/Environment.h"

namespace qm {

// Start with the desktop session through an XDG autostart entry,
// <config dir>/autostart/quillmere.desktop. Autostart is on exactly when that entry exists and
// its Exec command is the executable's full path (exact, case-sensitive) followed by exactly the
// arguments the monitor was started with that decide its data folder (none, or --dir DIR).
// A path that needs quoting is written as one double-quoted argument with \ " ` $ escaped
// (Desktop Entry Exec rules, then the string escapes of the key file) and read back the same way.

// $XDG_CONFIG_HOME when it is an absolute path, otherwise ~/.config.
std::filesystem::path ConfigHome(const EnvLookup& env);

// The entry's file inside a config dir.
std::filesystem::path AutoStartEntryPath(const std::filesystem::path& configDir);

bool IsAutoStartRegistered(const std::string& exePath);
bool IsAutoStartRegistered(const std::string& exePath, const std::filesystem::path& configDir);

// Writes the entry (atomically, through a temporary file renamed over it) when enabled, deletes
// it otherwise; returns IsAutoStartRegistered afterwards. A folder that cannot be written leaves
// it unregistered (false). An empty exePath is never written.
bool SetAutoStart(bool enabled, const std::string& exePath);
bool SetAutoStart(bool enabled, const std::string& exePath, const std::filesystem::path& configDir);

// The Exec value (as written in the key file) that runs exePath with no arguments.
std::string ExecValueFor(const std::string& exePath);

// The same for a command: the executable's full path, then its arguments.
using AutoStartCommand = std::vector<std::string>;
std::string ExecValueFor(const AutoStartCommand& command);
bool IsAutoStartRegistered(const AutoStartCommand& command, const std::filesystem::path& configDir);
bool SetAutoStart(bool enabled, const AutoStartCommand& command, const std::filesystem::path& configDir);

} // namespace qm
