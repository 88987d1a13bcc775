#include "engine/Mask.h"
#include "engine/MessageEvaluation.h"
#include "pop3/IdMessage.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace qm {
namespace {

TIdMessage MakeMessage(const std::string& from, const std::string& subject, int attachments = 0) {
    TIdMessage message;
    message.From.Address = from;
    message.Subject = subject;
    for (int i = 0; i < attachments; ++i) {
        message.MessageParts.Add(std::make_unique<TIdAttachment>());
    }
    return message;
}

std::string MaskError(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const EMaskException& e) {
        return e.what();
    }
    return "";
}

// KOI8-R encoded word for "Счёт invoice", left encoded by the message parser.
const std::string kKoi8Subject = "=?koi8-r?Q?=F3=DE=A3=D4_invoice?=";

struct SpamRow {
    const char* name;
    std::vector<std::string> senderList;
    bool senderEnabled;
    std::vector<std::string> subjectList;
    bool subjectEnabled;
    std::string from;
    std::string subject;
    bool expected;
};

class SpamTable : public ::testing::TestWithParam<SpamRow> {};

TEST_P(SpamTable, Decides) {
    const SpamRow& row = GetParam();
    CheckOptions options;
    options.senderFilter = row.senderList;
    options.senderFilterEnabled = row.senderEnabled;
    options.subjectFilter = row.subjectList;
    options.subjectFilterEnabled = row.subjectEnabled;
    EXPECT_EQ(IsSpam(MakeMessage(row.from, row.subject), options), row.expected) << row.name;
}

INSTANTIATE_TEST_SUITE_P(
    Table, SpamTable,
    ::testing::Values(
        SpamRow{"no entries", {}, true, {}, true, "a@x.example", "hi", false},
        SpamRow{"plain address, other case", {"john@example.com"}, true, {}, true, "John@EXAMPLE.com", "", true},
        SpamRow{
            "plain address is not a prefix", {"john@example.com"}, true, {}, true, "john@example.com.au", "", false},
        SpamRow{"domain mask", {"*@spam.example"}, true, {}, true, "x@spam.example", "", true},
        SpamRow{"star deletes a message without sender", {"*"}, true, {}, true, "", "", true},
        SpamRow{"a blank entry never matches, not even the empty sender", {""}, true, {}, true, "", "hi", false},
        SpamRow{"empty entry only matches empty", {""}, true, {}, true, "a@x.example", "hi", false},
        SpamRow{"disabled sender list", {"*"}, false, {}, true, "a@x.example", "hi", false},
        SpamRow{"subject list", {}, true, {"*offer*"}, true, "a@x.example", "Big OFFER now", true},
        SpamRow{"disabled subject list", {}, true, {"*offer*"}, false, "a@x.example", "Big offer", false},
        SpamRow{"subject decoded before matching", {}, true, {"*invoice*"}, true, "a@x.example", kKoi8Subject, true},
        SpamRow{
            "sender list misses, subject hits", {"*@other.example"}, true, {"hi"}, true, "a@x.example", "HI", true}));

TEST(SpamOrder, SenderListBeforeSubjectList) {
    CheckOptions options;
    options.senderFilter = {"*@x.example"};
    options.subjectFilter = {"[broken"};
    EXPECT_TRUE(IsSpam(MakeMessage("a@x.example", "s"), options)); // decided before the bad entry
    EXPECT_EQ(MaskError([&] { IsSpam(MakeMessage("a@y.example", "s"), options); }),
              "'[broken' is an invalid mask at (8)");
}

TEST(SpamOrder, FirstMatchingEntryDecides) {
    CheckOptions options;
    options.senderFilter = {"[a", "*@x.example"};
    EXPECT_THROW(IsSpam(MakeMessage("a@x.example", "s"), options), EMaskException);
    options.senderFilter = {"*@x.example", "[a"};
    EXPECT_TRUE(IsSpam(MakeMessage("a@x.example", "s"), options));
}

TEST(SpamOrder, DisabledSenderListIsNotTried) {
    CheckOptions options;
    options.senderFilter = {"[broken"};
    options.senderFilterEnabled = false;
    options.subjectFilter = {"*offer*"};
    EXPECT_TRUE(IsSpam(MakeMessage("a@x.example", "an offer"), options));
    EXPECT_FALSE(IsSpam(MakeMessage("a@x.example", "news"), options));
}

struct NoticeRow {
    const char* name;
    bool attach;
    bool useFrom;
    std::vector<std::string> fromMasks;
    bool useSubject;
    std::vector<std::string> subjectMasks;
    std::string from;
    std::string subject;
    int attachments;
    bool expected;
};

class NoticeTable : public ::testing::TestWithParam<NoticeRow> {};

TEST_P(NoticeTable, Decides) {
    const NoticeRow& row = GetParam();
    CheckOptions options;
    options.inform = true;
    options.attach = row.attach;
    options.useFrom = row.useFrom;
    options.fromMasks = row.fromMasks;
    options.useSubject = row.useSubject;
    options.subjectMasks = row.subjectMasks;
    TIdMessage message = MakeMessage(row.from, row.subject, row.attachments);
    EXPECT_EQ(MeetsNoticeConditions(message, options), row.expected) << row.name;
}

INSTANTIATE_TEST_SUITE_P(
    Table, NoticeTable,
    ::testing::Values(
        NoticeRow{"all conditions off", false, false, {}, false, {}, "a@x.example", "s", 0, true},
        NoticeRow{"attachments: one part", true, false, {}, false, {}, "a@x.example", "s", 1, true},
        NoticeRow{"attachments: none", true, false, {}, false, {}, "a@x.example", "s", 0, false},
        NoticeRow{"sender condition, empty list", false, true, {}, false, {}, "a@x.example", "s", 0, false},
        NoticeRow{"sender condition matches", false, true, {"*@x.example"}, false, {}, "a@X.example", "s", 0, true},
        NoticeRow{"sender off ignores its list", false, false, {"nobody"}, false, {}, "a@x.example", "s", 0, true},
        NoticeRow{"subject condition, decoded", false, false, {}, true, {"*invoice*"}, "a", kKoi8Subject, 0, true},
        NoticeRow{"subject condition misses", false, false, {}, true, {"*invoice*"}, "a", "hello", 0, false},
        NoticeRow{"all three must hold", true, true, {"*@x.example"}, true, {"*"}, "a@x.example", "s", 0, false},
        NoticeRow{"all three hold", true, true, {"*@x.example"}, true, {"*"}, "a@x.example", "s", 2, true}));

TEST(NoticeOrder, BothMaskTestsRunWhateverTheOtherResults) {
    CheckOptions options;
    options.attach = true; // the message has no attachments, so the answer is already no
    options.useFrom = true;
    options.fromMasks = {"[first"};
    options.useSubject = true;
    options.subjectMasks = {"[second"};
    TIdMessage message = MakeMessage("a@x.example", "s");
    EXPECT_EQ(MaskError([&] { MeetsNoticeConditions(message, options); }), "'[first' is an invalid mask at (7)");
    options.fromMasks = {"nomatch"};
    EXPECT_EQ(MaskError([&] { MeetsNoticeConditions(message, options); }), "'[second' is an invalid mask at (8)");
}

TEST(NoticeOrder, PartCountsAreBroughtUpToDate) {
    CheckOptions options;
    options.attach = true;
    TIdMessage message = MakeMessage("a@x.example", "s", 1);
    ASSERT_EQ(message.AttachmentCount, 0);
    EXPECT_TRUE(MeetsNoticeConditions(message, options));
    EXPECT_EQ(message.AttachmentCount, 1);
}

TEST(ConditionLists, MatchInListOrder) {
    CheckOptions options;
    options.fromMasks = {"*@a.example", "[x"};
    EXPECT_TRUE(SenderMatches("me@a.example", options));
    EXPECT_THROW(SenderMatches("me@b.example", options), EMaskException);
    options.subjectMasks = {};
    EXPECT_FALSE(SubjectMatches("anything", options));
    options.subjectMasks = {"*\xF1\xF7\xE5\xF2*"}; // "счет" in code page 1251
    options.codePage = 1251;
    EXPECT_TRUE(SubjectMatches("=?koi8-r?Q?=D3=DE=C5=D4?=", options));
    EXPECT_FALSE(SubjectMatches("=?koi8-r?Q?=F3=FE=E5=F4?=", options)); // upper-case Cyrillic differs
}

TEST(MaskLists, AssigningNewTextsReplacesWhatWasCompiled) {
    MaskList list = {"a*", "[bad"};
    EXPECT_TRUE(list.AnyMatches("abc", 1252));
    list = {"b*", "c*"}; // same count of entries as before
    EXPECT_FALSE(list.AnyMatches("abc", 1252));
    EXPECT_TRUE(list.AnyMatches("cab", 1252));
    list = std::vector<std::string>{};
    EXPECT_TRUE(list.empty());
    EXPECT_FALSE(list.AnyMatches("abc", 1252));
}

TEST(MaskLists, CodePageDecidesHowTheMasksCompile) {
    const MaskList list = {std::string("*\x82\xA0")};
    const std::string value("\x82\x82\xA0", 3);
    EXPECT_FALSE(list.AnyMatches(value, 932)); // one two-byte character, then a single byte
    EXPECT_TRUE(list.AnyMatches(value, 1252));
    EXPECT_FALSE(list.AnyMatches(value, 932));
}

TEST(MaskLists, InvalidEntryFailsEveryMessageThatReachesIt) {
    const MaskList list = {"x", "[bad", "*"};
    EXPECT_TRUE(list.AnyMatches("x", 1252));
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(MaskError([&] { list.AnyMatches("y", 1252); }), "'[bad' is an invalid mask at (5)");
    }
    const MaskList copy = list;
    EXPECT_EQ(MaskError([&] { copy.AnyMatches("y", 1252); }), "'[bad' is an invalid mask at (5)");
    EXPECT_TRUE(copy.AnyMatches("X", 1252));
}

TEST(MaskLists, SessionCopiesMatchFromSeveralThreads) {
    CheckOptions options;
    std::vector<std::string> masks;
    for (int i = 0; i < 300; ++i) {
        masks.push_back("*@host" + std::to_string(i) + ".example");
    }
    options.senderFilter = masks;
    std::vector<TIdMessage> messages;
    int expected = 0;
    for (int i = 0; i < 200; ++i) {
        const std::string from = "user@host" + std::to_string(i * 7) + ".example";
        messages.push_back(MakeMessage(from, "s"));
        expected += i * 7 < 300 ? 1 : 0;
    }
    const CheckOptions shared = options; // copied before anything was compiled
    std::vector<int> counts(4, 0);
    std::vector<std::thread> workers;
    for (std::size_t w = 0; w < counts.size(); ++w) {
        // Two threads share one snapshot, two take copies of it, as session workers do.
        workers.emplace_back([&, w] {
            const CheckOptions copy = shared;
            const CheckOptions& used = w % 2 == 0 ? shared : copy;
            for (const TIdMessage& m : messages) {
                counts[w] += IsSpam(m, used) ? 1 : 0;
            }
        });
    }
    for (std::thread& t : workers) {
        t.join();
    }
    for (const int count : counts) {
        EXPECT_EQ(count, expected);
    }
    EXPECT_EQ(expected, 43);
}

} // namespace
} // namespace qm
