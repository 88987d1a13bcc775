#include "MessageTestSupport.h"
#include "pop3/IdMessage.h"
#include "pop3/MessageDecoders.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace qm;
using test::ParseText;
using Lines = std::vector<std::string>;

namespace {

const TIdText& TextAt(const TIdMessage& msg, std::size_t i) {
    EXPECT_EQ(msg.MessageParts[i].PartKind(), TIdMessagePart::Kind::Text) << "part " << i;
    return static_cast<const TIdText&>(msg.MessageParts[i]);
}

const TIdAttachment& AttachmentAt(const TIdMessage& msg, std::size_t i) {
    EXPECT_EQ(msg.MessageParts[i].PartKind(), TIdMessagePart::Kind::Attachment) << "part " << i;
    return static_cast<const TIdAttachment&>(msg.MessageParts[i]);
}

TIdMessage ParseFixture(const std::string& name) {
    return ParseText(test::ReadFixture(name));
}

// The exception text of reading a whole message, and whether the final "." was consumed.
std::pair<std::string, bool> FailureOf(const std::string& text) {
    TIdMessage msg;
    msg.SetLocalOffsetSource([] { return 0; });
    test::TextLineSource source(text);
    try {
        test::ReadWholeMessage(msg, source);
    } catch (const EIdException& e) {
        return {e.what(), msg.EndLineSeen()};
    }
    return {"", msg.EndLineSeen()};
}

} // namespace

TEST(Base64, DecodesGroupsAndRejectsUnevenInput) {
    const struct {
        std::string in;
        std::string out;
    } rows[] = {
        {"YWJj", "abc"},          {"YQ==", "a"},
        {"YWI=", "ab"},           {"", ""},
        {"YWJjZA==", "abcd"},     {std::string(4, '\0'), std::string(3, '\0')},
        {"////", "\xFF\xFF\xFF"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(DecodeBase64(row.in), row.out) << row.in;
    }
    for (const char* uneven : {"YW", "YWJjZ", "YWJj\r\n", "YW Jj"}) {
        try {
            DecodeBase64(uneven);
            ADD_FAILURE() << uneven;
        } catch (const EIdException& e) {
            EXPECT_STREQ(e.what(), "Uneven size in DecodeToStream.");
        }
    }
}

TEST(QuotedPrintable, Rules) {
    const struct {
        const char* in;
        std::string out;
    } rows[] = {
        {"a=3Db", "a=b"}, {"abc=\r\n", "abc"},    {"abc  \t", "abc"},    {"abc \r\n", "abc\r\n"}, {"=41=42", "AB"},
        {"=4", "\x04"},   {"=4x", "\x04x"},       {"a_b", "a_b"},        {"x=20\n", "x \r\n"},    {"=\r\n=\r\n", ""},
        {"==41", "A"},    {"=e9=E9", "\xE9\xE9"}, {"a=\r\r\nb", "a\nb"}, {"a \t \r\n", "a\r\n"},  {"", ""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(DecodeQuotedPrintable(row.in), row.out) << row.in;
    }
}

TEST(MessageBody, MultipartWithAttachment) {
    TIdMessage msg = ParseFixture("multipart_attachment.eml");
    EXPECT_EQ(msg.From.Address, "alice@example.com");
    EXPECT_EQ(msg.Body, (Lines{"This is a multi-part message in MIME format.", "epilogue line"}));
    ASSERT_EQ(msg.MessageParts.Count(), 2u);
    EXPECT_EQ(TextAt(msg, 0).Body, (Lines{"Hello Bob,",
                                          "the report is attached. Gr\xFC\xDF"
                                          "e, a long line that wraps here.",
                                          ".dotted"}));
    EXPECT_EQ(TextAt(msg, 0).ContentTransfer, "quoted-printable");
    EXPECT_EQ(AttachmentAt(msg, 1).FileName, "report.zip");
    EXPECT_EQ(AttachmentAt(msg, 1).ExtraHeaders.Values("content-disposition"), "attachment; filename=\"report.zip\"");
    msg.UpdatePartCounts();
    EXPECT_EQ(msg.TextPartCount, 1);
    EXPECT_EQ(msg.AttachmentCount, 1);
    EXPECT_TRUE(msg.HasAttachments());
    EXPECT_TRUE(msg.Boundaries().empty());
    EXPECT_TRUE(msg.EndLineSeen());
}

TEST(MessageBody, NestedMultipartAndRelatedParts) {
    TIdMessage msg = ParseFixture("nested_alternative.eml");
    EXPECT_EQ(msg.Subject, "Gr\xFC\xDF"
                           "e");
    EXPECT_EQ(msg.From.Name, "Shop, Online");
    ASSERT_EQ(msg.MessageParts.Count(), 4u);
    EXPECT_TRUE(TextAt(msg, 0).Body.empty()); // the multipart/alternative container
    EXPECT_EQ(TextAt(msg, 1).Body, Lines{"plain version"});
    EXPECT_EQ(TextAt(msg, 2).Body, Lines{"<p>html version</p>"});
    EXPECT_EQ(AttachmentAt(msg, 3).FileName, "logo.png");
    msg.UpdatePartCounts();
    EXPECT_EQ(msg.TextPartCount, 3);
    EXPECT_EQ(msg.AttachmentCount, 1);
    EXPECT_EQ(msg.RelatedPartCount, 1);
    ASSERT_NE(msg.MessageParts.LastText(), nullptr);
    EXPECT_EQ(msg.MessageParts.LastText()->Body, Lines{"<p>html version</p>"});
    EXPECT_TRUE(msg.Body.empty());
}

TEST(MessageBody, UuencodedBlockIsAnAttachment) {
    TIdMessage msg = ParseFixture("uuencoded.eml");
    EXPECT_EQ(msg.Body, (Lines{"Here is the file:", "", "Regards"}));
    ASSERT_EQ(msg.MessageParts.Count(), 1u);
    EXPECT_EQ(AttachmentAt(msg, 0).FileName, "file.zip");
    msg.UpdatePartCounts();
    EXPECT_EQ(msg.AttachmentCount, 1);
}

TEST(MessageBody, BodyEncodedMultipartHasOnlyTextParts) {
    TIdMessage msg = ParseFixture("multipart_eightbit.eml");
    ASSERT_EQ(msg.MessageParts.Count(), 1u);
    EXPECT_EQ(TextAt(msg, 0).Body.size(), 4u);
    msg.UpdatePartCounts();
    EXPECT_EQ(msg.AttachmentCount, 0);
}

TEST(MessageBody, WholeBodyInBase64IsOneTextPart) {
    TIdMessage msg = ParseFixture("base64_body.eml");
    ASSERT_EQ(msg.MessageParts.Count(), 1u);
    EXPECT_EQ(TextAt(msg, 0).Body, (Lines{"first line", "second line"}));
    EXPECT_TRUE(msg.Body.empty());
}

// Which parts count as attachments, from a part's own header lines.
TEST(MessageBody, PartKinds) {
    const struct {
        const char* partHeader;
        bool attachment;
        const char* fileName;
    } rows[] = {
        {"Content-Disposition: attachment; filename=a.zip", true, "a.zip"},
        {"Content-Type: image/png; name=x.png", true, "x.png"},
        {"Content-Type: text/plain", false, ""},
        {"Content-Type: text/plain\r\nContent-Disposition: inline", false, ""},
        {"Content-Disposition: ATTACHMENT", true, ""},
        {"Content-Disposition: inline; filename=i.txt", false, ""},
        {"Content-Type: application/octet-stream; Name=\"q.bin\"", true, "q.bin"},
        {"Content-Disposition: attachment; filename=\"=?iso-8859-1?Q?r=E9sum=E9.pdf?=\"", true, "r\xE9sum\xE9.pdf"},
        {"Content-Type: application/pdf;\r\n\tname=folded.pdf", true, "folded.pdf"},
        {"", false, ""},
    };
    for (const auto& row : rows) {
        std::string text = "Content-Type: multipart/mixed; boundary=\"b1\"\r\n\r\n--b1\r\n";
        text += row.partHeader;
        text += std::string(*row.partHeader ? "\r\n" : "") + "\r\ncontent\r\n--b1--\r\n.\r\n";
        TIdMessage msg = ParseText(text);
        ASSERT_EQ(msg.MessageParts.Count(), 1u) << row.partHeader;
        const bool isAttachment = msg.MessageParts[0].PartKind() == TIdMessagePart::Kind::Attachment;
        EXPECT_EQ(isAttachment, row.attachment) << row.partHeader;
        if (isAttachment) {
            EXPECT_EQ(AttachmentAt(msg, 0).FileName, row.fileName) << row.partHeader;
        }
    }
}

TEST(MessageBody, BoundaryForms) {
    // Unquoted, followed by another parameter, met in another letter case.
    TIdMessage msg = ParseText("Content-Type: multipart/mixed; boundary=abc; charset=x\r\n\r\n"
                               "--ABC\r\nContent-Type: text/plain\r\n\r\none\r\n--aBc\r\n\r\ntwo\r\n--abc--\r\n.\r\n");
    ASSERT_EQ(msg.MessageParts.Count(), 2u);
    EXPECT_EQ(TextAt(msg, 0).Body, Lines{"one"});
    EXPECT_EQ(TextAt(msg, 1).Body, Lines{"two"});
    // A line that only looks like a boundary stays content; without a boundary nothing starts.
    TIdMessage plain = ParseText("Subject: x\r\n\r\n--abc\r\n..dot\r\n.x\r\n.\r\n");
    EXPECT_EQ(plain.Body, (Lines{"--abc", ".dot", ".x"}));
    EXPECT_EQ(plain.MessageParts.Count(), 0u);
}

TEST(MessageBody, PartLinesLoseTheServersLeadingDot) {
    TIdMessage msg =
        ParseText("Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n\r\n..one\r\n.two\r\n"
                  "--b\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n..three=3D\r\n--b--\r\n.\r\n");
    ASSERT_EQ(msg.MessageParts.Count(), 2u);
    EXPECT_EQ(TextAt(msg, 0).Body, (Lines{".one", "two"}));
    EXPECT_EQ(TextAt(msg, 1).Body, Lines{".three="});
}

TEST(MessageBody, UuencodeStartRules) {
    const struct {
        const char* line;
        bool starts;
    } rows[] = {
        {"begin 644 file.zip", true}, {"BEGIN 600 x", true},        {"begin 000 x", false},
        {"begin 64 file.zip", false}, {"begin 644file.zip", false}, {"begin 6x4 f", false},
    };
    for (const auto& row : rows) {
        TIdMessage msg = ParseText(std::string("Subject: u\r\n\r\n") + row.line + "\r\nM0000\r\nend\r\n.\r\n");
        EXPECT_EQ(msg.MessageParts.Count(), row.starts ? 1u : 0u) << row.line;
    }
    TIdMessage xx = ParseText("Subject: u\r\n\r\nbegin 644 x.bin\r\nh+0000\r\n  END  \r\nafter\r\n.\r\n");
    EXPECT_EQ(xx.MessageParts.Count(), 1u);
    EXPECT_EQ(xx.Body, Lines{"after"});
    TIdMessage open = ParseText("Subject: u\r\n\r\nbegin 644 x.bin\r\nM0000\r\n.\r\n");
    EXPECT_EQ(open.MessageParts.Count(), 1u);
    EXPECT_TRUE(open.EndLineSeen());
}

TEST(MessageBody, FailuresAndWhetherTheEndWasConsumed) {
    const struct {
        const char* text;
        const char* error;
        bool endSeen;
    } rows[] = {
        {"Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\nContent-Type: text/plain\r\n.\r\n",
         "Unknown Message Part Type.", true},
        {"Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\nContent-Transfer-Encoding: base64\r\n\r\nYWJ\r\n"
         "--b--\r\n.\r\n",
         "Uneven size in DecodeToStream.", false},
        {"Content-Transfer-Encoding: base64\r\n\r\nYWJjZ\r\n.\r\n", "Uneven size in DecodeToStream.", false},
        {"Subject: u\r\n\r\nbegin 644 f.zip\r\nX0000\r\nend\r\n.\r\n", "Unrecognized UUE encoding scheme.", false},
        {"Subject: u\r\n\r\nbegin 644 f.zip\r\n\r\nend\r\n.\r\n", "Unrecognized UUE encoding scheme.", false},
        {"Subject: u\r\n\r\nbegin 644 f.zip\r\n.\r\n", "Unrecognized UUE encoding scheme.", true},
        {"Subject: ok\r\n\r\nbody\r\n.\r\n", "", true},
    };
    for (const auto& row : rows) {
        const auto [error, endSeen] = FailureOf(row.text);
        EXPECT_EQ(error, row.error) << row.text;
        EXPECT_EQ(endSeen, row.endSeen) << row.text;
    }
}
