// The pipelined session against the one-command-at-a-time session: the same mailboxes must give
// the same results, and a server that breaks step must not get anything deleted unrecorded.
#include "FakePop3Server.h"
#include "SessionHarness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace qm::test {
namespace {

using Lines = std::vector<std::string>;

struct Outcome {
    Lines calls;     // every report call, in order: statuses, marks, addresses, saves, results, errors
    Lines deletions; // the deletion records, in order, with their commitment
    Lines wire;      // what the server received
    std::set<int> deleted;
};

Outcome Summary(const RecordingReport& report, Lines wire, std::set<int> deleted);

Outcome Check(FakeMailbox mailbox, const CheckOptions& options, bool pipelining, const std::string& timeOut = "10") {
    mailbox.capabilities = pipelining ? Lines{"TOP", "UIDL", "PIPELINING"} : Lines{};
    FakePop3Server server;
    server.ServeMailbox(mailbox);
    server.Start();
    RecordingReport report;
    RunSession(MakeRow(server.Port(), "user", "secret", timeOut), options, report);
    server.Join();
    return Summary(report, server.Received(), server.Deleted());
}

Outcome Summary(const RecordingReport& report, Lines wire, std::set<int> deleted) {
    Outcome out{report.calls, {}, std::move(wire), std::move(deleted)};
    for (const DeletionRecord& r : report.deletions) {
        out.deletions.push_back(r.sender + "|" + r.subject + "|" + r.list + ":" + r.entry + "|" +
                                (r.committed ? "committed" : "not committed"));
    }
    for (const DeletionRecord& r : report.wouldDelete) {
        out.deletions.push_back("would:" + r.sender + "|" + r.entry);
    }
    return out;
}

// A header line longer than the client takes: that one message fails to parse.
std::string Unparsable(const std::string& from) {
    return "From: " + from + "\r\nSubject: " + std::string(20000, 'x') + "\r\n\r\nbody\r\n";
}

std::string AttachmentMessage(const std::string& from, const std::string& file) {
    return "From: " + from + "\r\nSubject: see " + file +
           "\r\nMIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b1\"\r\n\r\n--b1\r\n"
           "Content-Type: text/plain\r\n\r\nattached\r\n--b1\r\nContent-Type: application/pdf; name=\"" +
           file + "\"\r\nContent-Disposition: attachment; filename=\"" + file +
           "\"\r\nContent-Transfer-Encoding: base64\r\n\r\nJVBERi0=\r\n--b1--\r\n";
}

struct Case {
    const char* name;
    std::vector<std::string> messages;
    bool inform = false;
    bool dryRun = false;
    std::map<std::string, std::string> overrides;
    bool attach = false;             // only messages with attachments are news
    const char* addedSpam = nullptr; // a sender entry added to the list between two checks
};

FakeMailbox Mixed() {
    return MailboxOf({Message("a@good.example", "one"), Message("x@spam.example", "buy"),
                      Message("b@good.example", "great offer inside"), Message("c@good.example", "four"),
                      Message("y@spam.example", "sell"), Message("d@work.example", "six")});
}

class PipelineDifferential : public ::testing::TestWithParam<Case> {};

TEST_P(PipelineDifferential, GivesWhatTheSequentialSessionGives) {
    const Case& c = GetParam();
    FakeMailbox mailbox = c.messages.empty() && std::string(c.name) != "empty" ? Mixed() : MailboxOf(c.messages);
    mailbox.overrides = c.overrides;
    CheckOptions options;
    options.senderFilter = {"*@spam.example"};
    options.subjectFilter = {"*offer*"};
    options.inform = c.inform;
    options.writeToFile = c.inform;
    options.useFrom = c.inform;
    options.fromMasks = {"*@work.example", "a@*"};
    options.dryRun = c.dryRun;

    const Outcome sequential = Check(mailbox, options, false);
    const Outcome pipelined = Check(mailbox, options, true);
    EXPECT_EQ(pipelined.calls, sequential.calls);
    EXPECT_EQ(pipelined.deletions, sequential.deletions);
    EXPECT_EQ(pipelined.deleted, sequential.deleted);
    // Both sent the same commands, only not in the same order; pipelined, each fetch has its LIST.
    Lines a = sequential.wire, b = pipelined.wire;
    std::erase_if(b, [](const std::string& line) { return line.starts_with("LIST "); });
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    EXPECT_EQ(a, b);
}

TEST_P(PipelineDifferential, KeptVerdictsGiveWhatAFullFetchGives) {
    const Case& c = GetParam();
    FakeMailbox mailbox = c.messages.empty() && std::string(c.name) != "empty" ? Mixed() : MailboxOf(c.messages);
    mailbox.overrides = c.overrides;
    for (std::size_t i = 0; i < mailbox.messages.size(); ++i) {
        mailbox.uids.push_back("id-" + std::to_string(i * 7 + 3));
    }
    CheckOptions options;
    options.senderFilter = {"*@spam.example"};
    options.subjectFilter = {"*offer*"};
    options.inform = c.inform || c.attach;
    options.writeToFile = c.inform;
    options.useFrom = c.inform;
    options.fromMasks = {"*@work.example", "a@*"};
    options.attach = c.attach;
    options.dryRun = c.dryRun;
    // One server for the checks that keep state: the account is known by its port.
    mailbox.capabilities = {"PIPELINING", "UIDL"};
    KeptChecks checks(mailbox);
    const auto keptCheck = [&](const CheckOptions& o) {
        auto [report, wire] = checks.Run(o);
        return Summary(report, wire, {});
    };
    EXPECT_EQ(keptCheck(options).calls, Check(mailbox, options, true).calls);
    if (c.addedSpam != nullptr) {
        options.senderFilter = {"*@spam.example", c.addedSpam};
    }
    const Outcome full = Check(mailbox, options, true);
    for (int round = 0; round < 2; ++round) {
        const Outcome again = keptCheck(options);
        EXPECT_EQ(again.calls, full.calls);
        EXPECT_EQ(again.deletions, full.deletions);
        // Only what could not be settled is read again: never more than a full check reads.
        const auto fetches = [](const Lines& wire) {
            return std::count_if(wire.begin(), wire.end(),
                                 [](const std::string& l) { return l.starts_with("TOP ") || l.starts_with("RETR "); });
        };
        EXPECT_LE(fetches(again.wire), fetches(full.wire));
        if (c.addedSpam == nullptr && c.overrides.empty() && !c.dryRun && !c.inform &&
            c.name != std::string("parse_failures")) {
            EXPECT_EQ(fetches(again.wire), static_cast<long>(full.deletions.size())) << "only the spam is read again";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Mailboxes, PipelineDifferential,
    ::testing::Values(
        Case{"spam_by_both_lists", {}, false, false, {}}, Case{"whole_messages_logged", {}, true, false, {}},
        Case{"dry_run", {}, false, true, {}}, Case{"empty", {}, false, false, {}},
        Case{"one_message", {Message("x@spam.example", "only")}, false, false, {}},
        Case{"parse_failures",
             {Message("a@good.example", "1"), Unparsable("x@spam.example"), Message("x@spam.example", "3"),
              Unparsable("b@good.example")},
             false,
             false,
             {}},
        Case{"refused_fetch_and_delete", {}, false, false, {{"TOP 5 0", "-ERR gone"}, {"DELE 2", "-ERR locked"}}},
        Case{"refused_retr", {}, true, false, {{"RETR 4", "-ERR gone"}}},
        Case{"attachments",
             {AttachmentMessage("a@good.example", "report.pdf"), Message("b@good.example", "none"),
              Message("x@spam.example", "buy")},
             false,
             false,
             {},
             true},
        Case{"list_edited_between_checks", {}, false, false, {}, false, "c@good.example"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Pipeline, DeleIsSentWithTheFetchesStillOutstanding) {
    CheckOptions options;
    options.senderFilter = {"*@spam.example"};
    const FakeMailbox mailbox =
        MailboxOf({Message("a@x.example", "1"), Message("b@x.example", "2"), Message("x@spam.example", "3")});
    const Lines login{"USER user", "PASS secret", "STAT"};
    const auto wire = [&](bool pipelining) {
        Lines w = Check(mailbox, options, pipelining).wire;
        return Lines(w.begin() + static_cast<long>(login.size()), w.end());
    };
    EXPECT_EQ(wire(false), (Lines{"TOP 3 0", "DELE 3", "TOP 2 0", "TOP 1 0", "QUIT"}));
    EXPECT_EQ(wire(true), (Lines{"TOP 3 0", "LIST 3", "TOP 2 0", "LIST 2", "TOP 1 0", "LIST 1", "DELE 3", "QUIT"}));
}

// A server that announces pipelining and then reads commands without answering them: the client
// sends one window of commands, highest number first, each fetch with its LIST, and no more.
TEST(Pipeline, WindowIsBoundedWhenTheServerDoesNotAnswer) {
    FakePop3Server server;
    server.SendLine("+OK ready")
        .Expect("CAPA")
        .Send("+OK\r\nPIPELINING\r\n.\r\n")
        .Reply("USER user", "+OK")
        .Reply("PASS secret", "+OK")
        .Reply("STAT", "+OK 5000 0")
        .Stall();
    server.Start();
    RecordingReport report;
    RunSession(MakeRow(server.Port(), "user", "secret", "1"), CheckOptions{}, report);
    server.Stop();
    const Lines wire = server.Received();
    ASSERT_GT(wire.size(), 4u); // CAPA, USER, PASS, STAT
    std::size_t bytes = 0;
    for (std::size_t i = 4; i < wire.size(); ++i) {
        const std::string number = std::to_string(5000 - static_cast<int>(i - 4) / 2);
        ASSERT_EQ(wire[i], (i % 2 == 0 ? "TOP " + number + " 0" : "LIST " + number));
        bytes += wire[i].size() + 2;
    }
    EXPECT_LE(bytes, 8192u);
    EXPECT_GT(bytes, 8192u - 34);
    EXPECT_TRUE(report.Has("failed:0")); // the read time-out ended the session
}

struct Hostile {
    const char* name;
    std::map<std::string, std::string> overrides;
    std::string closeOn;
    std::string errorPart;
};

class PipelineHostile : public ::testing::TestWithParam<Hostile> {};

// Message 4 is spam; whatever the server does, nothing is committed unless QUIT was reached after
// every reply was read in step, and no deletion is claimed without it.
TEST_P(PipelineHostile, EndsWithAnErrorAndCommitsNothingUnseen) {
    CheckOptions options;
    options.senderFilter = {"*@spam.example"};
    FakeMailbox mailbox = MailboxOf({Message("a@x.example", "1"), Message("b@x.example", "2"),
                                     Message("c@x.example", "3"), Message("x@spam.example", "4")});
    mailbox.overrides = GetParam().overrides;
    mailbox.closeOn = GetParam().closeOn;
    const Outcome out = Check(mailbox, options, true, "1");
    EXPECT_TRUE(std::any_of(out.calls.begin(), out.calls.end(), [](const std::string& call) {
        return call.rfind("error:0:127.0.0.1:user:", 0) == 0 && call.size() > 23;
    }));
    EXPECT_NE(std::find(out.calls.begin(), out.calls.end(), "failed:0"), out.calls.end());
    EXPECT_TRUE(out.deleted.empty());
    for (const std::string& record : out.deletions) {
        EXPECT_NE(record.find("not committed"), std::string::npos) << record;
    }
    EXPECT_EQ(std::count(out.calls.begin(), out.calls.end(), "spam"), 0);
    const std::string error = *std::find_if(out.calls.begin(), out.calls.end(), [](const std::string& call) {
        return call.rfind("error:0:127.0.0.1:user:", 0) == 0 && call.size() > 23;
    });
    EXPECT_NE(error.find(GetParam().errorPart), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Servers, PipelineHostile,
    ::testing::Values(
        // One reply too many, sent with the reply to the last command (DELE 4).
        Hostile{
            "more_replies_than_commands", {{"DELE 4", "+OK deleted\r\n+OK extra"}}, "", "more replies than commands"},
        // Answers the first fetches, and then nothing more.
        Hostile{"stalls_in_the_window", {{"TOP 1 0", ""}}, "", "Read Timeout"},
        // A reply without its end: the replies after it are read as its lines, and the LIST after
        // it gets the answer meant for message 1.
        Hostile{"out_of_step", {{"TOP 2 0", "+OK"}}, "", "out of step"},
        Hostile{"closes_after_half", {}, "TOP 2 0", ""},
        Hostile{"capabilities_past_a_mebibyte",
                {{"CAPA", "+OK\r\n" + test::MegabyteOfLines() + "."}},
                "",
                "Max line length exceeded."},
        // The spam's reply twice: without the LIST check the copy would be taken for message 3's.
        Hostile{"reply_twice",
                {{"TOP 4 0", "+OK\r\nFrom: x@spam.example\r\n\r\n.\r\n+OK\r\nFrom: x@spam.example\r\n\r\n."}},
                "",
                "its answer to LIST 4 names another message"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace qm::test
