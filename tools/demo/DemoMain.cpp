// quillmere-demo MONITOR [ARGS...]: a private Dovecot on loopback with a generated mailbox, a
// data folder with that account, the demo's anti-spam lists and the check switched on, and the
// monitor started on it with --dir. When the monitor ends, the server stops and the folder goes.
#include "DemoMailbox.h"
#include "DovecotServer.h"

#include "settings/FilterList.h"
#include "settings/PasswordScrambler.h"
#include "settings/SettingsFile.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

volatile std::sig_atomic_t g_monitor = 0;

// Ending the demo ends the monitor; the demo then cleans up after it.
void forwardSignal(int signal) {
    if (g_monitor > 0) {
        ::kill(static_cast<pid_t>(g_monitor), signal);
    }
}

fs::path makeDemoFolder() {
    std::string pattern = (fs::temp_directory_path() / "quillmere-demo-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create the demo folder");
    }
    return pattern;
}

void writeDemoSettings(const fs::path& folder, const qm::test::DovecotServer& server) {
    qm::SettingsData data;
    data.main.Interval = 2;
    data.main.Executing = true;
    data.main.CheckNewVersion = false;
    data.main.Notify = true;
    qm::Account account;
    account.POP3 = "127.0.0.1";
    account.Port = server.Pop3Port();
    account.AccountName = server.User();
    account.AccountPassword = qm::ScramblePassword(server.Password());
    account.TimeOut = 30;
    data.accounts.push_back(qm::ToAccountRow(account));
    std::string error;
    if (!qm::SaveSettings(folder / "quillmere.ini", data, &error)) {
        throw std::runtime_error("cannot write the demo settings: " + error);
    }
    qm::FilterList senders;
    senders.Add(qm::demo::kSpamMask);
    qm::FilterList subjects;
    if (!qm::SaveFilterList(senders, folder / qm::kAntiSpamListFile).ok ||
        !qm::SaveFilterList(subjects, folder / qm::kAntiSpamSubjListFile).ok) {
        throw std::runtime_error("cannot write the demo lists");
    }
}

int runMonitor(const std::vector<std::string>& command) {
    const pid_t child = ::fork();
    if (child < 0) {
        throw std::runtime_error("cannot start the monitor");
    }
    if (child == 0) {
        std::vector<char*> argv;
        for (const std::string& arg : command) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        std::cerr << "quillmere-demo: cannot run " << command.front() << '\n';
        ::_exit(127);
    }
    g_monitor = child;
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    g_monitor = 0;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: quillmere-demo MONITOR [ARGS...]\n";
        return 2;
    }
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction action {};
        action.sa_handler = forwardSignal;
        ::sigemptyset(&action.sa_mask);
        ::sigaction(signal, &action, nullptr);
    }
    fs::path folder;
    int code = 1;
    try {
        qm::test::DovecotServer server;
        for (const std::string& message : qm::demo::DemoMessages(server.User() + "@localhost")) {
            server.AddMessage(message);
        }
        folder = makeDemoFolder();
        writeDemoSettings(folder, server);
        std::cout << "Demo mailbox: " << server.MessagesOnDisk() << " messages (" << qm::demo::DemoSpamCount()
                  << " of them spam from " << qm::demo::kSpamSender << ") for " << server.User()
                  << " on 127.0.0.1:" << server.Pop3Port() << '\n'
                  << "Demo mail folder: " << server.Folder() << "/home/Maildir\n"
                  << "Demo data folder: " << folder.string() << '\n'
                  << "End the monitor (menu File, Exit) to stop the demo server and remove both folders.\n"
                  << std::flush;
        std::vector<std::string> command(argv + 1, argv + argc);
        command.push_back("--dir");
        command.push_back(folder.string());
        code = runMonitor(command);
    } catch (const std::exception& e) {
        std::cerr << "quillmere-demo: " << e.what() << '\n';
    }
    if (!folder.empty()) {
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
    std::cout << "Demo ended; the demo server is stopped and its folders are removed.\n" << std::flush;
    return code;
}
