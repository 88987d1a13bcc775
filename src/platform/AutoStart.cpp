// XDG Autostart: an application entry in <config dir>/autostart is started with the session.
#include "platform/AutoStart.h"

#include "platform/DesktopEntry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>
#include <system_error>
#include <vector>

namespace qm {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kEntryName = "quillmere.desktop";

// Characters that force an Exec argument into double quotes.
constexpr std::string_view kReservedInExec = " \t\n\"'\\><~|&;$*?#()`";

bool usableConfigDir(const fs::path& configDir) {
    return !configDir.empty() && configDir.is_absolute();
}

// The argument with its field codes resolved: "%%" is a literal percent sign; any other field code
// means the command is not the bare executable, so no match is possible.
std::optional<std::string> withoutFieldCodes(std::string_view arg) {
    std::string out;
    for (std::size_t i = 0; i < arg.size(); ++i) {
        if (arg[i] != '%') {
            out += arg[i];
            continue;
        }
        if (i + 1 < arg.size() && arg[i + 1] == '%') {
            out += '%';
            ++i;
            continue;
        }
        return std::nullopt;
    }
    return out;
}

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Writes the text to a temporary file beside the target and renames it over the target, so the
// entry is either the old one or the complete new one.
bool writeFileAtomically(const fs::path& target, std::string_view text) {
    // Built by appending: GCC 12 at -O3 flags the prepend of `"." + string` with a false -Wrestrict.
    std::string leaf = ".";
    leaf += target.filename().string();
    leaf += ".XXXXXX";
    const std::string pattern = (target.parent_path() / leaf).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0)
        return false;
    bool ok = ::fchmod(fd, 0644) == 0 && writeAll(fd, text) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok)
        ok = ::rename(name.data(), target.c_str()) == 0;
    if (!ok)
        ::unlink(name.data());
    return ok;
}

} // namespace

fs::path ConfigHome(const EnvLookup& env) {
    if (env) {
        if (auto dir = env("XDG_CONFIG_HOME"); dir && !dir->empty() && fs::path(*dir).is_absolute())
            return fs::path(*dir);
    }
    const std::string home = HomeDirectory(env);
    if (home.empty())
        return {};
    return fs::path(home) / ".config";
}

fs::path AutoStartEntryPath(const fs::path& configDir) {
    return configDir / "autostart" / kEntryName;
}

std::string ExecValueFor(const AutoStartCommand& command) {
    std::string exec;
    for (const std::string& arg : command) {
        if (!exec.empty())
            exec += ' ';
        const bool quote = arg.empty() || arg.find_first_of(kReservedInExec) != std::string::npos;
        if (quote)
            exec += '"';
        for (char c : arg) {
            if (quote && (c == '"' || c == '`' || c == '$' || c == '\\'))
                exec += '\\';
            if (c == '%')
                exec += '%';
            exec += c;
        }
        if (quote)
            exec += '"';
    }
    return EscapeDesktopValue(exec);
}

std::string ExecValueFor(const std::string& exePath) {
    return ExecValueFor(AutoStartCommand{exePath});
}

bool IsAutoStartRegistered(const AutoStartCommand& command, const fs::path& configDir) {
    if (command.empty() || command.front().empty() || !usableConfigDir(configDir))
        return false;
    const auto exec = DesktopEntryFileValue(AutoStartEntryPath(configDir), "Exec");
    if (!exec)
        return false;
    const auto args = SplitExecLine(*exec);
    if (!args || args->size() != command.size())
        return false;
    for (std::size_t i = 0; i < command.size(); ++i) {
        const auto arg = withoutFieldCodes((*args)[i]);
        if (!arg || *arg != command[i])
            return false;
    }
    return true;
}

bool SetAutoStart(bool enabled, const AutoStartCommand& command, const fs::path& configDir) {
    if (!usableConfigDir(configDir))
        return false;
    const fs::path entry = AutoStartEntryPath(configDir);
    std::error_code ec;
    if (enabled) {
        if (!command.empty() && !command.front().empty()) {
            fs::create_directories(entry.parent_path(), ec);
            if (!ec) {
                const std::string text = "[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Name=Quillmere32\n"
                                         "Comment=E-mail checker\n"
                                         "Exec=" +
                                         ExecValueFor(command) +
                                         "\n"
                                         "Terminal=false\n"
                                         "X-GNOME-Autostart-enabled=true\n";
                writeFileAtomically(entry, text);
            }
        }
    } else {
        fs::remove(entry, ec);
    }
    return IsAutoStartRegistered(command, configDir);
}

bool IsAutoStartRegistered(const std::string& exePath, const fs::path& configDir) {
    return IsAutoStartRegistered(AutoStartCommand{exePath}, configDir);
}

bool SetAutoStart(bool enabled, const std::string& exePath, const fs::path& configDir) {
    return SetAutoStart(enabled, AutoStartCommand{exePath}, configDir);
}

bool IsAutoStartRegistered(const std::string& exePath) {
    return IsAutoStartRegistered(exePath, ConfigHome(SystemEnvironment()));
}

bool SetAutoStart(bool enabled, const std::string& exePath) {
    return SetAutoStart(enabled, exePath, ConfigHome(SystemEnvironment()));
}

} // namespace qm
