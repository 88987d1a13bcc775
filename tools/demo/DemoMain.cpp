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

// The demo's second mailbox, checked over IMAP: the same mail, every third message already read
// on "another device", so the check counts it and judges only the rest.
int addImapMailbox(qm::test::DovecotServer& server) {
    const int user = server.AddUser();
    const auto messages = qm::demo::DemoMessages(server.UserName(user) + "@localhost");
    for (std::size_t i = 0; i < messages.size(); ++i) {
        server.AddMessage(messages[i], user, i % 3 == 2);
    }
    return user;
}

qm::AccountRow demoAccount(const qm::test::DovecotServer& server, int user, int port) {
    qm::Account account;
    account.POP3 = "127.0.0.1";
    account.Port = port;
    account.AccountName = server.UserName(user);
    account.AccountPassword = qm::ScramblePassword(server.Password());
    account.TimeOut = 30;
    return qm::ToAccountRow(account);
}

void writeDemoSettings(const fs::path& folder, const qm::test::DovecotServer& server, int imapUser) {
    qm::SettingsData data;
    data.main.Interval = 2;
    data.main.Executing = true;
    data.main.CheckNewVersion = false;
    data.main.Notify = true;
    data.accounts.push_back(demoAccount(server, 0, server.Pop3Port()));
    qm::AccountRow imap = demoAccount(server, imapUser, server.ImapPort());
    imap.Protocol = "1"; // spam goes to the server's junk folder
    data.accounts.push_back(imap);
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
        const int imapUser = addImapMailbox(server);
        folder = makeDemoFolder();
        writeDemoSettings(folder, server, imapUser);
        std::cout << "Demo mailbox: " << server.MessagesOnDisk() << " messages (" << qm::demo::DemoSpamCount()
                  << " of them spam from " << qm::demo::kSpamSender << ") for " << server.User()
                  << " on 127.0.0.1:" << server.Pop3Port() << " (POP3)\n"
                  << "The same mail for " << server.UserName(imapUser) << " on 127.0.0.1:" << server.ImapPort()
                  << " (IMAP), a third of it already read; its spam goes to the Junk folder\n"
                  << "Demo mail folders: " << server.Folder() << '\n'
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
