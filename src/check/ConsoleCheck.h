#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace qm {

// Exit codes of the console checker.
enum ConsoleExit : int {
    kExitNews = 0,      // the check found news
    kExitNoNews = 1,    // the check ran and found none
    kExitCannotRun = 2, // missing or unreadable settings, bad arguments
    kExitNotWritten = 3, // a deletion record or a noticed message could not be written
};

// The help text of quillmere-check.
std::string ConsoleUsage();

// quillmere-check: one check of every enabled account with the settings and lists in the data
// folder (--dir DIR, else the folder of `executable`), status lines and the summary on out,
// one line per failed account on err. Returns the exit code.
// workersLeft, when given, tells whether a worker thread was still running at the end (the
// caller then leaves without running static destructors under it).
int RunConsoleCheck(const std::vector<std::string>& args, const std::filesystem::path& executable, std::ostream& out,
                    std::ostream& err, bool* workersLeft = nullptr);

// An error text on one line: line breaks become single blanks, blanks trimmed at both ends.
std::string OneLine(const std::string& text);

} // namespace qm
