// Push against a real Dovecot: with no interval check at all, mail delivered while an account
// idles is checked; a burst gives one or two checks; the connection comes back after a server
// restart, a stalled link and a resume; and the connections always end within the exit bound.
#include "CycleHarness.h"
#include "DovecotServer.h"
#include "ScratchDir.h"
#include "engine/PushChecks.h"
#include "settings/MailState.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <fstream>
#include <sstream>
#include <thread>

namespace qm::test {
namespace {

using namespace std::chrono_literals;

// A loopback relay to a port. Stall() stops relaying the connections it carries now, like a link
// that died without a word; connections made later go through.
class StallingProxy {
public:
    explicit StallingProxy(int target) : m_target(target) {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof at;
        if (::bind(m_listener, reinterpret_cast<sockaddr*>(&at), size) != 0 || ::listen(m_listener, 8) != 0 ||
            ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&at), &size) != 0) {
            throw std::runtime_error("proxy: no listening socket");
        }
        m_port = ntohs(at.sin_port);
        m_thread = std::thread([this] { Relay(); });
    }
    ~StallingProxy() {
        m_done = true;
        m_thread.join();
        ::close(m_listener);
    }
    int Port() const { return m_port; }
    void Stall() { m_stalledBelow = m_count.load(); }

private:
    void Relay() {
        std::vector<std::array<int, 2>> pairs;
        while (!m_done) {
            std::vector<pollfd> fds{{m_listener, POLLIN, 0}};
            const std::size_t first = m_stalledBelow;
            for (std::size_t i = first; i < pairs.size(); ++i) {
                fds.push_back({pairs[i][0], POLLIN, 0});
                fds.push_back({pairs[i][1], POLLIN, 0});
            }
            if (::poll(fds.data(), fds.size(), 50) <= 0) {
                continue;
            }
            for (std::size_t k = 1; k < fds.size(); ++k) {
                auto& pair = pairs[first + (k - 1) / 2];
                const int from = fds[k].fd;
                if (fds[k].revents == 0 || pair[0] < 0) {
                    continue;
                }
                char buffer[4096];
                const ssize_t got = ::read(from, buffer, sizeof buffer);
                if (got <= 0 || ::write(from == pair[0] ? pair[1] : pair[0], buffer, static_cast<size_t>(got)) != got) {
                    ::close(pair[0]);
                    ::close(pair[1]);
                    pair = {-1, -1};
                }
            }
            if ((fds[0].revents & POLLIN) != 0) {
                const int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
                const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
                sockaddr_in to{};
                to.sin_family = AF_INET;
                to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
                to.sin_port = htons(static_cast<std::uint16_t>(m_target));
                ::connect(server, reinterpret_cast<sockaddr*>(&to), sizeof to);
                pairs.push_back({client, server});
                m_count = pairs.size();
            }
        }
        for (const auto& pair : pairs) {
            for (const int fd : pair) {
                if (fd >= 0) {
                    ::close(fd);
                }
            }
        }
    }

    int m_target;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_done{false};
    std::atomic<std::size_t> m_count{0};
    std::atomic<std::size_t> m_stalledBelow{0};
    std::thread m_thread;
};

// A check cycle with push beside it, driven from the test thread; no check timer runs.
struct PushRun {
    CycleFixture f;
    std::vector<AccountRow> rows;
    CheckOptions options;
    MessageLogOptions log;
    PushChecks push{
        f.invoker, *f.cycle,
        PushChecks::Source{[this] { return rows; }, [this] { return options; }, [this] { return log; }, {}}};
    int connects = 0;
    int states = 0;
    std::string error;

    void Follow() {
        PushTimings timings;
        timings.renewal = 700ms;
        timings.firstBackoff = 100ms;
        timings.lastBackoff = 400ms;
        timings.coalescing = 1000ms;
        push.SetTimings(timings);
        push.SetStateView([this](const AccountRow&, bool connected, const std::string& e) {
            connects += connected ? 1 : 0;
            ++states;
            error = e;
        });
        push.Follow(rows, options);
    }
    // Runs the main thread's calls until done() holds or `bound` has passed; whether it holds.
    bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds bound) {
        const auto until = std::chrono::steady_clock::now() + bound;
        std::atomic<bool> over{false};
        bool ticked = false;
        std::thread tick([&] {
            while (!over) {
                std::this_thread::sleep_for(50ms);
                f.invoker->invokeOnMainThread([] {});
            }
            f.invoker->invokeOnMainThread([&] { ticked = true; });
        });
        f.invoker->RunUntil([&] {
            push.CheckEnded(); // what the window does when a summary is published
            return done() || std::chrono::steady_clock::now() >= until;
        });
        over = true;
        f.invoker->RunUntil([&] { return ticked; });
        tick.join();
        return done();
    }
};

// The Exit rows leave while the trouble lasts: the connections still end within the bound.
enum class Trouble { None, Burst, ServerRestart, StalledLink, Resume, ExitWhileDown, ExitWhileStalled };

struct PushRow {
    const char* name;
    Trouble trouble;
};

class DovecotPush : public ::testing::TestWithParam<PushRow> {};

TEST_P(DovecotPush, MailIsCheckedWhileTheAccountIdles) {
    const Trouble trouble = GetParam().trouble;
    DovecotServer dovecot;
    dovecot.AddMessage("From: old@example.com\r\nSubject: Old\r\n\r\nold\r\n");
    StallingProxy proxy(dovecot.ImapPort());
    PushRun run;
    AccountRow row = CycleRow(proxy.Port(), dovecot.User(), dovecot.Password(), false, "1");
    row.Protocol = "1";
    run.rows = {row};
    run.options.senderFilter = {"*@spam.example"};
    run.options.inform = true;
    run.options.writeToFile = true;
    run.log.fileName = (ScratchDir("push") / "messages.txt").string();
    // With NewOnly, what a full check saw and the user looked at is no news to a push check either.
    const bool looked = trouble == Trouble::None;
    if (looked) {
        run.options.newOnly = true;
        run.log.mailState = ScratchDir("push-state") / kMailStateFile;
        run.f.cycle->StartWorkers(run.rows, run.options, run.log);
        ASSERT_TRUE(run.RunUntil([&] { return !run.f.view.summaries.empty(); }, 10s)) << dovecot.Log();
        ASSERT_TRUE(MarkAllLooked(run.log.mailState).ok);
        run.f.view.summaries.clear();
    }
    run.Follow();
    ASSERT_TRUE(run.RunUntil([&] { return run.connects == 1; }, 10s)) << run.error << dovecot.Log();

    if (trouble == Trouble::ExitWhileDown || trouble == Trouble::ExitWhileStalled) {
        if (trouble == Trouble::ExitWhileDown) {
            dovecot.Kill();
        } else {
            proxy.Stall();
        }
        run.RunUntil([] { return false; }, 1s); // reconnecting, or waiting on the renewal's DONE
        run.f.invoker->Close();
        EXPECT_TRUE(run.push.Shutdown(2s));
        return;
    }
    if (trouble == Trouble::ServerRestart) {
        dovecot.Restart();
    } else if (trouble == Trouble::StalledLink) {
        proxy.Stall(); // found dead when the renewal's DONE is not answered within the time-out
    } else if (trouble == Trouble::Resume) {
        run.push.Reconnect();
    }
    if (trouble != Trouble::None && trouble != Trouble::Burst) {
        ASSERT_TRUE(run.RunUntil([&] { return run.connects == 2; }, 10s)) << run.error << dovecot.Log();
    }
    EXPECT_TRUE(run.f.view.summaries.empty());

    const int deliveries = trouble == Trouble::Burst ? 20 : 1;
    for (int i = 0; i < deliveries; ++i) {
        dovecot.AddMessage("From: friend@example.com\r\nSubject: Pushed " + std::to_string(i) + "\r\n\r\nhi " +
                           std::to_string(i) + "\r\n");
    }
    dovecot.AddMessage("From: Offers <deal@spam.example>\r\nSubject: buy\r\n\r\ncheap\r\n");
    const auto allSeen = [&] {
        return !run.f.view.summaries.empty() &&
               run.f.view.summaries.back().noticedMessages == deliveries + (looked ? 0 : 1) &&
               dovecot.MessagesOnDisk(0, "Junk") == 1;
    };
    EXPECT_TRUE(run.RunUntil(allSeen, 5s)) << dovecot.Log();
    // Arrivals still being told would start more checks.
    run.RunUntil([] { return false; }, 1500ms);
    EXPECT_GE(run.f.view.summaries.size(), 1u);
    EXPECT_LE(run.f.view.summaries.size(), 2u);
    std::stringstream logged;
    logged << std::ifstream(run.log.fileName).rdbuf();
    EXPECT_NE(logged.str().find("\r\nhi " + std::to_string(deliveries - 1) + "\r\n"), std::string::npos);
    EXPECT_EQ(logged.str().find("deal@spam.example"), std::string::npos);

    // As the window does on exit: no more calls taken, then the connections have 2 s to end.
    run.f.invoker->Close();
    EXPECT_TRUE(run.push.Shutdown(2s));
}

INSTANTIATE_TEST_SUITE_P(Table, DovecotPush,
                         ::testing::Values(PushRow{"delivery", Trouble::None}, PushRow{"burst_of_20", Trouble::Burst},
                                           PushRow{"server_restarted", Trouble::ServerRestart},
                                           PushRow{"stalled_link", Trouble::StalledLink},
                                           PushRow{"resume", Trouble::Resume},
                                           PushRow{"exit_while_down", Trouble::ExitWhileDown},
                                           PushRow{"exit_while_stalled", Trouble::ExitWhileStalled}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DovecotPushSignIn, ARefusedPasswordStopsReconnectingUntilTriedAgain) {
    DovecotServer dovecot;
    PushRun run;
    AccountRow row = CycleRow(dovecot.ImapPort(), dovecot.User(), "wrong password", false, "5");
    row.Protocol = "1";
    AccountRow off = CycleRow(dovecot.ImapPort(), dovecot.User(), dovecot.Password());
    off.Protocol = "1";
    off.Idle = "0";
    run.rows = {row, off};
    run.Follow();
    EXPECT_EQ(run.push.Watching(), 1u);
    ASSERT_TRUE(run.RunUntil([&] { return run.states == 1; }, 10s));
    EXPECT_NE(run.error.find("AUTHENTICATIONFAILED"), std::string::npos) << run.error;
    // With back-offs of 100 ms, a watcher that kept trying would have told of more attempts.
    run.RunUntil([] { return false; }, 1s);
    EXPECT_EQ(run.states, 1);
    run.push.RetryRefused();
    EXPECT_TRUE(run.RunUntil([&] { return run.states == 2; }, 10s));
    EXPECT_EQ(run.connects, 0);
    run.f.invoker->Close();
    EXPECT_TRUE(run.push.Shutdown(2s));
}

} // namespace
} // namespace qm::test
