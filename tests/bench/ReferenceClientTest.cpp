// The reference POP3 clients of the pipelining report against a real Dovecot holding mailboxes
// for several users: pipelined, the client reads exactly the replies it reads one command at a
// time, directly and behind the latency proxy, TOP and RETR; each user sees only their mailbox.
// The IMAP clients: one fetch reads the same unseen headers as one fetch per message.
#include "DovecotServer.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

namespace qm::test {
namespace {

const std::string kPython = "/usr/bin/python3";
const std::string kClient = QM_BENCH_DIR "/pop3_ref_client.py";
const std::string kImapClient = QM_BENCH_DIR "/imap_ref_client.py";
const std::string kProxy = QM_BENCH_DIR "/latency_proxy.py";

// A program run to its end: its exit status and standard output.
struct Finished {
    int status = -1;
    std::string out;
};

// A child process whose standard output is read through a pipe; stopped when it goes.
class Child {
public:
    explicit Child(const std::vector<std::string>& argv) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) {
            return;
        }
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(fds[1], STDOUT_FILENO);
            std::vector<char*> args;
            for (const std::string& a : argv) {
                args.push_back(const_cast<char*>(a.c_str()));
            }
            args.push_back(nullptr);
            ::execv(args[0], args.data());
            ::_exit(127);
        }
        ::close(fds[1]);
        m_out = fds[0];
    }
    ~Child() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            Finish();
        }
        if (m_out >= 0) {
            ::close(m_out);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // The first line written, without its line end.
    std::string ReadLine() {
        std::string line;
        char c = 0;
        while (::read(m_out, &c, 1) == 1 && c != '\n') {
            line += c;
        }
        return line;
    }
    Finished Finish() {
        Finished finished;
        char buffer[4096];
        for (ssize_t got; (got = ::read(m_out, buffer, sizeof buffer)) > 0;) {
            finished.out.append(buffer, static_cast<std::size_t>(got));
        }
        int status = 0;
        if (m_pid > 0 && ::waitpid(m_pid, &status, 0) == m_pid && WIFEXITED(status)) {
            finished.status = WEXITSTATUS(status);
        }
        m_pid = -1;
        return finished;
    }

private:
    pid_t m_pid = -1;
    int m_out = -1;
};

Finished RunClient(int port, const std::string& user, const std::string& password,
                   const std::vector<std::string>& options, const std::string& client = kClient) {
    std::vector<std::string> argv = {kPython, client, "127.0.0.1", std::to_string(port), user, password, "--digest"};
    argv.insert(argv.end(), options.begin(), options.end());
    return Child(argv).Finish();
}

TEST(ReferenceClient, PipelinedRepliesEqualThoseOfOneCommandAtATime) {
    DovecotServer dovecot;
    dovecot.AddMessages(40);
    Child proxy({kPython, kProxy, "127.0.0.1", std::to_string(dovecot.Pop3Port()), "--delay-ms", "1"});
    const std::string listening = proxy.ReadLine();
    ASSERT_EQ(listening.rfind("listening ", 0), 0u) << listening;
    const int delayed = std::stoi(listening.substr(10));

    for (const bool retr : {false, true}) {
        const auto with = [retr](std::vector<std::string> options) {
            if (retr) {
                options.push_back("--retr");
            }
            return options;
        };
        const Finished reference =
            RunClient(dovecot.Pop3Port(), dovecot.User(), dovecot.Password(), with({"--sequential"}));
        ASSERT_EQ(reference.status, 0) << reference.out;
        ASSERT_EQ(reference.out.rfind("40 messages, ", 0), 0u) << reference.out;
        // Windows smaller than the mailbox refill while replies arrive; behind the proxy more
        // commands go out while earlier replies are still on their way.
        const std::vector<std::pair<int, std::vector<std::string>>> variants = {
            {dovecot.Pop3Port(), {}},
            {dovecot.Pop3Port(), {"--window", "3"}},
            {delayed, {"--window", "7"}},
            {delayed, {"--sequential"}},
        };
        for (const auto& [port, options] : variants) {
            const Finished run = RunClient(port, dovecot.User(), dovecot.Password(), with(options));
            EXPECT_EQ(run.status, 0) << "RETR " << retr << ", port " << port;
            EXPECT_EQ(run.out, reference.out) << "RETR " << retr << ", port " << port;
        }
    }
}

TEST(ReferenceClient, EachUserSeesTheirOwnMailbox) {
    DovecotServer dovecot;
    dovecot.AddMessages(12);
    const int second = dovecot.AddUser();
    const int third = dovecot.AddUser();
    dovecot.CopyMessages(0, second);
    dovecot.AddMessages(3, second);
    ASSERT_NE(dovecot.UserName(second), dovecot.User());
    EXPECT_EQ(dovecot.MessagesOnDisk(0), 12);
    EXPECT_EQ(dovecot.MessagesOnDisk(second), 15);
    EXPECT_EQ(dovecot.MessagesOnDisk(third), 0);

    const struct {
        int user;
        const char* count;
    } expected[] = {{0, "12 messages, "}, {second, "15 messages, "}, {third, "0 messages, "}};
    for (const auto& [user, count] : expected) {
        const Finished run = RunClient(dovecot.Pop3Port(), dovecot.UserName(user), dovecot.Password(), {});
        EXPECT_EQ(run.status, 0) << dovecot.UserName(user) << ": " << run.out;
        EXPECT_EQ(run.out.rfind(count, 0), 0u) << dovecot.UserName(user) << ": " << run.out;
    }
    EXPECT_NE(RunClient(dovecot.Pop3Port(), dovecot.UserName(second), "wrong", {}).status, 0);
}

TEST(ReferenceClient, ImapOneFetchReadsTheUnseenHeadersOneFetchPerMessageReads) {
    DovecotServer dovecot;
    dovecot.AddMessages(30);
    dovecot.AddMessage("Subject: read elsewhere\r\n\r\nText\r\n", 0, true);
    dovecot.AddMessages(5);
    Child proxy({kPython, kProxy, "127.0.0.1", std::to_string(dovecot.ImapPort()), "--delay-ms", "1"});
    const std::string listening = proxy.ReadLine();
    ASSERT_EQ(listening.rfind("listening ", 0), 0u) << listening;

    const Finished reference =
        RunClient(dovecot.ImapPort(), dovecot.User(), dovecot.Password(), {"--per-message"}, kImapClient);
    ASSERT_EQ(reference.status, 0) << reference.out;
    ASSERT_EQ(reference.out.rfind("35 messages, ", 0), 0u) << reference.out;
    // The one fetch asks for the unseen UIDs only, behind the proxy too.
    for (const int port : {static_cast<int>(dovecot.ImapPort()), std::stoi(listening.substr(10))}) {
        const Finished run = RunClient(port, dovecot.User(), dovecot.Password(), {}, kImapClient);
        EXPECT_EQ(run.status, 0) << "port " << port;
        EXPECT_EQ(run.out, reference.out) << "port " << port;
    }
    EXPECT_NE(RunClient(dovecot.ImapPort(), dovecot.User(), "wrong", {}, kImapClient).status, 0);
}

} // namespace
} // namespace qm::test
