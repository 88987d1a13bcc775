#include "MessageTestSupport.h"
#include "pop3/IdMessage.h"
#include "pop3/MessageDecoders.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace qm;

namespace {

TIdMessage WithHeaders(const std::vector<std::string>& lines) {
    TIdMessage msg;
    msg.SetLocalOffsetSource([] { return 0; });
    for (const std::string& line : lines) {
        msg.Headers.Add(line);
    }
    return msg;
}

} // namespace

TEST(HeaderValue, LookupAndUnfolding) {
    const struct {
        std::vector<std::string> lines;
        const char* name;
        const char* value;
    } rows[] = {
        {{"SUBJECT: x"}, "Subject", "x"},
        {{"Subject: a", "  b"}, "Subject", "a b"},
        {{"Subject:   a  ", "\t b  ", " ", "  c"}, "subject", "a b c"},
        {{"Subject:", " b"}, "Subject", "b"},
        {{"From: x@y"}, "Subject", ""},
        {{"X-Subject: no", "Subject: yes"}, "Subject", "yes"},
        {{" Subject: folded", "Subject: real"}, "Subject", "real"},
        {{"Subject", "Subject: has colon"}, "Subject", "has colon"},
        {{"Subject: first", "Subject: second"}, "Subject", "first"},
        {{"Subject: a", "b: not a continuation"}, "Subject", "a"},
        {{"Subject:a:b"}, "Subject", "a:b"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(WithHeaders(row.lines).HeaderValue(row.name), row.value) << row.lines[0];
    }
}

TEST(DecodeEncodedWords, IsoAndWindowsWordsKeepTheirBytes) {
    const struct {
        const char* in;
        std::string out;
    } rows[] = {
        {"=?windows-1251?Q?=CF=F0=E8=E2=E5=F2?=", "\xCF\xF0\xE8\xE2\xE5\xF2"},
        {"=?koi8-r?B?8NLJ18XU?=", "=?koi8-r?B?8NLJ18XU?="},
        {"=?utf-8?Q?a_b?=", "=?utf-8?Q?a_b?="},
        {"=?ISO-8859-1?Q?a_b?=", "a b"},
        {"=?iso-8859-1?B?YWJj?=", "abc"},
        {"=?iso-8859-1?b?YQ==?=", "a"},
        {"=?iso-8859-1?B?YW?=", "a`"}, // the last group reaches into the closing "?="
        {"=?windows-1251?B?abc", "=?windows-1251?B?abc"},
        {"x =?ISO-8859-1?Q?a?= =?ISO-8859-1?Q?b?= y", "x a b y"},
        {"=?ISO-8859-1?Q?=4?=", "=4"},
        {"=?ISO-8859-1?Q?=e9?=", "\xE9"},
        {"=?windows-1252?Q?a?= =?iso-8859-1?Q?b?=", "a b"},
        {"Re: =?WINDOWS-1252?X?YWJj?=", "Re: abc"}, // any other letter is base64
        {"=?ISO-2022-JP?B?GyRCJEglORsoQkE=?=", "\x82\xC6\x83\x58"
                                               "A"},
        // Decoded text is searched again only after the word's first byte.
        {"=?ISO-8859-1?Q?y=3D=3FISO-8859-1=3FQ=3Fx=3F=3D?=", "yx"},
        {"=?ISO-8859-1?Q?=3D=3FISO-8859-1=3FQ=3Fx=3F=3D?=", "=?ISO-8859-1?Q?x?="},
        // An ISO word that never closes ends the search: a Windows word before it stays.
        {"=?windows-1252?Q?a?= =?ISO-bad", "=?windows-1252?Q?a?= =?ISO-bad"},
        {"=?ISO-8859-1?Q?=00a?=", "a"},
        {"", ""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(DecodeEncodedWords(row.in), row.out) << row.in;
    }
}

TEST(DecodeEncodedWords, BadHexInQWordIsAConversionError) {
    try {
        DecodeEncodedWords("=?ISO-8859-1?Q?=ZZx?=");
        FAIL() << "no exception";
    } catch (const EIdConvertError& e) {
        EXPECT_STREQ(e.what(), "'$ZZ' is not a valid integer value");
    }
}

TEST(FillFromHeaders, FieldsFromTheHeader) {
    TIdMessage msg = WithHeaders({
        "From: =?iso-8859-1?Q?J=F6rg?= <j@x.example>",
        "To: a@b.example, \"Doe, J\" <c@d.example>; Team: e@f.example;",
        "Cc: <>",
        "Subject: =?windows-1251?Q?=CF=F0?= news",
        "Content-Type: multipart/mixed; boundary=abc; charset=\"koi8-r\"",
        "Content-Transfer-Encoding: 7bit",
        "Message-Id: <1@x>",
        "Newsgroups: comp.a, comp.b",
        "Return-Receipt-To: r@x.example",
        "Reply-To: =?iso-8859-1?Q?x?= <rt@x.example>",
        "Sender: s@x.example",
        "Organization: Org",
        "X-Priority: 1 (Highest)",
    });
    msg.FillFromHeaders();
    EXPECT_EQ(msg.From.Address, "j@x.example");
    EXPECT_EQ(msg.From.Name, "J\xF6rg");
    EXPECT_EQ(msg.Subject, "\xCF\xF0 news");
    EXPECT_EQ(msg.CharSet, "KOI8-R");
    EXPECT_EQ(msg.ContentTransferEncoding, "7bit");
    ASSERT_EQ(msg.Recipients.size(), 3u);
    EXPECT_EQ(msg.Recipients[0].Address, "a@b.example");
    EXPECT_EQ(msg.Recipients[1].Name, "Doe, J");
    EXPECT_EQ(msg.Recipients[1].Address, "c@d.example");
    EXPECT_EQ(msg.Recipients[2].Address, "e@f.example");
    EXPECT_TRUE(msg.CCList.empty());
    EXPECT_EQ(msg.ReceiptRecipient.Address, "r@x.example");
    ASSERT_EQ(msg.ReplyTo.size(), 1u);
    EXPECT_EQ(msg.ReplyTo[0].Name, "=?iso-8859-1?Q?x?="); // Reply-To is not decoded
    EXPECT_EQ(msg.Sender.Address, "s@x.example");
    EXPECT_EQ(msg.Newsgroups, (std::vector<std::string>{"comp.a", "comp.b"}));
    EXPECT_EQ(msg.Priority, mpHighest);
    EXPECT_EQ(msg.Boundaries(), (std::vector<std::string>{"ABC"}));
}

TEST(FillFromHeaders, Priority) {
    const struct {
        std::vector<std::string> lines;
        TIdMessagePriority priority;
    } rows[] = {
        {{"Priority: urgent"}, mpHigh},
        {{"Priority: non-priority"}, mpLow},
        {{"X-Priority: 5"}, mpLowest},
        {{"X-Priority: 2 (High)"}, mpHigh},
        {{"X-Priority: abc"}, mpNormal},
        {{}, mpNormal},
        {{"Priority: normal", "X-Priority: 1"}, mpNormal},
        {{"X-Priority: 9"}, mpLowest},
        {{"X-Priority: 0"}, mpHighest},
    };
    for (const auto& row : rows) {
        TIdMessage msg = WithHeaders(row.lines);
        msg.FillFromHeaders();
        EXPECT_EQ(msg.Priority, row.priority) << (row.lines.empty() ? "" : row.lines[0]);
    }
}

TEST(FillFromHeaders, FailureStopsAtTheFailingField) {
    TIdMessage msg = WithHeaders({"Content-Type: text/plain", "Subject: =?ISO-8859-1?Q?=G1xx?=", "From: a@b"});
    EXPECT_THROW(msg.FillFromHeaders(), EIdConvertError);
    EXPECT_EQ(msg.ContentType, "text/plain");
    EXPECT_EQ(msg.From.Address, "");

    TIdMessage outside = WithHeaders({"From: <a@host1> d@host2", "Date: Tue, 07 Dec 2026 10:00:00 +0000"});
    EXPECT_THROW(outside.FillFromHeaders(), EIdEmailParseError);
    EXPECT_EQ(outside.Date, 0);
}

TEST(ReadHeaderBlock, EndLinesAndSkippedEmptyLines) {
    {
        test::TextLineSource src("Subject: a\r\n  b\r\n\r\nbody\r\n.\r\n");
        TIdMessage msg;
        msg.SetLocalOffsetSource([] { return 0; });
        EXPECT_EQ(msg.ReadHeaderBlock(src, ""), "");
        EXPECT_EQ(msg.Headers.Count(), 2u);
        EXPECT_EQ(msg.Headers[1], "  b"); // stored as received, still folded
        EXPECT_EQ(msg.Subject, "a b");
        EXPECT_FALSE(msg.EndLineSeen());
        EXPECT_EQ(src.Remaining(), 2u);
    }
    {
        test::TextLineSource src("Subject: top\r\n\r\n.\r\n");
        TIdMessage msg;
        msg.SetLocalOffsetSource([] { return 0; });
        EXPECT_EQ(msg.ReadHeaderBlock(src, "."), ".");
        EXPECT_EQ(msg.Headers.Count(), 1u);
        EXPECT_TRUE(msg.EndLineSeen());
        EXPECT_EQ(src.Remaining(), 0u);
    }
    {
        test::TextLineSource src("Subject: no body\r\n.\r\n");
        TIdMessage msg;
        msg.SetLocalOffsetSource([] { return 0; });
        EXPECT_EQ(msg.ReadHeaderBlock(src, ""), ".");
        EXPECT_TRUE(msg.EndLineSeen());
    }
}

TEST(ClearMessage, EmptiesEverything) {
    TIdMessage msg = test::ParseText("From: A <a@b>\r\nSubject: s\r\nX-Priority: 1\r\n"
                                     "Content-Type: multipart/mixed; boundary=q\r\n\r\n--q\r\n"
                                     "Content-Type: text/plain\r\n\r\nhi\r\n.\r\n");
    ASSERT_EQ(msg.MessageParts.Count(), 1u);
    msg.Clear();
    EXPECT_EQ(msg.Headers.Count(), 0u);
    EXPECT_EQ(msg.From.Text(), "");
    EXPECT_EQ(msg.Subject, "");
    EXPECT_EQ(msg.Date, 0);
    EXPECT_EQ(msg.Priority, mpNormal);
    EXPECT_EQ(msg.MessageParts.Count(), 0u);
    EXPECT_TRUE(msg.Boundaries().empty());
    EXPECT_TRUE(msg.Body.empty());
    EXPECT_FALSE(msg.EndLineSeen());
}
