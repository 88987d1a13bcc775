#include "CycleHarness.h"
#include "FakePop3Server.h"
#include "ScratchDir.h"
#include "TestPaths.h"

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <thread>

namespace qm::test {
namespace {

std::string Msg(const std::string& from, const std::string& subject = "s") {
    return DatedMessage(from, subject, "body");
}

std::string ReadAll(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(CheckCycle, NoAccountsPublishAtOnce) {
    CycleFixture f;
    f.cycle->BeginCheck({}, CheckOptions{}, MessageLogOptions{});
    ASSERT_EQ(f.view.summaries.size(), 1u);
    EXPECT_FALSE(f.view.summaries[0].news);
    EXPECT_EQ(f.view.summaries[0].statusText, "you haven't new messages");
    EXPECT_EQ(f.view.summaries[0].hintText, "you haven't new messages");
    EXPECT_EQ(f.cycle->HintText(), "you haven't new messages");
    EXPECT_EQ(f.cycle->RunningWorkers(), 0);
    EXPECT_EQ(f.view.statuses, (std::vector<std::string>{"connecting...", ""}));
}

TEST(CheckCycle, DisabledAccountsAreNotContacted) {
    FakePop3Server server;
    server.ServeMailbox(MailboxOf({Msg("a@x.example")}));
    server.Start();
    CycleFixture f;
    f.cycle->StartWorkers({CycleRow(server.Port(), "user", "secret", true)}, CheckOptions{}, MessageLogOptions{});
    ASSERT_EQ(f.view.summaries.size(), 1u);
    EXPECT_FALSE(f.view.summaries[0].news);
    EXPECT_EQ(f.cycle->RunningWorkers(), 0);
    EXPECT_EQ(server.Sessions(), 0);
}

TEST(CheckCycle, TwoAccountsSummary) {
    // Account alice: 4 messages, 3 of them news; account bob: 5 messages, 4 of them news.
    FakePop3Server alice;
    alice.ServeMailbox(MailboxOf(
        {Msg("n1@news.example"), Msg("other@x.example"), Msg("n2@news.example"), Msg("n3@news.example")}, "alice"));
    alice.Start();
    FakePop3Server bob;
    bob.ServeMailbox(MailboxOf({Msg("n1@news.example"), Msg("n2@news.example"), Msg("n3@news.example"),
                                Msg("n4@news.example"), Msg("other@x.example")},
                               "bob"));
    bob.Start();
    CheckOptions options;
    options.inform = true;
    options.useFrom = true;
    options.fromMasks = {"*@news.example"};
    CycleFixture f;
    f.cycle->BeginCheck({CycleRow(alice.Port(), "alice"), CycleRow(bob.Port(), "bob")}, options, MessageLogOptions{});
    EXPECT_EQ(f.cycle->RunningWorkers(), 2);
    f.RunUntilSummaries(1);

    const CheckSummary& s = f.view.summaries.at(0);
    EXPECT_TRUE(s.news);
    EXPECT_EQ(s.messagesOnServer, 9);
    EXPECT_EQ(s.noticedMessages, 7);
    EXPECT_EQ(s.statusText, "you have 9 messages in total.");
    const std::string head = "in total 9 messages:\r";
    const std::string a = "127.0.0.1(alice): 3\r";
    const std::string b = "127.0.0.1(bob): 4\r";
    EXPECT_TRUE(s.hintText == head + a + b || s.hintText == head + b + a) << s.hintText;
    EXPECT_EQ(f.cycle->RunningWorkers(), 0);
    // Every sender once, whichever account saw it first.
    EXPECT_EQ(f.cycle->ReceivedAddresses().size(), 5u);
    EXPECT_TRUE(f.cycle->AccountErrors().empty());

    // A check of bob alone replaces his share only; one of his senders is spam now.
    options.senderFilter = {"n4@news.example"};
    f.cycle->StartAccountCheck({CycleRow(alice.Port(), "alice"), CycleRow(bob.Port(), "bob")}, 1, options,
                               MessageLogOptions{});
    f.RunUntilSummaries(2);
    const CheckSummary& one = f.view.summaries.at(1);
    EXPECT_EQ(one.messagesOnServer, 8);
    EXPECT_EQ(one.noticedMessages, 6);
    EXPECT_TRUE(one.freshNews);
    EXPECT_EQ(one.hintText, "in total 8 messages:\r" + a + "127.0.0.1(bob): 3\r");
    EXPECT_EQ(alice.Sessions(), 1);
}

TEST(CheckCycle, SameMailboxTwiceGivesTwoLinesAndAddressesOnce) {
    FakePop3Server server;
    server.ServeMailbox(MailboxOf({Msg("Pat@X.example"), Msg("pat@x.example"), Msg("kim@x.example")}));
    server.Start();
    CycleFixture f;
    f.cycle->BeginCheck({CycleRow(server.Port()), CycleRow(server.Port())}, CheckOptions{}, MessageLogOptions{});
    f.RunUntilSummaries(1);
    const CheckSummary& s = f.view.summaries.at(0);
    EXPECT_EQ(s.hintText, "in total 6 messages:\r127.0.0.1(user): 3\r127.0.0.1(user): 3\r");
    EXPECT_EQ(f.cycle->ReceivedAddresses().size(), 2u);
}

TEST(CheckCycle, SpamLowersTheTotal) {
    FakePop3Server server;
    server.ServeMailbox(MailboxOf({Msg("a@x.example"), Msg("b@spam.example"), Msg("c@x.example")}));
    server.Start();
    CheckOptions options;
    options.senderFilter = {"*@spam.example"};
    CycleFixture f;
    f.cycle->BeginCheck({CycleRow(server.Port())}, options, MessageLogOptions{});
    f.RunUntilSummaries(1);
    EXPECT_EQ(f.view.summaries.at(0).hintText, "in total 2 messages:\r127.0.0.1(user): 2\r");
    EXPECT_EQ(f.view.summaries.at(0).statusText, "you have 2 messages in total.");
    server.Join(); // the deletion is committed when the server has taken the QUIT
    EXPECT_EQ(server.Deleted(), (std::set<int>{2}));
}

TEST(CheckCycle, MessagesButNoNewsIsNoNews) {
    FakePop3Server server;
    server.ServeMailbox(MailboxOf({Msg("a@x.example"), Msg("b@x.example")}));
    server.Start();
    CheckOptions options;
    options.inform = true;
    options.attach = true;
    CycleFixture f;
    f.cycle->BeginCheck({CycleRow(server.Port())}, options, MessageLogOptions{});
    f.RunUntilSummaries(1);
    EXPECT_FALSE(f.view.summaries.at(0).news);
    EXPECT_EQ(f.view.summaries.at(0).messagesOnServer, 2);
    EXPECT_EQ(f.view.summaries.at(0).hintText, "you haven't new messages");
}

TEST(CheckCycle, FailedAccountKeepsItsLastError) {
    FakePop3Server server;
    server.ServeMailbox(MailboxOf({Msg("a@x.example")}));
    server.Start();
    CycleFixture f;
    f.cycle->BeginCheck({CycleRow(server.Port(), "user", "wrong"), CycleRow(server.Port())}, CheckOptions{},
                        MessageLogOptions{});
    f.RunUntilSummaries(1);
    const auto errors = f.cycle->AccountErrors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].accountRow, 0);
    EXPECT_EQ(errors[0].error, " authentication failed\r\n");
    EXPECT_NE(std::find(f.view.events.begin(), f.view.events.end(), "failed:0"), f.view.events.end());
    EXPECT_NE(std::find(f.view.events.begin(), f.view.events.end(), "connected:1"), f.view.events.end());
    EXPECT_EQ(f.view.summaries.at(0).hintText, "in total 1 messages:\r127.0.0.1(user): 1\r");

    // The next check that goes through clears it.
    f.cycle->BeginCheck({CycleRow(server.Port())}, CheckOptions{}, MessageLogOptions{});
    f.RunUntilSummaries(2);
    EXPECT_TRUE(f.cycle->AccountErrors().empty());
}

TEST(CheckCycle, OverlappingChecksPublishOnceWhenAllHaveEnded) {
    FakePop3Server slow;
    LoginScript(slow).Reply("STAT", "+OK 1 10").Expect("TOP 1 0").Stall();
    slow.Start();
    FakePop3Server quick;
    quick.ServeMailbox(MailboxOf({Msg("a@x.example"), Msg("b@x.example")}));
    quick.Start();

    CycleFixture f;
    f.cycle->BeginCheck({CycleRow(slow.Port(), "user", "secret", false, "600")}, CheckOptions{}, MessageLogOptions{});
    f.invoker->RunUntil([&] { return f.cycle->MessagesOnServer() == 1; }); // the slow one is in its loop

    f.cycle->BeginCheck({CycleRow(quick.Port())}, CheckOptions{}, MessageLogOptions{});
    EXPECT_EQ(f.cycle->RunningWorkers(), 2);
    EXPECT_EQ(f.cycle->MessagesOnServer(), 0);
    f.invoker->RunUntil([&] { return f.cycle->RunningWorkers() == 1; });
    EXPECT_TRUE(f.view.summaries.empty());

    slow.Stop(); // the slow session loses its connection and ends
    f.RunUntilSummaries(1);
    EXPECT_EQ(f.view.summaries.size(), 1u);
    EXPECT_EQ(f.view.summaries[0].messagesOnServer, 2);
    EXPECT_EQ(f.view.summaries[0].hintText, "in total 2 messages:\r127.0.0.1(user): 2\r");
}

TEST(CheckCycle, CountersDoNotOverflowOnHugeServerCounts) {
    CycleFixture f;
    ISessionReport& report = *f.cycle;
    report.AddServerCount(INT_MAX);
    report.AddServerCount(INT_MAX);
    EXPECT_EQ(f.cycle->MessagesOnServer(), INT_MAX);
    report.AccountResult(INT_MAX, "a\r");
    report.AccountResult(5, "b\r");
    EXPECT_EQ(f.cycle->NoticedMessages(), INT_MAX);
    report.AddServerCount(INT_MIN);
    report.AddServerCount(INT_MIN);
    report.SpamDeleted();
    EXPECT_EQ(f.cycle->MessagesOnServer(), INT_MIN);
}

struct DisabledRow {
    std::string cell;
    bool contacted;
};

class CheckCycleDisabledCell : public ::testing::TestWithParam<DisabledRow> {};

TEST_P(CheckCycleDisabledCell, DecidesWhetherTheAccountIsChecked) {
    FakePop3Server server;
    server.ServeMailbox(MailboxOf({}));
    server.Start();
    AccountRow row = CycleRow(server.Port());
    row.Disabled = GetParam().cell;
    CycleFixture f;
    f.cycle->BeginCheck({row}, CheckOptions{}, MessageLogOptions{});
    f.RunUntilSummaries(1);
    EXPECT_EQ(server.Sessions(), GetParam().contacted ? 1 : 0) << "cell '" << GetParam().cell << "'";
}

INSTANTIATE_TEST_SUITE_P(Table, CheckCycleDisabledCell,
                         ::testing::Values(DisabledRow{"True", false}, DisabledRow{"TRUE", false},
                                           DisabledRow{"true", false}, DisabledRow{"1", false},
                                           DisabledRow{"-1", false}, DisabledRow{"False", true}, DisabledRow{"0", true},
                                           DisabledRow{"", true}));

struct OverwriteRow {
    bool inform;
    bool overwrite;
    bool deleted;
};

class CheckCycleOverwrite : public ::testing::TestWithParam<OverwriteRow> {};

TEST_P(CheckCycleOverwrite, DeletesTheLogOnlyWithInformAndOverwrite) {
    const auto dir = ScratchDir("engine-cycle-overwrite");
    const auto log = dir / "messages.txt";
    std::ofstream(log) << "old\r\n";
    CheckOptions options;
    options.inform = GetParam().inform;
    MessageLogOptions logOptions;
    logOptions.overwrite = GetParam().overwrite;
    logOptions.fileName = log.string();
    CycleFixture f;
    f.cycle->StartWorkers({}, options, logOptions);
    EXPECT_EQ(!std::filesystem::exists(log), GetParam().deleted);
}

INSTANTIATE_TEST_SUITE_P(Table, CheckCycleOverwrite,
                         ::testing::Values(OverwriteRow{true, true, true}, OverwriteRow{true, false, false},
                                           OverwriteRow{false, true, false}, OverwriteRow{false, false, false}));

TEST(CheckCycle, NoticedMessagesGoToTheLog) {
    const auto dir = ScratchDir("engine-cycle-log");
    const auto log = dir / "messages.txt";
    FakePop3Server server;
    server.ServeMailbox(MailboxOf({Msg("keep@x.example", "Report"), Msg("other@y.example")}));
    server.Start();
    CheckOptions options;
    options.inform = true;
    options.writeToFile = true;
    options.useFrom = true;
    options.fromMasks = {"*@x.example"};
    MessageLogOptions logOptions;
    logOptions.fileName = log.string();
    CycleFixture f;
    f.cycle->BeginCheck({CycleRow(server.Port())}, options, logOptions);
    f.RunUntilSummaries(1);
    const std::string text = ReadAll(log);
    EXPECT_EQ(text.rfind("File created ", 0), 0u) << text;
    EXPECT_NE(text.find("-------------- keep@x.example received "), std::string::npos) << text;
    EXPECT_EQ(text.find("other@y.example"), std::string::npos) << text;
}

TEST(CheckCycle, ShutdownEndsAStalledSession) {
    FakePop3Server server;
    LoginScript(server).Expect("STAT").Stall();
    server.Start();
    auto invoker = std::make_shared<ConsoleInvoker>();
    RecordingView view;
    auto cycle = std::make_unique<CheckCycle>(invoker, view);
    cycle->BeginCheck({CycleRow(server.Port(), "user", "secret", false, "600")}, CheckOptions{}, MessageLogOptions{});
    invoker->RunUntil([&] { return view.events.size() >= 2; }); // connected, tray: now blocked in STAT
    invoker->Close();
    EXPECT_TRUE(cycle->Shutdown(std::chrono::seconds(60)));
    cycle.reset();
    EXPECT_TRUE(view.summaries.empty());
}

// After a resume the old connections are dead: aborting them ends the sessions and the check is
// published, while the cycle stays usable for the next check.
TEST(CheckCycle, AbortedSessionsEndAndTheCheckIsPublished) {
    FakePop3Server stalled;
    LoginScript(stalled).Expect("STAT").Stall();
    stalled.Start();
    CycleFixture f;
    f.cycle->BeginCheck({CycleRow(stalled.Port(), "user", "secret", false, "600")}, CheckOptions{},
                        MessageLogOptions{});
    f.invoker->RunUntil([&] { return f.view.events.size() >= 2; }); // connected, tray: now blocked in STAT
    f.cycle->AbortSessions();
    f.RunUntilSummaries(1);
    EXPECT_FALSE(f.view.summaries[0].news);
    EXPECT_EQ(f.cycle->RunningWorkers(), 0);

    FakePop3Server next;
    next.ServeMailbox(MailboxOf({Msg("a@x.example")}));
    next.Start();
    f.cycle->BeginCheck({CycleRow(next.Port())}, CheckOptions{}, MessageLogOptions{});
    f.RunUntilSummaries(2);
    EXPECT_TRUE(f.view.summaries[1].news);
}

TEST(ConsoleInvoker, RunsCallsOnTheRunningThreadInOrder) {
    ConsoleInvoker invoker;
    std::vector<int> order;
    const auto mainThread = std::this_thread::get_id();
    bool onMain = true;
    std::thread worker([&] {
        for (int i = 0; i < 3; ++i) {
            EXPECT_TRUE(invoker.invokeOnMainThread([&, i] {
                order.push_back(i);
                onMain = onMain && std::this_thread::get_id() == mainThread;
            }));
        }
    });
    invoker.RunUntil([&] { return order.size() == 3; });
    worker.join();
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
    EXPECT_TRUE(onMain);
}

// A server asking for a pause between logins, by its capabilities or by refusing a login too
// soon: the account is left out of the checks until the pause has passed, and its row says when.
TEST(CheckCycle, LoginDelayLeavesTheAccountOutUntilItHasPassed) {
    struct Row {
        std::vector<std::string> capabilities;
        std::map<std::string, std::string> overrides;
        std::chrono::seconds pause;
    };
    for (const Row& row :
         {Row{{"LOGIN-DELAY 900"}, {}, std::chrono::seconds(900)},
          Row{{}, {{"PASS secret", "-ERR [LOGIN-DELAY] too soon"}}, std::chrono::seconds(120)},
          Row{{"LOGIN-DELAY 2147483647"}, {{"PASS secret", "-ERR [LOGIN-DELAY] too soon"}}, std::chrono::hours(24)}}) {
        FakePop3Server server;
        FakeMailbox mailbox = MailboxOf({Msg("a@x.example")});
        mailbox.capabilities = row.capabilities;
        mailbox.overrides = row.overrides;
        server.ServeMailbox(mailbox);
        server.Start();
        CycleFixture f;
        auto now = std::chrono::steady_clock::now();
        SessionTimings timings;
        timings.clock = [&now] { return now; };
        f.cycle->SetTimings(timings);
        CheckOptions options;
        options.intervalMs = 120000; // a pause of unknown length lasts one interval
        const std::vector<AccountRow> rows{CycleRow(server.Port())};
        const auto check = [&](std::size_t summaries) {
            f.cycle->StartWorkers(rows, options, MessageLogOptions{});
            f.RunUntilSummaries(summaries);
            return f.view.events.back();
        };

        const std::string first = check(1);
        if (!row.overrides.empty()) {
            EXPECT_NE(first.find("[LOGIN-DELAY] too soon"), std::string::npos) << first;
            EXPECT_NE(first.find("next check after"), std::string::npos) << first;
            EXPECT_TRUE(row.pause < std::chrono::hours(24) ||
                        std::regex_search(first, std::regex(R"(after \d{4}-\d\d-\d\d )")));
        }
        now += row.pause - std::chrono::seconds(1);
        EXPECT_NE(check(2).find("error:0:The server asks for a pause between logins; next check after "),
                  std::string::npos);
        EXPECT_EQ(server.Sessions(), 1);
        now += std::chrono::seconds(2);
        check(3);
        EXPECT_EQ(server.Sessions(), 2);
    }
}

TEST(ConsoleInvoker, ClosedInvokerReleasesWaitingCallersWithoutRunningThem) {
    ConsoleInvoker invoker;
    std::atomic<bool> ran{false};
    std::atomic<int> answered{-1};
    std::thread worker([&] { answered = invoker.invokeOnMainThread([&] { ran = true; }) ? 1 : 0; });
    while (answered == -1) {
        invoker.Close(); // whether the call was queued yet or not, it must come back false
        std::this_thread::yield();
    }
    worker.join();
    EXPECT_EQ(answered, 0);
    EXPECT_FALSE(ran);
    EXPECT_FALSE(invoker.invokeOnMainThread([&] { ran = true; }));
    EXPECT_FALSE(ran);
}

} // namespace
} // namespace qm::test
