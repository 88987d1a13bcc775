#include "DesktopStandIns.h"

#include "AppTestSupport.h"

#include <QtGlobal>

#include <filesystem>
#include <sstream>

namespace qm::test {

namespace fs = std::filesystem;

ScopedEnv::~ScopedEnv() {
    for (const auto& [name, value] : m_saved) {
        if (value) {
            qputenv(name.c_str(), *value);
        } else {
            qunsetenv(name.c_str());
        }
    }
}

void ScopedEnv::remember(const char* name) {
    if (m_saved.count(name) == 0) {
        m_saved[name] = qEnvironmentVariableIsSet(name) ? std::optional<QByteArray>(qgetenv(name)) : std::nullopt;
    }
}

void ScopedEnv::set(const char* name, const std::string& value) {
    remember(name);
    qputenv(name, QByteArray::fromStdString(value));
}

void ScopedEnv::unset(const char* name) {
    remember(name);
    qunsetenv(name);
}

StandInDesktop::StandInDesktop(const fs::path& root) : m_root(root) {
    for (const char* dir : {"cfg", "data/applications", "bin", "logs"}) {
        fs::create_directories(root / dir);
    }
    m_env.set("XDG_CONFIG_HOME", (root / "cfg").string());
    m_env.set("XDG_CONFIG_DIRS", (root / "cfg").string());
    m_env.set("XDG_DATA_HOME", (root / "data").string());
    m_env.set("XDG_DATA_DIRS", (root / "data").string());
    m_env.set("PATH", (root / "bin").string() + ":/usr/bin:/bin");
    m_env.unset("XDG_CURRENT_DESKTOP");
    m_env.unset("DESKTOP_SESSION");
    m_env.unset("KDE_FULL_SESSION");
    m_env.unset("GNOME_DESKTOP_SESSION_ID");
    // With no handler registered for web addresses, xdg-open hands them to $BROWSER.
    m_env.set("BROWSER", addProgram("browser").string());
}

fs::path StandInDesktop::addProgram(const std::string& name, bool executable) {
    const fs::path program = m_root / "bin" / name;
    const fs::path log = m_root / "logs" / (name + ".log");
    writeFile(program, "#!/bin/sh\nprintf '%s\\n' \"${1:--}\" >> '" + log.string() + "'\n");
    fs::permissions(program, executable ? fs::perms::owner_all : fs::perms::owner_read | fs::perms::owner_write);
    return program;
}

std::vector<std::string> StandInDesktop::runs(const std::string& name) const {
    std::istringstream in(readFile(m_root / "logs" / (name + ".log")));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

void StandInDesktop::setMailHandler(const std::string& desktopId, const std::string& desktopFileLines) {
    writeFile(m_root / "cfg" / "mimeapps.list", "[Default Applications]\nx-scheme-handler/mailto=" + desktopId + "\n");
    writeFile(m_root / "data" / "applications" / desktopId,
              "[Desktop Entry]\nType=Application\nName=Mail\n" + desktopFileLines + "\n");
}

} // namespace qm::test
