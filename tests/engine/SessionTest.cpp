#include "FakePop3Server.h"
#include "SessionHarness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace qm::test {
namespace {

using Lines = std::vector<std::string>;

// Serves the mailbox, runs one session of the usual account against it and waits until the
// server has seen the connection end.
void RunAgainst(FakePop3Server& server, const FakeMailbox& mailbox, const CheckOptions& options,
                RecordingReport& report) {
    server.ServeMailbox(mailbox);
    server.Start();
    RunSession(MakeRow(server.Port()), options, report);
    server.Join();
}

int CountOf(const Lines& lines, const std::string& line) {
    return static_cast<int>(std::count(lines.begin(), lines.end(), line));
}

TEST(Session, HeadersOnlyFromHighestToLowest) {
    FakePop3Server server;
    RecordingReport report;
    RunAgainst(server,
               MailboxOf({Message("a@one.example", "first"), Message("Bee <b@two.example>", "second"),
                          Message("c@three.example", "third")}),
               CheckOptions{}, report);

    EXPECT_EQ(server.Received(), (Lines{"USER user", "PASS secret", "STAT", "TOP 3 0", "TOP 2 0", "TOP 1 0", "QUIT"}));
    EXPECT_EQ(report.calls, (Lines{"status:connecting to 127.0.0.1...", "status:connected to 127.0.0.1", "connected:0",
                                   "error:0:127.0.0.1:user:", "tray", "count:3", "address:c@three.example",
                                   "address:b@two.example", "address:a@one.example", "result:3:127.0.0.1(user): 3\r",
                                   "status:disconnected from 127.0.0.1", "finished:7"}));
    EXPECT_TRUE(server.Failures().empty());
}

TEST(Session, ShownTextsCarryTheAccountNameInUtf8) {
    // The user name goes to the server as the code page bytes typed; the report line shows it in
    // UTF-8, like the translated words it stands beside.
    const std::string name1251 = "\xC8\xE2\xE0\xED"; // "Ivan" in Cyrillic, windows-1251
    FakePop3Server server;
    RecordingReport report;
    CheckOptions options;
    options.codePage = 1251;
    FakeMailbox mailbox = MailboxOf({Message("a@one.example", "first")});
    mailbox.user = name1251;
    server.ServeMailbox(mailbox);
    server.Start();
    RunSession(MakeRow(server.Port(), name1251), options, report);
    server.Join();

    EXPECT_EQ(server.Received().at(0), "USER " + name1251);
    EXPECT_EQ(CountOf(report.calls, "result:1:127.0.0.1(\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD): 1\r"), 1);
}

TEST(Session, StatusWordsFollowTheSnapshotLanguage) {
    FakePop3Server server;
    RecordingReport report;
    CheckOptions options;
    options.languageCode = "RU";
    RunAgainst(server, MailboxOf({}), options, report);
    ASSERT_GE(report.calls.size(), 2u);
    EXPECT_NE(report.calls[0], "status:connecting to 127.0.0.1...");
    EXPECT_EQ(report.calls[0].substr(report.calls[0].size() - 12), "127.0.0.1...");
}

TEST(Session, InformFetchesWholeMessages) {
    FakePop3Server server;
    RecordingReport report;
    CheckOptions options;
    options.inform = true;
    RunAgainst(server, MailboxOf({Message("a@x.example", "one"), Message("b@x.example", "two")}), options, report);
    EXPECT_EQ(server.Received(), (Lines{"USER user", "PASS secret", "STAT", "RETR 2", "RETR 1", "QUIT"}));
    EXPECT_TRUE(report.Has("result:2:127.0.0.1(user): 2\r"));
}

TEST(Session, InformWithConditionsCountsOnlyMatchesButCollectsEveryAddress) {
    FakePop3Server server;
    RecordingReport report;
    CheckOptions options;
    options.inform = true;
    options.writeToFile = true;
    options.useFrom = true;
    options.fromMasks = {"*@work.example"};
    RunAgainst(server, MailboxOf({Message("boss@work.example", "one"), Message("friend@home.example", "two")}), options,
               report);
    EXPECT_TRUE(report.Has("result:1:127.0.0.1(user): 1\r"));
    EXPECT_TRUE(report.Has("save:boss@work.example"));
    EXPECT_EQ(report.savedMessages, 1);
    EXPECT_TRUE(report.Has("address:friend@home.example"));
    EXPECT_TRUE(report.Has("address:boss@work.example"));
}

TEST(Session, FailedSaveSkipsTheMessage) {
    FakePop3Server server;
    RecordingReport report;
    report.failSave = true;
    CheckOptions options;
    options.inform = true;
    options.writeToFile = true;
    RunAgainst(server, MailboxOf({Message("a@x.example", "one")}), options, report);
    EXPECT_TRUE(report.Has("result:0:127.0.0.1(user): 0\r"));
    EXPECT_FALSE(report.HasPrefix("address:"));
    EXPECT_EQ(CountOf(server.Received(), "QUIT"), 1);
}

TEST(Session, SpamIsDeletedAndNotCollected) {
    FakePop3Server server;
    RecordingReport report;
    CheckOptions options;
    options.senderFilter = {"*@SPAM.example"};
    RunAgainst(server,
               MailboxOf({Message("a@good.example", "one"), Message("x@spam.example", "buy"),
                          Message("c@good.example", "three")}),
               options, report);
    EXPECT_EQ(server.Received(),
              (Lines{"USER user", "PASS secret", "STAT", "TOP 3 0", "TOP 2 0", "DELE 2", "TOP 1 0", "QUIT"}));
    EXPECT_EQ(server.Deleted(), (std::set<int>{2}));
    EXPECT_TRUE(report.Has("spam"));
    EXPECT_FALSE(report.Has("address:x@spam.example"));
    EXPECT_TRUE(report.Has("result:2:127.0.0.1(user): 2\r"));
}

TEST(Session, DisabledFilterListDeletesNothing) {
    FakePop3Server server;
    RecordingReport report;
    CheckOptions options;
    options.senderFilter = {"*"};
    options.senderFilterEnabled = false;
    RunAgainst(server, MailboxOf({Message("x@spam.example", "buy")}), options, report);
    EXPECT_EQ(CountOf(server.Received(), "DELE 1"), 0);
    EXPECT_TRUE(report.Has("result:1:127.0.0.1(user): 1\r"));
}

TEST(Session, NoMessagesMeansStatThenQuit) {
    FakePop3Server server;
    RecordingReport report;
    RunAgainst(server, MailboxOf({}), CheckOptions{}, report);
    EXPECT_EQ(server.Received(), (Lines{"USER user", "PASS secret", "STAT", "QUIT"}));
    EXPECT_TRUE(report.Has("result:0:127.0.0.1(user): 0\r"));
    EXPECT_TRUE(report.Has("count:0"));
}

FakeMailbox WithIds(FakeMailbox mailbox) {
    mailbox.capabilities = {"UIDL"};
    for (std::size_t i = 0; i < mailbox.messages.size(); ++i) {
        mailbox.uids.push_back("uid" + std::to_string(100 + i));
    }
    return mailbox;
}

TEST(Session, KnownMailboxIsReadWithOneUidl) {
    KeptChecks checks(WithIds(MailboxOf({Message("a@one.example", "1"), Message("b@two.example", "2")})));
    const auto first = checks.Run(CheckOptions{});
    EXPECT_EQ(first.second, (Lines{"USER user", "PASS secret", "STAT", "UIDL", "TOP 2 0", "TOP 1 0", "QUIT"}));
    const auto second = checks.Run(CheckOptions{});
    EXPECT_EQ(second.second, (Lines{"USER user", "PASS secret", "STAT", "UIDL", "QUIT"}));
    EXPECT_EQ(second.first.calls, first.first.calls);
}

TEST(Session, NewOnlyKeepsNewsUntilLookedAt) {
    KeptChecks checks(WithIds(MailboxOf({Message("a@one.example", "1"), Message("b@two.example", "2")})));
    CheckOptions options;
    options.newOnly = true;
    const auto count = [](const Lines& calls) {
        return std::find_if(calls.begin(), calls.end(), [](const std::string& c) { return c.starts_with("result:"); })
            ->substr(0, 8);
    };
    EXPECT_EQ(count(checks.Run(options).first.calls), "result:2");
    EXPECT_EQ(count(checks.Run(options).first.calls), "result:2") << "not looked at yet";
    ASSERT_TRUE(MarkAllLooked(checks.state).ok);
    const auto looked = checks.Run(options).first.calls;
    EXPECT_EQ(count(looked), "result:0");
    EXPECT_EQ(CountOf(looked, "address:a@one.example"), 1) << "still a received address";
    checks.server.Deliver(Message("c@three.example", "3"), "uid900");
    const auto later = checks.Run(options);
    EXPECT_EQ(count(later.first.calls), "result:1");
    EXPECT_EQ(CountOf(later.second, "TOP 3 0"), 1);
    EXPECT_EQ(CountOf(later.second, "TOP 1 0"), 0);
    options.newOnly = false;
    EXPECT_EQ(count(checks.Run(options).first.calls), "result:3") << "without NewOnly every message is news";
}

TEST(Session, NewOnlyWithoutUidlCountsEveryMessageAndSaysWhy) {
    FakeMailbox refusing = WithIds(MailboxOf({Message("a@one.example", "1")}));
    refusing.overrides = {{"UIDL", "-ERR not today"}};
    FakeMailbox garbled = WithIds(MailboxOf({Message("a@one.example", "1")}));
    garbled.uids = {"two words"};
    for (const FakeMailbox& mailbox : {MailboxOf({Message("a@one.example", "1")}), refusing, garbled}) {
        KeptChecks checks(mailbox);
        CheckOptions options;
        options.newOnly = true;
        checks.Run(options);
        ASSERT_TRUE(MarkAllLooked(checks.state).ok);
        const auto again = checks.Run(options);
        const Lines& calls = again.first.calls;
        EXPECT_TRUE(std::count(calls.begin(), calls.end(), "result:1:127.0.0.1(user): 1\r"));
        EXPECT_EQ(CountOf(again.second, "TOP 1 0"), 1);
        EXPECT_TRUE(std::any_of(calls.begin(), calls.end(), [](const std::string& c) {
            return c.starts_with("note:0:") && c.find("UIDL") != c.npos;
        }));
    }
}

TEST(Session, WrongPasswordFailsTheAccountAndQuitsOnce) {
    FakePop3Server server;
    server.ServeMailbox(MailboxOf({Message("a@x.example", "one")}));
    server.Start();
    RecordingReport report;
    RunSession(MakeRow(server.Port(), "user", "wrong"), CheckOptions{}, report);
    server.Join();
    EXPECT_EQ(server.Received(), (Lines{"USER user", "PASS wrong", "QUIT"}));
    EXPECT_EQ(report.calls, (Lines{"status:connecting to 127.0.0.1...", "status:", "failed:0",
                                   "error:0:127.0.0.1:user: authentication failed\r\n", "finished:7"}));
}

TEST(Session, StatErrorStillEndsWithQuitAndNoLine) {
    FakePop3Server server;
    LoginScript(server).Reply("STAT", "-ERR mailbox locked").Expect("QUIT");
    server.Start();
    RecordingReport report;
    RunSession(MakeRow(server.Port()), CheckOptions{}, report);
    server.Join();
    EXPECT_EQ(server.Received(), (Lines{"USER user", "PASS secret", "STAT", "QUIT"}));
    EXPECT_FALSE(report.HasPrefix("count:"));
    EXPECT_TRUE(report.Has("result:0:127.0.0.1(user): 0\r"));
    EXPECT_TRUE(report.Has("status:disconnected from 127.0.0.1"));
    EXPECT_TRUE(report.Has("error:0:127.0.0.1:user: mailbox locked\r\n"));
    EXPECT_TRUE(server.Failures().empty());
}

TEST(Session, LostConnectionSkipsTheRest) {
    FakePop3Server server;
    LoginScript(server)
        .Reply("STAT", "+OK 1000000 5000")
        .Reply("TOP 1000000 0", "+OK")
        .SendLine("From: last@x.example")
        .SendLine("")
        .SendLine(".")
        .Expect("TOP 999999 0")
        .Close();
    server.Start();
    RecordingReport report;
    RunSession(MakeRow(server.Port()), CheckOptions{}, report);
    server.Join();
    EXPECT_EQ(server.Received(), (Lines{"USER user", "PASS secret", "STAT", "TOP 1000000 0", "TOP 999999 0"}));
    EXPECT_TRUE(report.Has("count:1000000"));
    EXPECT_TRUE(report.Has("address:last@x.example"));
    // The mailbox was not read to its end: the session failed, and claims no news.
    EXPECT_TRUE(report.Has("result:0:127.0.0.1(user): 0\r"));
    EXPECT_TRUE(report.Has("status:disconnected from 127.0.0.1"));
    EXPECT_TRUE(report.Has("failed:0"));
    const std::string cleared = "error:0:127.0.0.1:user:";
    EXPECT_TRUE(std::any_of(report.calls.begin(), report.calls.end(), [&](const std::string& call) {
        return call.rfind(cleared, 0) == 0 && call.size() > cleared.size();
    }));
    EXPECT_EQ(report.calls.back(), "finished:7");
}

TEST(Session, RefusedTopSkipsOnlyThatMessage) {
    FakePop3Server server;
    FakeMailbox mb = MailboxOf({Message("a@x.example", "1"), Message("b@x.example", "2"), Message("c@x.example", "3")});
    mb.overrides["TOP 2 0"] = "-ERR no such message";
    RecordingReport report;
    RunAgainst(server, mb, CheckOptions{}, report);
    EXPECT_EQ(server.Received(), (Lines{"USER user", "PASS secret", "STAT", "TOP 3 0", "TOP 2 0", "TOP 1 0", "QUIT"}));
    EXPECT_TRUE(report.Has("result:2:127.0.0.1(user): 2\r"));
    EXPECT_FALSE(report.Has("address:b@x.example"));
}

TEST(Session, RefusedRetrSkipsOnlyThatMessage) {
    FakePop3Server server;
    FakeMailbox mb = MailboxOf({Message("a@x.example", "1"), Message("b@x.example", "2")});
    mb.overrides["RETR 2"] = "-ERR gone";
    RecordingReport report;
    CheckOptions options;
    options.inform = true;
    RunAgainst(server, mb, options, report);
    EXPECT_EQ(server.Received(), (Lines{"USER user", "PASS secret", "STAT", "RETR 2", "RETR 1", "QUIT"}));
    EXPECT_TRUE(report.Has("result:1:127.0.0.1(user): 1\r"));
    EXPECT_FALSE(report.Has("address:b@x.example"));
}

TEST(Session, InvalidMaskSkipsTheMessageItReaches) {
    FakePop3Server server;
    RecordingReport report;
    CheckOptions options;
    options.senderFilter = {"*@a.example", "[bad"};
    RunAgainst(server, MailboxOf({Message("y@a.example", "1"), Message("x@b.example", "2")}), options, report);
    // Message 2 reaches the broken entry and is skipped; message 1 matched before it.
    EXPECT_EQ(server.Received(), (Lines{"USER user", "PASS secret", "STAT", "TOP 2 0", "TOP 1 0", "DELE 1", "QUIT"}));
    EXPECT_TRUE(report.Has("result:0:127.0.0.1(user): 0\r"));
    EXPECT_FALSE(report.HasPrefix("address:"));
    EXPECT_EQ(server.Deleted(), (std::set<int>{1}));
}

struct BadCellRow {
    std::string port;
    std::string timeOut;
    std::string security;
    std::string error;
};

class SessionBadCells : public ::testing::TestWithParam<BadCellRow> {};

TEST_P(SessionBadCells, FailLikeARefusedConnect) {
    FakePop3Server server;
    server.ServeMailbox(MailboxOf({}));
    server.Start();
    AccountRow row = MakeRow(server.Port());
    const BadCellRow& p = GetParam();
    if (!p.port.empty()) {
        row.Port = p.port;
    }
    if (!p.timeOut.empty()) {
        row.TimeOut = p.timeOut;
    }
    row.Security = p.security;
    RecordingReport report;
    RunSession(row, CheckOptions{}, report);
    EXPECT_EQ(report.calls, (Lines{"status:", "failed:0", "error:0:127.0.0.1:user:" + p.error, "finished:7"}));
    EXPECT_EQ(server.Sessions(), 0);
}

INSTANTIATE_TEST_SUITE_P(Table, SessionBadCells,
                         ::testing::Values(BadCellRow{"11O", "", "0", "'11O' is not a valid integer value"},
                                           BadCellRow{"", "1.5", "0", "'1.5' is not a valid integer value"},
                                           BadCellRow{"", " 10", "0", "' 10' is not a valid integer value"},
                                           BadCellRow{"99999999999", "", "0",
                                                      "'99999999999' is not a valid integer value"},
                                           BadCellRow{"", "", "7", "Unknown connection security 7."}));

TEST(Session, RefusedConnectFailsTheAccount) {
    int port = 0;
    {
        FakePop3Server probe; // a port that was free a moment ago and has no listener now
        port = probe.Port();
    }
    RecordingReport report;
    RunSession(MakeRow(port), CheckOptions{}, report);
    ASSERT_EQ(report.calls.size(), 5u);
    EXPECT_EQ(report.calls[1], "status:");
    EXPECT_EQ(report.calls[2], "failed:0");
    EXPECT_EQ(report.calls[3], "error:0:127.0.0.1:user:Socket Error # 10061\r\nConnection refused.");
}

TEST(Session, StopsWhenTheMainThreadIsGone) {
    FakePop3Server server;
    server.ServeMailbox(MailboxOf({Message("a@x.example", "1"), Message("b@x.example", "2")}));
    server.Start();
    RecordingReport report;
    // Connecting, connected, tray and the server count get through; then the window is gone.
    RunSession(MakeRow(server.Port()), CheckOptions{}, report, std::make_shared<InlineInvoker>(4));
    server.Join();
    EXPECT_EQ(report.calls.back(), "count:2");
    EXPECT_FALSE(report.HasPrefix("finished:"));
    EXPECT_FALSE(report.HasPrefix("address:"));
    EXPECT_EQ(CountOf(server.Received(), "QUIT"), 1); // nothing was deleted: the session still says goodbye
}

// Message 2 of the mailbox is spam by the sender list, message 1 is not.
void ServeOneSpam(FakePop3Server& server, CheckOptions& options) {
    server.ServeMailbox(MailboxOf({Message("a@x.example", "1"), Message("junk@spam.example", "2")}));
    server.Start();
    options.senderFilter = {"*@spam.example"};
}

TEST(Session, DeletionsNobodyCanRecordAreNotCommitted) {
    FakePop3Server server;
    RecordingReport report;
    CheckOptions options;
    ServeOneSpam(server, options);
    // Message 2 is deleted; the window is gone before the address of message 1 can be collected.
    RunSession(MakeRow(server.Port()), options, report, std::make_shared<InlineInvoker>(4));
    server.Join();
    EXPECT_EQ(CountOf(server.Received(), "DELE 2"), 1);
    EXPECT_EQ(CountOf(server.Received(), "QUIT"), 0);
    EXPECT_TRUE(server.Deleted().empty());
    EXPECT_TRUE(report.deletions.empty());
}

// QUIT went out, then the main thread stopped taking calls: the committed deletions wait on the
// link for the cycle to write them on its way out.
TEST(Session, DeletionsCommittedAfterTheMainThreadClosedWaitOnTheLink) {
    FakePop3Server server;
    RecordingReport report;
    CheckOptions options;
    ServeOneSpam(server, options);
    // Connecting, connected, tray, count, the messages' results, the record made ready before
    // QUIT; the last call finds it gone.
    auto link = std::make_shared<SessionLink>(std::make_shared<InlineInvoker>(6), &report);
    TConnThread::Create(MakeRow(server.Port()), options, link, 7, 0, 10000)->Execute();
    server.Join();
    EXPECT_EQ(server.Deleted(), (std::set<int>{2}));
    EXPECT_TRUE(report.deletions.empty());
    const auto unreported = link->TakeUnreported();
    ASSERT_EQ(unreported.size(), 1u);
    ASSERT_EQ(unreported[0].second.size(), 1u);
    EXPECT_TRUE(unreported[0].second[0].committed);
    EXPECT_EQ(unreported[0].second[0].sender, "junk@spam.example");
}

TEST(Session, DryRunDeletesNothingAndReportsTheMatch) {
    FakePop3Server server;
    RecordingReport report;
    CheckOptions options;
    ServeOneSpam(server, options);
    options.dryRun = true;
    RunSession(MakeRow(server.Port()), options, report);
    server.Join();
    EXPECT_EQ(CountOf(server.Received(), "DELE 2"), 0);
    EXPECT_TRUE(report.deletions.empty());
    ASSERT_EQ(report.wouldDelete.size(), 1u);
    EXPECT_EQ(report.wouldDelete[0].sender, "junk@spam.example");
    EXPECT_EQ(report.wouldDelete[0].entry, "*@spam.example");
    EXPECT_TRUE(report.Has("spam")); // counted as spam all the same
    EXPECT_FALSE(report.Has("address:junk@spam.example"));
}

TEST(Session, AbortEndsAStalledRead) {
    FakePop3Server server;
    LoginScript(server).Expect("STAT").Stall();
    server.Start();
    RecordingReport report;
    auto invoker = std::make_shared<InlineInvoker>();
    auto link = std::make_shared<SessionLink>(invoker, &report);
    // Generous time-out: only the abort can end the read in time for the wait below.
    auto worker =
        TConnThread::Create(MakeRow(server.Port(), "user", "secret", "600"), CheckOptions{}, link, 3, 0, 600000);
    worker->Start();
    bool atStat = false;
    while (!atStat) { // wait until the session is at STAT; the report is read under the invoker's lock
        invoker->invokeOnMainThread([&] { atStat = report.HasPrefix("tray"); });
        std::this_thread::yield();
    }
    worker->Abort();
    ASSERT_TRUE(link->WaitForThreads(std::chrono::seconds(60)));
    EXPECT_EQ(report.calls.back(), "finished:3");
    server.Stop();
}

TEST(Session, SilentServerEndsAfterTheTimeOut) {
    FakePop3Server server;
    LoginScript(server).Expect("STAT").Stall();
    server.Start();
    RecordingReport report;
    RunSession(MakeRow(server.Port(), "user", "secret", "1"), CheckOptions{}, report);
    EXPECT_TRUE(report.Has("result:0:127.0.0.1(user): 0\r"));
    EXPECT_TRUE(report.Has("error:0:127.0.0.1:user:Read Timeout"));
    EXPECT_EQ(report.calls.back(), "finished:7");
    server.Stop();
}

} // namespace
} // namespace qm::test
