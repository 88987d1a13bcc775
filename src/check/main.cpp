#include "check/ConsoleCheck.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

int main(int argc, char** argv) {
    // A server that drops the connection must end a session, not the program.
    std::signal(SIGPIPE, SIG_IGN);
    std::vector<std::string> args(argv + 1, argv + argc);
    std::error_code ec;
    std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) {
        executable = std::filesystem::absolute(argc > 0 ? argv[0] : "quillmere-check", ec);
    }
    bool workersLeft = false;
    const int code = qm::RunConsoleCheck(args, executable, std::cout, std::cerr, &workersLeft);
    if (workersLeft) {
        // A session thread is still winding down: leave without tearing down what it may use.
        std::cout.flush();
        std::cerr.flush();
        std::_Exit(code);
    }
    return code;
}
