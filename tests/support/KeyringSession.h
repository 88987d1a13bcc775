#pragma once

// A real Secret Service for tests: gnome-keyring-daemon on the session bus the test runs on (a
// private one from dbus-run-session), with a home of its own, unlocked with a test password;
// entries planted and read with secret-tool.

#include <filesystem>
#include <optional>
#include <string>

namespace qm::test {

// secret-tool's attribute arguments of one account's entry.
std::string KeyringAttributes(const std::string& server, int port, const std::string& user,
                              const std::string& protocol = "pop3");
// Shell lines that start the daemon with its home and runtime folder below `root` and wait until
// it owns org.freedesktop.secrets.
std::string StartKeyringLines(const std::filesystem::path& root);

// From a test process on its private bus: starts the daemon; true when it answers.
bool StartTestKeyring(const std::filesystem::path& root);
// The entry's secret, nullopt when there is none.
std::optional<std::string> KeyringLookup(const std::string& attributes);
// secret-tool search --all: every field of the matching entries, the label included.
std::string KeyringSearch(const std::string& attributes);
bool KeyringPlant(const std::string& attributes, const std::string& secret);

} // namespace qm::test
