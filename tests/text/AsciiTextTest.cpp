#include "text/AsciiText.h"

#include <gtest/gtest.h>

#include <string>

using namespace qm;

// The edges of each alphabet range are where an off-by-one shows.
TEST(AsciiText, Base64DigitsAndStrays) {
    const struct {
        char c;
        int value; // -1: not in the alphabet
    } rows[] = {
        {'A', 0},  {'Z', 25}, {'a', 26}, {'z', 51}, {'0', 52}, {'9', 61}, {'+', 62}, {'/', 63},
        {'@', -1}, {'[', -1}, {'`', -1}, {'{', -1}, {'=', -1}, {'-', -1}, {' ', -1}, {'\x80', -1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(1, row.c));
        EXPECT_EQ(Base64DigitValue(row.c, -1), row.value);
        // The body decoders count a stray as 0, the UTF-7 reader needs to see it.
        EXPECT_EQ(Base64DigitValue(row.c, 0), row.value < 0 ? 0 : row.value);
    }
}

TEST(AsciiText, HexDigits) {
    const struct {
        char c;
        int value;
    } rows[] = {
        {'0', 0},  {'9', 9},  {'a', 10}, {'f', 15}, {'A', 10}, {'F', 15},    {'/', -1},
        {':', -1}, {'@', -1}, {'G', -1}, {'`', -1}, {'g', -1}, {'\xB0', -1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(1, row.c));
        EXPECT_EQ(HexDigitValue(row.c), row.value);
    }
}

TEST(AsciiText, CaseIgnoringComparesFoldOnlyAsciiLetters) {
    const struct {
        std::string a;
        std::string b;
        bool equal;
    } rows[] = {
        {"+ok", "+OK", true},
        {"Content-Type", "CONTENT-TYPE", true},
        {"-ERR", "-ER", false},
        {"", "", true},
        {"\xE9t\xE9", "\xC9T\xC9", false}, // code page letters keep their case
        {"[", "{", false},                 // 0x5B and 0x7B differ by the case bit only
        {"@", "`", false},
        {std::string("a\0b", 3), std::string("A\0B", 3), true},
        {std::string("a\0", 2), "A", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.a + " / " + row.b);
        EXPECT_EQ(EqualNoCase(row.a, row.b), row.equal);
    }
    EXPECT_EQ(AsciiUpper("mIxed-\xE9z"), "MIXED-\xE9Z");
    EXPECT_EQ(AsciiLower("MiXED-\xC9Z"), "mixed-\xC9z");
}

TEST(AsciiText, PrefixAndSearchIgnoreCase) {
    EXPECT_TRUE(StartsWithNoCase("Multipart/Mixed", "multipart"));
    EXPECT_FALSE(StartsWithNoCase("multi", "multipart"));
    EXPECT_TRUE(StartsWithNoCase("anything", ""));

    EXPECT_EQ(FindNoCase("attachment; FileName=a.txt", "filename"), 12u);
    EXPECT_EQ(FindNoCase("name=x; NAME=y", "NAME"), 0u);
    EXPECT_EQ(FindNoCase("nam", "name"), std::string_view::npos);
    EXPECT_EQ(FindNoCase("", "x"), std::string_view::npos);
}

TEST(AsciiText, TrimControlsTakesBytesUpToSpaceOnly) {
    const struct {
        std::string text;
        std::string trimmed;
    } rows[] = {
        {" \t\r\n value \x01", "value"},
        {std::string("\0x\0", 3), "x"},
        {"\x7Fx\x7F", "\x7Fx\x7F"}, // DEL is not a blank here
        {"\xA0x\xA0", "\xA0x\xA0"}, // nor a code page no-break space
        {"!inner  space!", "!inner  space!"},
        {"   ", ""},
        {"", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(TrimControls(row.text), row.trimmed);
    }
}

TEST(AsciiText, BlankControlsLeavesNoControlCharacter) {
    const struct {
        std::string text;
        std::string shown;
    } rows[] = {
        {"Hi\r\nwould delete: X\x1b[31m\x07", "Hi  would delete: X [31m "},
        {std::string("a\0b\tc\x7F", 6), "a b c "},
        {"\xC2\x9B" "2J \xC2\x80\xC2\x9F", " 2J   "},               // C1 controls as UTF-8
        {"Caf\xC3\xA9 \xC2\xA0\xC2\xA9 \xE2\x82\xAC", "Caf\xC3\xA9 \xC2\xA0\xC2\xA9 \xE2\x82\xAC"}, // printable
        {"\x9B\x85 \xC2", "\x9B\x85 \xC2"},                              // code page bytes, a cut sequence
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(BlankControls(row.text), row.shown);
    }
}
