#pragma once

#include <filesystem>
#include <map>
#include <string>

#include "platform/Environment.h"

namespace qm::test {

// A fresh, empty folder for the running test, below the build's test-tmp folder.
std::filesystem::path FreshTestDir();

// Writes a file (creating its folders) with the given bytes.
void WriteFile(const std::filesystem::path& file, const std::string& text);
std::string ReadFile(const std::filesystem::path& file);

// An environment made of the given variables only.
EnvLookup FakeEnvironment(std::map<std::string, std::string> vars);

} // namespace qm::test
