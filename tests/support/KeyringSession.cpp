#include "KeyringSession.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>

namespace qm::test {

namespace {

// Runs a shell command; its stdout, and whether it exited with 0.
std::optional<std::string> Output(const std::string& command) {
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return std::nullopt;
    }
    std::string out;
    char buffer[512];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        out.append(buffer, n);
    }
    const int status = pclose(pipe);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return std::nullopt;
    }
    return out;
}

} // namespace

std::string KeyringAttributes(const std::string& server, int port, const std::string& user,
                              const std::string& protocol) {
    return "xdg:schema org.quillmere.Quillmere32.Password server '" + server + "' port " + std::to_string(port) +
           " user '" + user + "' protocol " + protocol;
}

std::string StartKeyringLines(const std::filesystem::path& root) {
    const std::filesystem::path home = root / "keyring-home";
    const std::filesystem::path runtime = root / "keyring-run";
    std::filesystem::create_directories(home);
    std::filesystem::create_directories(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    return "printf testpw | HOME='" + home.string() + "' XDG_RUNTIME_DIR='" + runtime.string() +
           "' gnome-keyring-daemon --unlock --components=secrets >/dev/null 2>&1\n"
           "for i in $(seq 200); do\n"
           "  gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus"
           " --method org.freedesktop.DBus.NameHasOwner org.freedesktop.secrets | grep -q true && break\n"
           "  sleep 0.05\ndone\n";
}

bool StartTestKeyring(const std::filesystem::path& root) {
    const std::string lines = StartKeyringLines(root);
    const std::filesystem::path script = root / "start-keyring.sh";
    if (FILE* f = std::fopen(script.c_str(), "w")) {
        std::fwrite(lines.data(), 1, lines.size(), f);
        std::fclose(f);
    }
    return std::system(("sh '" + script.string() + "'").c_str()) == 0 &&
           Output("gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus --method "
                  "org.freedesktop.DBus.NameHasOwner org.freedesktop.secrets | grep -q true")
               .has_value();
}

std::optional<std::string> KeyringLookup(const std::string& attributes) {
    return Output("secret-tool lookup " + attributes + " 2>/dev/null");
}

std::string KeyringSearch(const std::string& attributes) {
    return Output("secret-tool search --all " + attributes + " 2>&1").value_or("");
}

bool KeyringPlant(const std::string& attributes, const std::string& secret) {
    return Output("printf '%s' '" + secret + "' | secret-tool store --label=planted " + attributes).has_value();
}

} // namespace qm::test
