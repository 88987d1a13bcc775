// bench_mailbox_server MESSAGES[xCOPIES]...: a private Dovecot on loopback holding one mailbox of
// MESSAGES generated messages per argument (COPIES mailboxes of that size with "x", sharing the
// message files), each for a user of its own, every message unseen. Prints the POP3 port, the IMAP
// port, the server's log file and the users, then "ready", and serves until its input ends or it
// gets SIGINT or SIGTERM; then the server stops and its folder is removed.
#include "BenchMailbox.h"
#include "DovecotServer.h"

#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <exception>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void stopServing(int) {
    g_stop = 1;
}

struct MailboxShape {
    int messages = 0;
    int copies = 1;
};

// "2000" or "2000x20"; nullopt for anything else.
std::optional<MailboxShape> parseShape(const std::string& arg) {
    MailboxShape shape;
    std::size_t used = 0;
    try {
        shape.messages = std::stoi(arg, &used);
        if (used < arg.size()) {
            if (arg[used] != 'x') {
                return std::nullopt;
            }
            const std::string copies = arg.substr(used + 1);
            shape.copies = std::stoi(copies, &used);
            if (used != copies.size()) {
                return std::nullopt;
            }
        }
    } catch (const std::exception&) {
        return std::nullopt;
    }
    if (shape.messages < 0 || shape.messages > 1000000 || shape.copies < 1 || shape.copies > 1000) {
        return std::nullopt;
    }
    return shape;
}

// Blocks until the input ends or a stop signal arrives.
void waitForStop() {
    char buffer[256];
    while (g_stop == 0) {
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got == 0 || (got < 0 && errno != EINTR)) {
            return;
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    std::vector<MailboxShape> shapes;
    for (int i = 1; i < argc; ++i) {
        const std::optional<MailboxShape> shape = parseShape(argv[i]);
        if (!shape) {
            std::cerr << "usage: bench_mailbox_server MESSAGES[xCOPIES]...  (e.g. 500 2000x20)\n";
            return 2;
        }
        shapes.push_back(*shape);
    }
    if (shapes.empty()) {
        shapes.push_back(MailboxShape{2000, 1});
    }
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction action {};
        action.sa_handler = stopServing; // no SA_RESTART: the blocked read returns
        ::sigemptyset(&action.sa_mask);
        ::sigaction(signal, &action, nullptr);
    }
    try {
        qm::test::DovecotServer server;
        std::cout << "port " << server.Pop3Port() << '\n'
                  << "imap " << server.ImapPort() << '\n'
                  << "log " << server.Folder() << "/dovecot.log" << std::endl;
        bool first = true;
        for (const MailboxShape& shape : shapes) {
            int original = -1;
            for (int copy = 0; copy < shape.copies && g_stop == 0; ++copy) {
                const int user = first ? 0 : server.AddUser();
                first = false;
                if (original < 0) {
                    for (int serial = 1; serial <= shape.messages; ++serial) {
                        server.AddMessage(qm::bench::BenchMessage(serial, "team@example.org"), user);
                    }
                    original = user;
                } else {
                    server.CopyMessages(original, user);
                }
                std::cout << "mailbox " << server.UserName(user) << ' ' << server.Password() << ' ' << shape.messages
                          << '\n'
                          << std::flush;
            }
        }
        std::cout << "ready" << std::endl;
        waitForStop();
    } catch (const std::exception& e) {
        std::cerr << "bench_mailbox_server: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
