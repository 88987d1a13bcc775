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

// Runs one check against the responder and collects what it hands over.
class CheckVersRun {
public:
    CheckVersRun(const HttpResponder& responder, HttpLimits limits = {2000, 64 * 1024}) {
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

std::string ok(const std::string& body) {
    return "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\n\r\n" + body;
}

TEST(CheckVers, SendsTheRequestAndHandsOverANewerVersionTrimmed) {
    HttpResponder responder;
    responder.Answer(ok(" 2.7.0.0\r\n"));
    responder.Start();
    CheckVersRun run(responder);
    ASSERT_TRUE(run.waitFinished());
    EXPECT_EQ(run.offers(), std::vector<std::string>{"2.7.0.0"});
    ASSERT_EQ(responder.Requests().size(), 1u);
    EXPECT_EQ(responder.Requests()[0],
              "GET /zipprg/quillmere32.version HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(responder.Port()) +
                  "\r\nAccept: text/html, */*\r\nUser-Agent: Quillmere32\r\n"
                  "Connection: close\r\n\r\n");
}

struct AnswerCase {
    const char* name;
    std::string response;
    bool keepOpen;
    std::vector<std::string> offers;
};

class CheckVersAnswers : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(CheckVersAnswers, OnlyANewerVersionInA2xxBodyIsOffered) {
    const AnswerCase& c = GetParam();
    HttpResponder responder;
    responder.Answer(c.response, c.keepOpen);
    responder.Start();
    CheckVersRun run(responder, {c.keepOpen ? 300 : 2000, 64 * 1024});
    ASSERT_TRUE(run.waitFinished()) << c.name;
    EXPECT_EQ(run.offers(), c.offers) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CheckVersAnswers,
    ::testing::Values(
        AnswerCase{"equal", ok("2.6.0.0"), false, {}}, AnswerCase{"older", ok("2.5.9.9\n"), false, {}},
        AnswerCase{"digits concatenated", ok("2.10"), false, {}},
        AnswerCase{"to the close", "HTTP/1.0 200 OK\r\n\r\n2.7.0.0\r\n", false, {"2.7.0.0"}},
        AnswerCase{"length, line kept open", ok("2.7.0.0"), true, {"2.7.0.0"}},
        AnswerCase{"chunked",
                   "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4\r\n2.8.\r\n3\r\n0.0\r\n0\r\n\r\n",
                   false,
                   {"2.8.0.0"}},
        AnswerCase{"404", "HTTP/1.1 404 Not Found\r\nContent-Length: 7\r\n\r\n2.7.0.0", false, {}},
        AnswerCase{"HTML page", ok("<html><body>Error</body></html>"), false, {}},
        AnswerCase{"redirect",
                   "HTTP/1.1 301 Moved\r\nLocation: http://127.0.0.1:1/\r\nContent-Length: 7\r\n\r\n2.7.0.0",
                   false,
                   {}},
        AnswerCase{"garbage", "2.7.0.0\r\n", false, {}}, AnswerCase{"closed without a word", "", false, {}},
        AnswerCase{"body to a close that never comes", "HTTP/1.1 200 OK\r\n\r\n2.7.0.0", true, {}}));

TEST(CheckVers, ASilentServerIsEndedByTheTimeBound) {
    HttpResponder responder;
    responder.Silent();
    responder.Start();
    CheckVersRun run(responder, {300, 64 * 1024});
    ASSERT_TRUE(run.waitFinished());
    EXPECT_TRUE(run.offers().empty());
    EXPECT_TRUE(responder.WaitForFinished(1, 10000));
}

TEST(CheckVers, EndlessBodiesAreEndedByTheSizeBound) {
    for (const auto& [head, repeated] :
         {std::pair<std::string, std::string>{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n", "1\r\n9\r\n"},
          {"HTTP/1.1 200 OK\r\nContent-Length: 99999999\r\n\r\n", "2222222222"},
          {"HTTP/1.1 200 OK\r\n\r\n", "3.3.3.3."}}) {
        HttpResponder responder;
        responder.Endless(head, repeated);
        responder.Start();
        // The time bound is far away: only the size bound can end these.
        CheckVersRun run(responder, {60000, 64 * 1024});
        ASSERT_TRUE(run.waitFinished()) << head;
        EXPECT_TRUE(run.offers().empty()) << head;
    }
}

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

TEST(CheckVers, NoServerListeningIsSilent) {
    std::uint16_t port = 0;
    {
        HttpResponder closed;
        port = closed.Port();
    }
    CheckVers::Job job;
    job.server = {"127.0.0.1", port};
    job.localVersion = "0.0.0.0";
    bool called = false;
    auto check = CheckVers::Start(job, [&](const std::string&) { called = true; });
    ASSERT_TRUE(waitUntil([&] { return check->Finished(); }));
    EXPECT_FALSE(called);
}

} // namespace
} // namespace qm
