#pragma once

#include <filesystem>
#include <string_view>

namespace qm::test {

// A new, empty folder of its own below the build's test folder, made with mkdtemp, so tests
// running at the same time (ctest -j, rows of one table, several processes) never share one.
// `label` only makes the name readable. The folder and what it holds are removed when the
// process ends; each ctest case runs in a process of its own.
std::filesystem::path ScratchDir(std::string_view label = "scratch");

} // namespace qm::test
