#include "engine/Mask.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using qm::EMaskException;
using qm::MatchMask;
using qm::TMask;

namespace {

std::string repeat(const std::string& piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) {
        out += piece;
    }
    return out;
}

struct MatchRow {
    std::string mask;
    std::string value;
    bool expected;
};

class MaskMatching : public ::testing::TestWithParam<MatchRow> {};

TEST_P(MaskMatching, MatchesWholeValue) {
    const MatchRow& row = GetParam();
    EXPECT_EQ(MatchMask(row.value, row.mask), row.expected) << "mask '" << row.mask << "' value '" << row.value << "'";
}

INSTANTIATE_TEST_SUITE_P(
    Table, MaskMatching,
    ::testing::Values(
        // Empty mask and the lone star.
        MatchRow{"", "", true}, MatchRow{"", "a", false}, MatchRow{"*", "", true}, MatchRow{"*", "any value", true},
        MatchRow{"***", "", true},
        // Stars inside.
        MatchRow{"a*b", "ab", true}, MatchRow{"a*b", "aXXb", true}, MatchRow{"a*b", "AB", true},
        MatchRow{"a*b", "abc", false}, MatchRow{"*.org", "mail.example.org", true},
        MatchRow{"*.org", "mail.org.uk", false}, MatchRow{"*spam*", "xxSpAmyy", true}, MatchRow{"*spam*", "spa", false},
        MatchRow{"*a*b*c", "aXbYc", true}, MatchRow{"*a*b*c", "cba", false}, MatchRow{"*ab*ab", "aabab", true},
        MatchRow{"a*a*a", "aaa", true}, MatchRow{"a*a*a", "aa", false}, MatchRow{"*aab", "aaaab", true},
        MatchRow{"*a?c*", "xxabyabc", true},
        // Question marks.
        MatchRow{"?", "a", true}, MatchRow{"?", "", false}, MatchRow{"??", "a", false}, MatchRow{"a?", "a", false},
        MatchRow{"a?", "ab", true}, MatchRow{"*?", "", true}, MatchRow{"a*?", "a", true}, MatchRow{"?*", "", false},
        // Plain addresses: case of ASCII letters only, whole value.
        MatchRow{"spam", "SPAM", true}, MatchRow{"spam", "spam1", false},
        MatchRow{"john@example.com", "John@Example.COM", true},
        MatchRow{"john@example.com", "john@example.com.evil", false},
        // Sets, ranges, negation.
        MatchRow{"[a-c]x", "bx", true}, MatchRow{"[a-c]x", "Bx", true}, MatchRow{"[a-c]x", "dx", false},
        MatchRow{"[!a-c]x", "dx", true}, MatchRow{"[!a-c]x", "ax", false}, MatchRow{"[!a-c]x", "x", false},
        MatchRow{"[z-a]", "z", true}, MatchRow{"[z-a]", "Z", true}, MatchRow{"[z-a]", "a", false},
        MatchRow{"[z-a]", "y", false}, MatchRow{"[a-c-e]", "d", true}, MatchRow{"[a-c-e]", "f", false},
        MatchRow{"[abc]", "C", true}, MatchRow{"[!!]", "!", false}, MatchRow{"[!!]", "x", true},
        MatchRow{"[a--]", "a", true}, MatchRow{"[a--]", "-", false}, MatchRow{"[a-]]", "]", true},
        MatchRow{"[a-]]", "B", true}, MatchRow{"*[0-9]", "abc7", true}, MatchRow{"*[0-9]", "abc", false},
        MatchRow{"[*]", "*", true}, MatchRow{"[*]", "x", false}, MatchRow{"[?]", "?", true},
        // Characters that are literals outside a set.
        MatchRow{"]", "]", true}, MatchRow{"x-y", "x-y", true}, MatchRow{"a!b", "a!b", true}, MatchRow{"!", "!", true},
        // Non-ASCII bytes (code page 1251 Cyrillic) must agree exactly.
        MatchRow{"\xE0", "\xC0", false}, MatchRow{"\xE0", "\xE0", true}, MatchRow{"[\xE0]", "\xC0", false},
        MatchRow{"*\xF1\xEF\xE0\xEC*", "xx\xF1\xEF\xE0\xEC", true},
        // A value ends at an embedded NUL.
        MatchRow{"ab", std::string("ab\0cd", 5), true}, MatchRow{"ab*", std::string("ab\0", 3), true}));

struct ErrorRow {
    std::string mask;
    int position;
};

class MaskErrors : public ::testing::TestWithParam<ErrorRow> {};

TEST_P(MaskErrors, InvalidAtPosition) {
    const ErrorRow& row = GetParam();
    try {
        TMask mask(row.mask);
        FAIL() << "mask '" << row.mask << "' compiled";
    } catch (const EMaskException& e) {
        EXPECT_EQ(std::string(e.what()),
                  "'" + row.mask + "' is an invalid mask at (" + std::to_string(row.position) + ")");
    }
}

INSTANTIATE_TEST_SUITE_P(Table, MaskErrors,
                         ::testing::Values(
                             // Set not closed: length + 1.
                             ErrorRow{"[a-c", 5}, ErrorRow{"[", 2}, ErrorRow{"x[abc", 6}, ErrorRow{"[!", 3},
                             // Empty set: position of the "]".
                             ErrorRow{"[]", 2}, ErrorRow{"[!]", 3}, ErrorRow{"ab[]", 4},
                             // Range without a lower bound: position of the "-".
                             ErrorRow{"[-a]", 2}, ErrorRow{"[!-a]", 3}, ErrorRow{"x*[-]", 4},
                             // Range at the end of the text: set not closed.
                             ErrorRow{"[a-", 4}, ErrorRow{"x[a-", 5}, ErrorRow{"[a-]", 5},
                             // The 31st state after a star.
                             ErrorRow{repeat("*a", 31), 62}, ErrorRow{repeat("*a", 30) + "*", 62},
                             ErrorRow{repeat("*a", 30) + "*[bc]", 65}, ErrorRow{repeat("*a", 31) + "x", 62}));

TEST(MaskLimits, ThirtyStarGroupsAreValidAndMatch) {
    const std::string mask = repeat("*a", 30);
    const TMask compiled(mask);
    EXPECT_TRUE(compiled.Matches(repeat("a", 30)));
    EXPECT_TRUE(compiled.Matches(repeat("xa", 30) + "x" + "A"));
    EXPECT_FALSE(compiled.Matches(repeat("a", 29)));
    EXPECT_FALSE(compiled.Matches(repeat("a", 30) + "b"));
}

TEST(MaskLimits, ManyStarsOnLongValuesFinish) {
    // Exhaustive backtracking over 29 stars would never end on these values.
    const std::string mask = repeat("*a", 29) + "*b";
    EXPECT_FALSE(MatchMask(repeat("a", 5000), mask));
    EXPECT_TRUE(MatchMask(repeat("a", 5000) + "b", mask));
}

TEST(MaskLimits, QuestionMarkAfterStarIsNotAState) {
    // "*?" adds nothing, so thirty of them leave room for thirty more stars.
    EXPECT_NO_THROW(TMask(repeat("*?", 40) + repeat("*a", 30)));
    EXPECT_EQ(TMask("*?").StateCount(), 1u);
    EXPECT_EQ(TMask("a?b").StateCount(), 4u);
}

TEST(MaskCodePages, DoubleByteCharactersStayWhole) {
    // Code page 932: 0x82 0xA0 is one character; its trail byte is not a character of its own.
    const std::string hira("\x82\xA0", 2);
    EXPECT_TRUE(MatchMask(hira + "xyz", hira + "*", 932));
    EXPECT_TRUE(MatchMask("x" + hira, "*" + hira, 932));
    EXPECT_FALSE(MatchMask("x" + hira, "*" + hira + "?", 932));
    // 0x82 0x82 is one character, so the second 0x82 cannot start the searched one.
    EXPECT_FALSE(MatchMask(std::string("\x82\x82\xA0", 3), "*" + hira, 932));
    EXPECT_TRUE(MatchMask(std::string("\x82\x82\xA0", 3), "*" + hira, 1252));
    // The first search for the character after the second star steps over "\x82\x82" whole
    // and finds nothing; moving the first star on makes "?" take one 0x82, and the search then
    // starts at the second 0x82. Giving up after the first fruitless search would miss this.
    EXPECT_TRUE(MatchMask(std::string("aa\x82\x82\xA0", 5), "*a?*" + hira, 932));
    EXPECT_FALSE(MatchMask(std::string("a\x82\xA0", 3), "*a?*" + hira, 932)); // "?" takes the lead byte
    EXPECT_EQ(TMask(hira + "a", 932).StateCount(), 3u);
    EXPECT_EQ(TMask(hira + "a", 1252).StateCount(), 4u);
    // A two-byte character inside a set is dropped; the rest of the set stays.
    EXPECT_TRUE(MatchMask("a", "[" + hira + "a]", 932));
    EXPECT_THROW(TMask("[" + hira + "]", 932), EMaskException);
    EXPECT_FALSE(qm::IsLeadByte(1251, 0x82));
    EXPECT_TRUE(qm::IsLeadByte(936, 0xFE));
}

// A straightforward exhaustive matcher over tokens, to hold the compiled matcher against.
struct Token {
    char kind; // '*', '?', 'L' literal, 'S' set
    char ch;
    std::string set;
    bool negate;
};

char up(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

// Remembers every (token, position) answer, so long values stay cheap: a star either ends
// here or takes one more character.
struct Reference {
    const std::vector<Token>& t;
    const std::string& v;
    std::vector<signed char> memo = std::vector<signed char>((t.size() + 1) * (v.size() + 1), -1);

    bool match(std::size_t ti, std::size_t p) {
        signed char& known = memo[ti * (v.size() + 1) + p];
        if (known < 0) {
            known = compute(ti, p) ? 1 : 0;
        }
        return known == 1;
    }

    bool compute(std::size_t ti, std::size_t p);
};

bool Reference::compute(std::size_t ti, std::size_t p) {
    if (ti == t.size()) {
        return p == v.size();
    }
    const Token& tok = t[ti];
    if (tok.kind == '*') {
        std::size_t next = ti + 1;
        while (next < t.size() && (t[next].kind == '*' || t[next].kind == '?')) {
            ++next; // a "?" straight after a star is dropped
        }
        return match(next, p) || (p < v.size() && match(ti, p + 1));
    }
    if (p >= v.size()) {
        return false;
    }
    bool ok = false;
    if (tok.kind == '?') {
        ok = true;
    } else if (tok.kind == 'L') {
        ok = up(v[p]) == up(tok.ch);
    } else {
        const bool in = tok.set.find(up(v[p])) != std::string::npos;
        ok = in != tok.negate;
    }
    return ok && match(ti + 1, p + 1);
}

bool referenceMatch(const std::vector<Token>& t, const std::string& v) {
    Reference reference{t, v};
    return reference.match(0, 0);
}

TEST(MaskDifferential, AgreesWithExhaustiveSearch) {
    std::mt19937 rng(20240611);
    const std::string letters = "abAB";
    int matched = 0;
    for (int round = 0; round < 4000; ++round) {
        std::vector<Token> tokens;
        std::string mask;
        const int length = static_cast<int>(rng() % 7);
        for (int i = 0; i < length; ++i) {
            switch (rng() % 5) {
            case 0:
                tokens.push_back({'*', 0, "", false});
                mask += '*';
                break;
            case 1:
                tokens.push_back({'?', 0, "", false});
                mask += '?';
                break;
            case 2: {
                const bool negate = rng() % 2 == 0;
                tokens.push_back({'S', 0, "A", negate});
                mask += negate ? "[!a]" : "[a]";
                break;
            }
            default: {
                const char c = letters[rng() % letters.size()];
                tokens.push_back({'L', c, "", false});
                mask += c;
            }
            }
        }
        std::string value;
        const int valueLength = static_cast<int>(rng() % 8);
        for (int i = 0; i < valueLength; ++i) {
            value += letters[rng() % letters.size()];
        }
        const bool expected = referenceMatch(tokens, value);
        matched += expected ? 1 : 0;
        ASSERT_EQ(MatchMask(value, mask), expected) << "mask '" << mask << "' value '" << value << "'";
    }
    EXPECT_GT(matched, 200); // the generator really produces matches
}

// Long values made of one short piece repeated, with a short random tail: the shape of a
// hostile header that nearly matches a mask everywhere.
TEST(MaskDifferential, AgreesOnLongRepetitiveValues) {
    std::mt19937 rng(977);
    const std::string alphabet = "a@.";
    int matched = 0;
    for (int round = 0; round < 600; ++round) {
        std::vector<Token> tokens;
        std::string mask;
        const int length = 1 + static_cast<int>(rng() % 8);
        for (int i = 0; i < length; ++i) {
            const char c = alphabet[rng() % alphabet.size()];
            switch (rng() % 6) {
            case 0:
            case 1:
                tokens.push_back({'*', 0, "", false});
                mask += '*';
                break;
            case 2:
                tokens.push_back({'?', 0, "", false});
                mask += '?';
                break;
            case 3: {
                const bool negate = rng() % 2 == 0;
                tokens.push_back({'S', 0, std::string(1, up(c)), negate});
                mask += std::string(negate ? "[!" : "[") + c + "]";
                break;
            }
            default:
                tokens.push_back({'L', c, "", false});
                mask += c;
            }
        }
        std::string piece;
        for (int i = 0, n = 1 + static_cast<int>(rng() % 3); i < n; ++i) {
            piece += alphabet[rng() % alphabet.size()];
        }
        std::string value = repeat(piece, 200 + static_cast<int>(rng() % 800));
        for (int i = 0, n = static_cast<int>(rng() % 4); i < n; ++i) {
            value += alphabet[rng() % alphabet.size()];
        }
        const bool expected = referenceMatch(tokens, value);
        matched += expected ? 1 : 0;
        ASSERT_EQ(MatchMask(value, mask), expected) << "mask '" << mask << "' value of " << value.size() << " bytes";
    }
    EXPECT_GT(matched, 60);
    EXPECT_LT(matched, 540);
}

// Values of a megabyte against masks whose later star finds nothing. Searching the rest of the
// value again for every position of the earlier star would take hours here; the run of the test
// itself is what would time out.
struct LongRow {
    std::string mask;
    std::string value;
    bool expected;
    int codePage;
};

class MaskLongValues : public ::testing::TestWithParam<LongRow> {};

TEST_P(MaskLongValues, FinishWithTheRightAnswer) {
    const LongRow& row = GetParam();
    EXPECT_EQ(MatchMask(row.value, row.mask, row.codePage), row.expected) << "mask '" << row.mask << "'";
}

const int kMegabyte = 1 << 20;

INSTANTIATE_TEST_SUITE_P(
    Table, MaskLongValues,
    ::testing::Values(LongRow{"*@*.ru", std::string(kMegabyte, '@'), false, 1252},
                      LongRow{"*@*.ru", std::string(kMegabyte, '@') + "x.RU", true, 1252},
                      LongRow{"*@*.ru", "x@" + std::string(kMegabyte, '.') + "r", false, 1252},
                      LongRow{"*offer*free*", repeat("offer ", kMegabyte / 6), false, 1252},
                      LongRow{"*offer*free*", repeat("offer ", kMegabyte / 6) + "free", true, 1252},
                      LongRow{"*a*b*c*d", repeat("abc", kMegabyte / 3), false, 1252},
                      LongRow{"*[!x]?*[0-9]", std::string(kMegabyte, 'y'), false, 1252},
                      LongRow{"*[!x]?*[0-9]", std::string(kMegabyte, 'y') + "7", true, 1252},
                      LongRow{"a*?*[!@]", "a" + std::string(kMegabyte, '@'), false, 1252},
                      LongRow{repeat("*a", 29) + "*b", std::string(kMegabyte, 'a'), false, 1252},
                      // Two-byte characters in code page 932: runs of lead bytes keep the searches unaligned.
                      LongRow{"*[!a]*\x82\xA0", std::string(kMegabyte, '\x82'), false, 932},
                      LongRow{"*[!a]*\x82\xA0", std::string(kMegabyte, '\x82') + "\xA0", true, 932},
                      LongRow{"*a?*\x82\xA0", repeat("a\x82", kMegabyte / 2), false, 932},
                      LongRow{"*a?*\x82\xA0", repeat("a\x82", kMegabyte / 2) + "\xA0", true, 932},
                      LongRow{"*a?*\x82\xA0", repeat("a\x82\x82", kMegabyte / 3), false, 932}));

TEST(MaskListTest, BlankEntriesNeverMatchAndFirstMatchNamesTheEntry) {
    const qm::MaskList list{"", " \t", "*@spam.example", "x*"};
    EXPECT_FALSE(list.AnyMatches("", 1252));
    EXPECT_FALSE(list.AnyMatches(" ", 1252));
    EXPECT_EQ(list.FirstMatch("joe@spam.example", 1252), std::optional<std::size_t>(2));
    EXPECT_EQ(list.FirstMatch("xavier@spam.example", 1252), std::optional<std::size_t>(2));
    EXPECT_EQ(list.FirstMatch("xavier@home.example", 1252), std::optional<std::size_t>(3));
    EXPECT_EQ(list.FirstMatch("joe@home.example", 1252), std::nullopt);
}

} // namespace
