#include "platform/Environment.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace qm {

EnvLookup SystemEnvironment() {
    return [](const std::string& name) -> std::optional<std::string> {
        const char* value = std::getenv(name.c_str());
        if (value == nullptr)
            return std::nullopt;
        return std::string(value);
    };
}

std::string HomeDirectory(const EnvLookup& env) {
    if (env) {
        if (auto home = env("HOME"); home && !home->empty())
            return *home;
    }
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    if (size <= 0 || size > (1 << 20))
        size = 16384;
    std::vector<char> buffer(static_cast<std::size_t>(size));
    passwd entry{};
    passwd* result = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 && result != nullptr &&
        result->pw_dir != nullptr)
        return result->pw_dir;
    return {};
}

} // namespace qm
