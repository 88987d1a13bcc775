// The desktop's default mail handler: xdg-mime's default for x-scheme-handler/mailto, located
// through the XDG Base Directory data dirs and read from its Desktop Entry file.
#include "platform/MailHandler.h"

#include "platform/DesktopEntry.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

extern char** environ;

namespace qm {

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kMaxDesktopIdLength = 255;
constexpr std::size_t kMaxIdDashes = 12;
constexpr std::size_t kMaxQueryOutput = 64 * 1024;
// xdg-mime is a shell script that may ask the desktop; it answers at once or never.
constexpr std::chrono::seconds kQueryTimeLimit{5};

bool isRegularFile(const fs::path& p) {
    std::error_code ec;
    return fs::is_regular_file(p, ec);
}

bool isDirectory(const fs::path& p) {
    std::error_code ec;
    return fs::is_directory(p, ec);
}

// A file id "a-b-c.desktop" may also live at a/b-c.desktop, a-b/c.desktop or a/b/c.desktop below
// applications/; the direct name is tried first, then each dash as a folder separator.
std::optional<fs::path> findBelow(const fs::path& dir, const std::string& rest) {
    if (isRegularFile(dir / rest))
        return dir / rest;
    for (std::size_t dash = rest.find('-'); dash != std::string::npos; dash = rest.find('-', dash + 1)) {
        const std::string segment = rest.substr(0, dash);
        if (segment.empty() || segment == "." || segment == ".." || !isDirectory(dir / segment))
            continue;
        if (auto found = findBelow(dir / segment, rest.substr(dash + 1)))
            return found;
    }
    return std::nullopt;
}

// Runs xdg-mime with output and time bounded; nullopt when it cannot run, fails or overruns.
std::optional<std::string> runXdgMimeQuery() {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return std::nullopt;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    char arg0[] = "xdg-mime";
    char arg1[] = "query";
    char arg2[] = "default";
    char arg3[] = "x-scheme-handler/mailto";
    char* argv[] = {arg0, arg1, arg2, arg3, nullptr};
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, "xdg-mime", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (spawned != 0) {
        ::close(pipeFds[0]);
        return std::nullopt;
    }

    std::string output;
    bool complete = false;
    const auto deadline = std::chrono::steady_clock::now() + kQueryTimeLimit;
    while (output.size() <= kMaxQueryOutput) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        pollfd pfd{pipeFds[0], POLLIN, 0};
        const int ready = ::poll(&pfd, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            break;
        char buffer[4096];
        const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            complete = n == 0;
            break;
        }
        output.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(pipeFds[0]);
    if (!complete)
        ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!complete || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return output;
}

void appendAbsoluteDirs(std::vector<fs::path>& dirs, std::string_view list) {
    while (true) {
        const std::size_t colon = list.find(':');
        const fs::path dir(list.substr(0, colon));
        if (dir.is_absolute())
            dirs.push_back(dir);
        if (colon == std::string_view::npos)
            break;
        list.remove_prefix(colon + 1);
    }
}

} // namespace

std::vector<fs::path> XdgDataDirs(const EnvLookup& env) {
    std::vector<fs::path> dirs;
    const auto dataHome = env ? env("XDG_DATA_HOME") : std::nullopt;
    if (dataHome && !dataHome->empty() && fs::path(*dataHome).is_absolute()) {
        dirs.emplace_back(*dataHome);
    } else if (const std::string home = HomeDirectory(env); !home.empty()) {
        dirs.push_back(fs::path(home) / ".local" / "share");
    }
    const auto dataDirs = env ? env("XDG_DATA_DIRS") : std::nullopt;
    appendAbsoluteDirs(dirs, dataDirs && !dataDirs->empty() ? std::string_view(*dataDirs)
                                                            : std::string_view("/usr/local/share/:/usr/share/"));
    return dirs;
}

MailHandlerLookup SystemMailHandlerLookup() {
    return {runXdgMimeQuery, XdgDataDirs(SystemEnvironment())};
}

std::optional<fs::path> FindDesktopFile(std::string_view desktopId, const std::vector<fs::path>& dataDirs) {
    constexpr std::string_view suffix = ".desktop";
    if (desktopId.size() <= suffix.size() || desktopId.size() > kMaxDesktopIdLength || !desktopId.ends_with(suffix) ||
        desktopId.find_first_of(std::string_view("/\0", 2)) != std::string_view::npos || desktopId.front() == '.')
        return std::nullopt;
    const std::string id(desktopId);
    std::size_t dashes = 0;
    for (char c : id)
        dashes += c == '-' ? 1 : 0;
    for (const auto& dir : dataDirs) {
        const fs::path applications = dir / "applications";
        if (dashes > kMaxIdDashes) {
            if (isRegularFile(applications / id))
                return applications / id;
            continue;
        }
        if (auto found = findBelow(applications, id))
            return found;
    }
    return std::nullopt;
}

std::string ExecProgramName(std::string_view exec) {
    const auto args = SplitExecLine(exec);
    if (!args || args->empty())
        return {};
    const std::string& first = args->front();
    std::string program;
    for (std::size_t i = 0; i < first.size(); ++i) {
        if (first[i] != '%') {
            program += first[i];
        } else if (i + 1 < first.size()) {
            if (first[i + 1] == '%')
                program += '%';
            ++i;
        }
    }
    const std::size_t slash = program.rfind('/');
    return slash == std::string::npos ? program : program.substr(slash + 1);
}

std::string DefaultMailHandler(const MailHandlerLookup& lookup) {
    if (!lookup.queryDefault)
        return {};
    const auto output = lookup.queryDefault();
    if (!output)
        return {};
    // One desktop file id on the first line; some setups list several, separated by ';'.
    std::string_view id(*output);
    id = id.substr(0, id.find_first_of("\r\n;"));
    while (!id.empty() && (id.front() == ' ' || id.front() == '\t'))
        id.remove_prefix(1);
    while (!id.empty() && (id.back() == ' ' || id.back() == '\t'))
        id.remove_suffix(1);
    const auto file = FindDesktopFile(id, lookup.dataDirs);
    if (!file)
        return {};
    const auto exec = DesktopEntryFileValue(*file, "Exec");
    if (!exec)
        return {};
    return ExecProgramName(*exec);
}

std::string DefaultMailHandler() {
    return DefaultMailHandler(SystemMailHandlerLookup());
}

} // namespace qm
