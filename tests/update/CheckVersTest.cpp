// The version check against a loopback HTTP responder.
#include "update/CheckVers.h"

#include "HttpResponder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qm {
namespace {

using test::HttpResponder;

bool waitUntil(const std::function<bool()>& done) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done() && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
}

// Runs one check of local version 2.6.0.0 against the responder and collects what it hands over.
class CheckVersRun {
public:
    CheckVersRun(const HttpResponder& responder, HttpLimits limits) {
        CheckVers::Job job;
        job.server = {"127.0.0.1", responder.Port()};
        job.localVersion = "2.6.0.0";
        job.limits = limits;
        m_check = CheckVers::Start(job, [this](const std::string& version) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_offers.push_back(version);
        });
    }
    bool waitFinished() {
        return waitUntil([this] { return m_check->Finished(); });
    }
    std::vector<std::string> offers() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_offers;
    }
    CheckVers& check() { return *m_check; }

private:
    std::mutex m_mutex;
    std::vector<std::string> m_offers;
    std::shared_ptr<CheckVers> m_check;
};

const std::string kOk = "HTTP/1.1 200 OK\r\n";

struct ServerCase {
    const char* name;
    std::function<void(HttpResponder&)> behave;
    HttpLimits limits;
    std::vector<std::string> offers;
};

class CheckVersServers : public ::testing::TestWithParam<ServerCase> {};

TEST_P(CheckVersServers, OnlyANewerVersionInACompleteBoundedAnswerIsHandedOver) {
    const ServerCase& c = GetParam();
    HttpResponder responder;
    c.behave(responder);
    responder.Start();
    CheckVersRun run(responder, c.limits);
    ASSERT_TRUE(run.waitFinished()) << c.name;
    EXPECT_EQ(run.offers(), c.offers) << c.name;
    const std::string request =
        "GET /zipprg/quillmere32.version HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(responder.Port()) +
        "\r\nAccept: text/html, */*\r\nUser-Agent: Quillmere32\r\nConnection: close\r\n\r\n";
    EXPECT_EQ(responder.Requests(), std::vector<std::string>{request}) << c.name;
}

// Bounds far away (60 s, or 64 KiB) show that the other bound ended the check.
INSTANTIATE_TEST_SUITE_P(
    Cases, CheckVersServers,
    ::testing::Values(
        ServerCase{"trimmed",
                   [](HttpResponder& r) { r.Answer(kOk + "Content-Length: 10\r\n\r\n 2.7.0.0\r\n"); },
                   {2000, 65536},
                   {"2.7.0.0"}},
        ServerCase{"length, line kept open",
                   [](HttpResponder& r) { r.Answer(kOk + "Content-Length: 7\r\n\r\n2.7.0.0", true); },
                   {60000, 65536},
                   {"2.7.0.0"}},
        ServerCase{"to the close",
                   [](HttpResponder& r) { r.Answer("HTTP/1.0 200 OK\r\n\r\n2.8.0.0\n"); },
                   {2000, 65536},
                   {"2.8.0.0"}},
        ServerCase{"chunked",
                   [](HttpResponder& r) {
                       r.Answer(kOk + "Transfer-Encoding: chunked\r\n\r\n4\r\n2.9.\r\n3\r\n0.0\r\n0\r\n\r\n");
                   },
                   {2000, 65536},
                   {"2.9.0.0"}},
        ServerCase{"equal", [](HttpResponder& r) { r.Answer(kOk + "\r\n2.6.0.0"); }, {2000, 65536}, {}},
        ServerCase{"silent", [](HttpResponder& r) { r.Silent(); }, {300, 65536}, {}},
        ServerCase{"a close that never comes",
                   [](HttpResponder& r) { r.Answer(kOk + "\r\n2.7.0.0", true); },
                   {300, 65536},
                   {}},
        ServerCase{"endless chunks",
                   [](HttpResponder& r) { r.Endless(kOk + "Transfer-Encoding: chunked\r\n\r\n", "1\r\n9\r\n"); },
                   {60000, 65536},
                   {}},
        ServerCase{"megabytes announced",
                   [](HttpResponder& r) { r.Endless(kOk + "Content-Length: 99999999\r\n\r\n", "2222222222"); },
                   {60000, 65536},
                   {}},
        ServerCase{"endless body to the close",
                   [](HttpResponder& r) { r.Endless(kOk + "\r\n", "3.3.3.3."); },
                   {60000, 65536},
                   {}}));

TEST(CheckVers, CancelEndsAWaitingCheckWithoutHandingOver) {
    HttpResponder responder;
    responder.Silent();
    responder.Start();
    CheckVersRun run(responder, {60000, 64 * 1024});
    ASSERT_TRUE(waitUntil([&] {
        const auto requests = responder.Requests();
        return !requests.empty() && requests[0].find("\r\n\r\n") != std::string::npos;
    }));
    run.check().Cancel();
    ASSERT_TRUE(run.waitFinished());
    EXPECT_TRUE(run.offers().empty());
}

} // namespace
} // namespace qm
