#pragma once

// quillmere-check from outside: the binary copied into a folder of its own, run by the shell,
// its stdout, stderr and exit status checked against a fake POP3 server on loopback.
#include "FakePop3Server.h"
#include "ScratchDir.h"
#include "TestPaths.h"
#include "settings/PasswordScrambler.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace qm::test {

namespace fs = std::filesystem;

inline std::string ReadAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void WriteAll(const fs::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
}

inline std::vector<std::string> Listing(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

struct Result {
    int code = -1;
    std::string out;
    std::string err;
};

class ConsoleCheck : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = ScratchDir("check-blackbox");
        m_app = m_root / "app";
        m_elsewhere = m_root / "elsewhere";
        fs::create_directories(m_app);
        fs::create_directories(m_elsewhere);
        fs::copy_file(fs::path(QM_BUILD_DIR) / "quillmere-check", m_app / "quillmere-check");
    }

    // Runs the copied binary from `cwd` (default: a folder that is not the program's).
    Result Run(const std::string& args, const fs::path& cwd = {}) {
        const std::string run = std::to_string(m_runs++); // checks may run at the same time
        const fs::path out = m_root / ("stdout" + run + ".txt");
        const fs::path err = m_root / ("stderr" + run + ".txt");
        const std::string command = "cd '" + (cwd.empty() ? m_elsewhere : cwd).string() + "' && LC_ALL=C " + m_launcher + " '" +
                                    (m_app / "quillmere-check").string() + "' " + args + " >'" + out.string() +
                                    "' 2>'" + err.string() + "'";
        const int status = std::system(command.c_str());
        Result r;
        r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = ReadAll(out);
        r.err = ReadAll(err);
        fs::remove(out);
        fs::remove(err);
        return r;
    }

    static std::string Ini(const std::string& main, const std::vector<std::string>& accounts) {
        std::string text = "[Main]\r\nInterval=5\r\nLanguage=EN\r\n" + main;
        for (std::size_t i = 0; i < accounts.size(); ++i) {
            text += "[Settings" + std::to_string(i + 1) + "]\r\n" + accounts[i];
        }
        return text;
    }

    static std::string Account(int port, const std::string& password = "secret", bool disabled = false) {
        return "POP3=127.0.0.1\r\nAccountName=user\r\nAccountPassword=" + ScramblePassword(password) +
               "\r\nPort=" + std::to_string(port) + "\r\nTimeOut=20\r\nDisabled=" + (disabled ? "1" : "0") + "\r\n";
    }

    static std::string Msg(const std::string& from, const std::string& subject = "s") {
        return "From: " + from + "\r\nSubject: " + subject + "\r\nDate: Mon, 3 Jun 2024 10:00:00 +0000\r\n\r\nbody\r\n";
    }

    static FakeMailbox Box(std::vector<std::string> messages) {
        FakeMailbox mb;
        mb.messages = std::move(messages);
        return mb;
    }

    fs::path m_root;
    fs::path m_app;
    fs::path m_elsewhere;
    std::string m_launcher; // a command line the binary is run under ("" for none)
    std::atomic<int> m_runs{0};
};

} // namespace qm::test
