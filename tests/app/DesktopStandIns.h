#pragma once

// A desktop of the test's own: a browser and a mail handler found through the usual lookups
// (xdg-open, xdg-mime, PATH) in an environment that points at a private folder.

#include <QByteArray>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qm::test {

// Sets environment variables for its lifetime and restores them afterwards.
class ScopedEnv {
public:
    ScopedEnv() = default;
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;
    void set(const char* name, const std::string& value);
    void unset(const char* name);

private:
    void remember(const char* name);
    std::map<std::string, std::optional<QByteArray>> m_saved;
};

class StandInDesktop {
public:
    // root: a private folder; its cfg/ becomes XDG_CONFIG_HOME, data/ the data dirs, bin/ leads PATH.
    explicit StandInDesktop(const std::filesystem::path& root);

    // A program in bin/ that appends each run's first argument (or "-") to <name>.log.
    std::filesystem::path addProgram(const std::string& name, bool executable = true);
    // Lines the program has logged so far.
    std::vector<std::string> runs(const std::string& name) const;
    // Addresses the browser was asked to open.
    std::vector<std::string> browsed() const { return runs("browser"); }

    // Makes desktopId the default mailto handler, its .desktop file holding these lines.
    void setMailHandler(const std::string& desktopId, const std::string& desktopFileLines);

private:
    std::filesystem::path m_root;
    ScopedEnv m_env;
};

} // namespace qm::test
