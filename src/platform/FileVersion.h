#pragma once

#include <string>

namespace qm {

// The program's version, "2.6.0.0", compiled in from the project version.
const char* ProgramVersion();

// The version text of an executable file: the program's version for this process's own
// executable (the same file under any name or link), "0.0.0.0" for any other file.
std::string FileVersionOf(const std::string& path);

// Full path of this process's executable; empty when it cannot be found.
std::string OwnExecutablePath();

} // namespace qm
