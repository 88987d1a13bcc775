// The IMAP reply reader on bytes in memory: every reply shape, literals anywhere, the three
// states, and every bound.

#include "imap/ImapReply.h"
#include "imap/ImapFolders.h"
#include "imap/ImapStrings.h"

#include <gtest/gtest.h>

#include <string>

namespace qm {
namespace {

using State = ImapReply::State;

// A reply written back compactly: strings in <>, literals in {}, NIL as -, lists in ().
std::string Render(const ImapItem& item) {
    switch (item.kind) {
    case ImapItem::Kind::Atom:
        return item.text;
    case ImapItem::Kind::Nil:
        return "-";
    case ImapItem::Kind::String:
        return (item.literal ? "{" : "<") + item.text + (item.literal ? "}" : ">");
    case ImapItem::Kind::List:
        break;
    }
    std::string out = "(";
    for (std::size_t i = 0; i < item.items.size(); ++i) {
        out += (i > 0 ? " " : "") + Render(item.items[i]);
    }
    return out + ")";
}

std::string Render(const ImapReply& r) {
    if (r.type == ImapReply::Type::Continuation) {
        return "+ " + r.text;
    }
    std::string out = r.type == ImapReply::Type::Tagged ? r.tag : "*";
    if (!r.status.empty()) {
        return out + " " + r.status + " [" + r.code + "] " + r.text;
    }
    out += r.number ? " " + std::to_string(*r.number) : "";
    out += " " + r.name;
    for (const ImapItem& item : r.items) {
        out += " " + Render(item);
    }
    return out;
}

struct Case {
    const char* name;
    std::string bytes;
    State state;
    std::string rendered; // Complete: the reply; Malformed: part of the error; Incomplete: pending
};

ImapLimits Small() {
    ImapLimits limits;
    limits.maxReplyBytes = 64;
    limits.maxLiteralBytes = 16;
    limits.maxDepth = 3;
    limits.maxItems = 8;
    return limits;
}

class ImapReplyCases : public testing::TestWithParam<Case> {};

TEST_P(ImapReplyCases, ReadsAsExpected) {
    const Case& c = GetParam();
    const ImapReply reply = ReadImapReply(c.bytes, Small());
    ASSERT_EQ(reply.state, c.state) << c.name << ": " << reply.error;
    if (c.state == State::Complete) {
        EXPECT_EQ(Render(reply), c.rendered) << c.name;
        EXPECT_LE(reply.consumed, c.bytes.size());
        // What follows the reply is the next reply's.
        EXPECT_EQ(ReadImapReply(c.bytes.substr(0, reply.consumed) + "* OK next\r\n", Small()).consumed, reply.consumed);
    } else if (c.state == State::Malformed) {
        EXPECT_NE(reply.error.find(c.rendered), std::string::npos) << c.name << ": " << reply.error;
    } else {
        EXPECT_EQ(std::to_string(reply.literalPending), c.rendered) << c.name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ImapReplyCases,
    testing::Values(
        Case{"tagged ok", "Q0001 OK done\r\n", State::Complete, "Q0001 OK [] done"},
        Case{"status code", "* OK [UIDNEXT 12] Predicted\r\n", State::Complete, "* OK [UIDNEXT 12] Predicted"},
        Case{"no, lower case", "a1 no [TRYCREATE] gone\r\n", State::Complete, "a1 NO [TRYCREATE] gone"},
        Case{"bye without text", "* BYE\r\n", State::Complete, "* BYE [] "},
        Case{"status text keeps quotes", "* OK \"odd { text\r\n", State::Complete, "* OK [] \"odd { text"},
        Case{"continuation", "+ idling\r\n", State::Complete, "+ idling"},
        Case{"bare continuation", "+\r\n", State::Complete, "+ "},
        Case{"exists", "* 23 EXISTS\r\n", State::Complete, "* 23 EXISTS"},
        Case{"LF only", "* 2 EXPUNGE\n", State::Complete, "* 2 EXPUNGE"},
        Case{"empty search", "* SEARCH\r\n", State::Complete, "* SEARCH"},
        Case{"search, trailing space", "* SEARCH 4 9 \r\n", State::Complete, "* SEARCH 4 9"},
        Case{"list", "* LIST (\\Junk \\HasNoChildren) \".\" Junk\r\n", State::Complete,
             "* LIST (\\Junk \\HasNoChildren) <.> Junk"},
        Case{"list nil delimiter, escapes", "* LIST () NIL \"a\\\"b\\\\c\"\r\n", State::Complete,
             "* LIST () - <a\"b\\c>"},
        Case{"literal folder name", "* LIST () \"/\" {3}\r\nJ\"k\r\n", State::Complete, "* LIST () </> {J\"k}"},
        Case{"fetch with literal", "* 1 FETCH (UID 7 BODY[HEADER] {5}\r\nA\r\n\r\n)\r\n", State::Complete,
             "* 1 FETCH (UID 7 BODY[HEADER] {A\r\n\r\n})"},
        Case{"two literals", "* 1 FETCH (A {1}\r\nx B {2}\r\n)()\r\n", State::Complete, "* 1 FETCH (A {x} B {)(})"},
        Case{"empty literal", "* ID ({0}\r\n NIL)\r\n", State::Complete, "* ID ({} -)"},
        Case{"8-bit quoted", "* LIST () \"/\" \"Fr\xc3\xbch\"\r\n", State::Complete, "* LIST () </> <Fr\xc3\xbch>"},
        Case{"waits for a line", "* 3 EXI", State::Incomplete, "0"},
        Case{"waits for the literal", "* 1 FETCH (BODY[] {10}\r\nabc", State::Incomplete, "7"},
        Case{"waits after the literal", "* 1 FETCH (BODY[] {3}\r\nabc", State::Incomplete, "0"},
        Case{"empty input", "", State::Incomplete, "0"},
        Case{"tagged data", "Q1 FETCH (x)\r\n", State::Malformed, "not OK, NO or BAD"},
        Case{"no space after tag", "*\r\n", State::Malformed, "space after its tag"},
        Case{"open list", "* X (a b\r\n", State::Malformed, "closing its list"},
        Case{"unclosed quote", "* X \"ab\r\n", State::Malformed, "no closing quote"},
        Case{"bad literal size", "* X {1a}\r\n", State::Malformed, "no valid size"},
        Case{"literal size overflow", "* X {99999999999}\r\n", State::Malformed, "no valid size"},
        Case{"literal too big", "* X {17}\r\n", State::Malformed, "limit of 16"},
        Case{"literals together too big", "* X {9}\r\n123456789 {9}\r\n", State::Malformed, "limit of 16"},
        Case{"code without bracket", "* OK [ALERT hi\r\n", State::Malformed, "no \"]\""},
        Case{"number out of range", "* 4294967296 EXISTS\r\n", State::Malformed, "out of range"},
        Case{"too deep", "* X ((((a))))\r\n", State::Malformed, "deeper than 3"},
        Case{"too many items", "* X 1 2 3 4 5 6 7 8 9\r\n", State::Malformed, "more than 8 items"},
        Case{"too long", "* OK " + std::string(70, 'a') + "\r\n", State::Malformed, "longer than 64"},
        Case{"too long before its end", "* OK " + std::string(70, 'a'), State::Malformed, "longer than 64"},
        Case{"control byte in atom", std::string("* X a\x01\r\n"), State::Malformed, "line end"}));

struct Strings {
    const char* utf8;
    const char* mutf7;
};

class FolderNames : public testing::TestWithParam<Strings> {};

TEST_P(FolderNames, EncodeAndDecode) {
    EXPECT_EQ(EncodeFolderName(GetParam().utf8), GetParam().mutf7);
    EXPECT_EQ(DecodeFolderName(GetParam().mutf7), GetParam().utf8);
}

// Examples of RFC 3501 section 5.1.3, plus a character outside the BMP.
INSTANTIATE_TEST_SUITE_P(
    Names, FolderNames,
    testing::Values(Strings{"INBOX", "INBOX"}, Strings{"A&B", "A&-B"},
                    Strings{"~peter/mail/\xe5\x8f\xb0\xe5\x8c\x97/\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e",
                            "~peter/mail/&U,BTFw-/&ZeVnLIqe-"},
                    Strings{"Gel\xc3\xb6scht", "Gel&APY-scht"}, Strings{"\xf0\x9f\x93\xa7", "&2D3c5w-"}));

TEST(ImapStrings, QuotesSetsAndRanges) {
    EXPECT_EQ(QuoteImapString("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(QuoteImapString("line\r\nQ1 LOGOUT"), std::nullopt);
    EXPECT_EQ(UidSet({9, 3, 4, 5, 5, 11, 12}), "3:5,9,11:12");
    EXPECT_EQ(ParseUidSet("3:5,9"), (std::vector<std::uint32_t>{3, 4, 5, 9}));
    EXPECT_EQ(ParseUidSet("1:4294967295", 1000), std::nullopt);
    EXPECT_EQ(ParseUidSet("3,*"), std::nullopt);
    EXPECT_EQ(DecodeFolderName("&bad"), "&bad");
}

TEST(ImapFolders, WatchedAndSpamFolders) {
    EXPECT_EQ(WatchedFolders(""), std::vector<std::string>{"INBOX"});
    EXPECT_EQ(WatchedFolders(" inbox; Lists/qm ,INBOX,,Lists/qm"), (std::vector<std::string>{"INBOX", "Lists/qm"}));
    // Outlook: no SPECIAL-USE, found by name; Gmail: marked, and its \All folder is never taken.
    const std::vector<ImapFolder> outlook{{"Junk Email", "Junk Email", '/', {}},
                                          {"Deleted Items", "Deleted Items", '/', {}}};
    const std::vector<ImapFolder> gmail{{"[Gmail]/All Mail", "[Gmail]/All Mail", '/', {"\\All", "\\Junk"}},
                                        {"[Gmail]/Spam", "[Gmail]/Spam", '/', {"\\Junk"}},
                                        {"Spam", "Spam", '/', {}}};
    EXPECT_EQ(SpamFolder(outlook, false, "")->name, "Junk Email");
    EXPECT_EQ(SpamFolder(outlook, true, "")->name, "Deleted Items");
    EXPECT_EQ(SpamFolder(gmail, false, "")->name, "[Gmail]/Spam");
    EXPECT_EQ(SpamFolder(gmail, false, "Spam")->name, "Spam");
    EXPECT_FALSE(SpamFolder(gmail, true, "").has_value());
    EXPECT_FALSE(SpamFolder(outlook, false, "Quarantine").has_value());
}

} // namespace
} // namespace qm
