#pragma once

#include <functional>
#include <optional>
#include <string>

namespace qm {

// Looks an environment variable up; nullopt when it is not set. Platform functions take one so
// tests can pass their own values instead of the process environment.
using EnvLookup = std::function<std::optional<std::string>(const std::string& name)>;

// The process environment.
EnvLookup SystemEnvironment();

// $HOME, or the user database's home directory when HOME is unset or empty.
std::string HomeDirectory(const EnvLookup& env);

} // namespace qm
