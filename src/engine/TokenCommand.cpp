#include "engine/TokenCommand.h"

#include "text/AsciiText.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

extern char** environ;

namespace qm {

namespace {

// Enough for any error line a helper prints; the rest of its standard error is read and dropped.
constexpr std::size_t kMaxErrorLine = 512;

using Clock = std::chrono::steady_clock;

void closeFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

// Both ends close on exec, so no other command or session inherits them.
bool makePipe(int fds[2]) {
    return ::pipe2(fds, O_CLOEXEC) == 0;
}

std::string firstLine(const std::string& text) {
    const std::size_t end = text.find('\n');
    return std::string(TrimControls(std::string_view(text).substr(0, end)));
}

// The b64token characters a bearer token is made of (RFC 6750): 1*( ALPHA / DIGIT / "-" / "." /
// "_" / "~" / "+" / "/" ) *"=".
bool IsBearerToken(std::string_view token) {
    std::size_t at = 0;
    const auto isTokenChar = [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
               c == '_' || c == '~' || c == '+' || c == '/';
    };
    while (at < token.size() && isTokenChar(token[at])) {
        ++at;
    }
    if (at == 0) {
        return false;
    }
    while (at < token.size() && token[at] == '=') {
        ++at;
    }
    return at == token.size();
}

class Spawned {
public:
    ~Spawned() {
        closeFd(out);
        closeFd(err);
        closeFd(pidFd);
        if (pid > 0) {
            killGroup();
            reap();
        }
    }
    // The command itself too, in case it has left its group: reaping it must not wait.
    void killGroup() const {
        ::kill(-pid, SIGKILL);
        ::kill(pid, SIGKILL);
    }
    int reap() {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        pid = -1;
        return status;
    }

    pid_t pid = -1;
    int out = -1;
    int err = -1;
    int pidFd = -1;
};

std::string withErrorLine(std::string text, const std::string& errorLine) {
    if (errorLine.empty()) {
        return text + ".";
    }
    return text + ": " + errorLine;
}

} // namespace

std::vector<std::string> SplitCommandLine(std::string_view line) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    std::size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            if (inWord) {
                words.push_back(std::move(word));
                word.clear();
                inWord = false;
            }
            ++i;
            continue;
        }
        inWord = true;
        if (c == '\\') {
            if (i + 1 < line.size() && line[i + 1] != '\n') {
                word += line[i + 1];
            }
            i += 2;
        } else if (c == '\'') {
            const std::size_t close = line.find('\'', i + 1);
            if (close == std::string_view::npos) {
                throw ETokenCommandError("Token command: a quote is not closed.");
            }
            word.append(line.substr(i + 1, close - i - 1));
            i = close + 1;
        } else if (c == '"') {
            ++i;
            for (;;) {
                if (i >= line.size()) {
                    throw ETokenCommandError("Token command: a quote is not closed.");
                }
                const char d = line[i];
                if (d == '"') {
                    ++i;
                    break;
                }
                if (d == '\\' && i + 1 < line.size() && std::strchr("\\\"$`\n", line[i + 1]) != nullptr) {
                    if (line[i + 1] != '\n') {
                        word += line[i + 1];
                    }
                    i += 2;
                    continue;
                }
                word += d;
                ++i;
            }
        } else {
            word += c;
            ++i;
        }
    }
    if (inWord) {
        words.push_back(std::move(word));
    }
    if (words.empty()) {
        throw ETokenCommandError("Token command: no command is set.");
    }
    return words;
}

TTokenCommand::TTokenCommand() {
    int fds[2];
    if (makePipe(fds)) {
        m_wakeRead = fds[0];
        m_wakeWrite = fds[1];
    }
}

TTokenCommand::~TTokenCommand() {
    closeFd(m_wakeRead);
    closeFd(m_wakeWrite);
}

void TTokenCommand::Abort() {
    const std::lock_guard lock(m_mutex);
    m_aborted = true;
    if (m_wakeWrite >= 0) {
        const char byte = 1;
        [[maybe_unused]] const auto ignored = ::write(m_wakeWrite, &byte, 1);
    }
}

std::string TTokenCommand::Run(std::string_view commandLine, int timeoutMs) {
    const std::vector<std::string> words = SplitCommandLine(commandLine);
    if (timeoutMs <= 0) {
        timeoutMs = kDefaultTimeoutMs;
    }
    {
        const std::lock_guard lock(m_mutex);
        if (m_aborted || m_wakeRead < 0) {
            throw ETokenCommandError("Token command stopped.");
        }
    }

    int outPipe[2];
    int errPipe[2];
    if (!makePipe(outPipe)) {
        throw ETokenCommandError(std::string("Token command could not be started: ") + std::strerror(errno) + ".");
    }
    if (!makePipe(errPipe)) {
        const int error = errno;
        ::close(outPipe[0]);
        ::close(outPipe[1]);
        throw ETokenCommandError(std::string("Token command could not be started: ") + std::strerror(error) + ".");
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // A group of its own, so a time-out ends whatever the command started as well.
    posix_spawnattr_setpgroup(&attributes, 0);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF);

    std::vector<char*> argv;
    for (const std::string& word : words) {
        argv.push_back(const_cast<char*>(word.c_str()));
    }
    argv.push_back(nullptr);

    Spawned child;
    const int spawnError = ::posix_spawnp(&child.pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    child.out = outPipe[0];
    child.err = errPipe[0];
    if (spawnError != 0) {
        child.pid = -1;
        throw ETokenCommandError("Token command could not be started: " + words.front() + ": " +
                                 std::strerror(spawnError) + ".");
    }
    child.pidFd = static_cast<int>(::syscall(SYS_pidfd_open, child.pid, 0));

    std::string output;
    std::string errorText;
    bool exited = false;
    int status = 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    auto readInto = [](int& fd, std::string& text, std::size_t keep) {
        char chunk[4096];
        const long n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
            return;
        }
        if (n <= 0) {
            closeFd(fd);
            return;
        }
        if (text.size() <= keep) {
            text.append(chunk, std::min(static_cast<std::size_t>(n), keep - text.size() + 1));
        }
    };

    for (;;) {
        if (!exited) {
            const pid_t done = ::waitpid(child.pid, &status, WNOHANG);
            if (done == child.pid) {
                exited = true;
                child.pid = -1;
            }
        }
        // After the command has exited, what it wrote is in the pipes: read it without waiting
        // for programs it left running with the pipes open.
        if (exited && child.out < 0 && child.err < 0) {
            break;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            throw ETokenCommandError(
                withErrorLine("Token command did not finish within " + std::to_string((timeoutMs + 999) / 1000) + " s",
                              firstLine(errorText)));
        }
        pollfd fds[4];
        nfds_t count = 0;
        const int outIndex = child.out >= 0 ? static_cast<int>(count) : -1;
        if (child.out >= 0) {
            fds[count++] = {child.out, POLLIN, 0};
        }
        const int errIndex = child.err >= 0 ? static_cast<int>(count) : -1;
        if (child.err >= 0) {
            fds[count++] = {child.err, POLLIN, 0};
        }
        const int wakeIndex = static_cast<int>(count);
        fds[count++] = {m_wakeRead, POLLIN, 0};
        if (!exited && child.pidFd >= 0) {
            fds[count++] = {child.pidFd, POLLIN, 0};
        }
        // Without a process descriptor the exit is noticed by looking again now and then.
        int wait = static_cast<int>(left);
        if (exited) {
            wait = 0;
        } else if (child.pidFd < 0) {
            wait = std::min(wait, 20);
        }
        const int ready = ::poll(fds, count, wait);
        if (ready < 0 && errno != EINTR) {
            throw ETokenCommandError(std::string("Token command: ") + std::strerror(errno) + ".");
        }
        if (ready == 0 && exited) {
            break;
        }
        if (ready <= 0) {
            continue;
        }
        if (fds[wakeIndex].revents != 0) {
            throw ETokenCommandError("Token command stopped.");
        }
        if (outIndex >= 0 && fds[outIndex].revents != 0) {
            readInto(child.out, output, kMaxOutput);
            if (output.size() > kMaxOutput) {
                throw ETokenCommandError(withErrorLine("Token command printed more than 64 KiB", firstLine(errorText)));
            }
        }
        if (errIndex >= 0 && fds[errIndex].revents != 0) {
            readInto(child.err, errorText, kMaxErrorLine);
        }
    }

    const std::string errorLine = firstLine(errorText.substr(0, kMaxErrorLine));
    if (WIFSIGNALED(status)) {
        throw ETokenCommandError(
            withErrorLine("Token command ended by signal " + std::to_string(WTERMSIG(status)), errorLine));
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        throw ETokenCommandError(
            withErrorLine("Token command failed with exit status " + std::to_string(WEXITSTATUS(status)), errorLine));
    }
    std::string token = firstLine(output);
    if (token.empty()) {
        throw ETokenCommandError(withErrorLine("Token command printed no token", errorLine));
    }
    if (!IsBearerToken(token)) {
        // A control byte or a blank would forge fields of the sign-in response; the text never
        // shows what was printed.
        throw ETokenCommandError(
            withErrorLine("Token command printed no valid token (letters, digits, -._~+/ and a closing =)", errorLine));
    }
    return token;
}

} // namespace qm
