#include "pop3/Charset.h"

#include <gtest/gtest.h>

#include <string>

using namespace qm;

namespace {

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) {
        s.push_back(static_cast<char>(v));
    }
    return s;
}

// The Unicode value a single-byte charset gives one byte, read back through UCS-2.
int UnicodeOf(int charsetId, int byte) {
    const std::string ucs2 = ConvertCharset(std::string(1, static_cast<char>(byte)), charsetId, csUCS2);
    EXPECT_EQ(ucs2.size(), 2u);
    return (static_cast<unsigned char>(ucs2[0]) << 8) | static_cast<unsigned char>(ucs2[1]);
}

} // namespace

TEST(CharsetFromName, NamesMapToIds) {
    const struct {
        const char* name;
        int id;
    } rows[] = {
        {"ISO-8859-1", 0},   {"iso-8859-1", 0},    {"iso-8859-2", 1},    {"ISO-8859-5", 4},   {"iso-8859-7", 6},
        {"ISO-8859-9", 8},   {"iso-8859-10", 9},   {"ISO-8859-13", 10},  {"ISO-8859-14", 11}, {"iso-8859-15", 12},
        {"ISO-8859-16", 0},  {"windows-1250", 13}, {"Windows-1251", 14}, {"x-cp1251", 14},    {"WINDOWS-1258", 21},
        {"windows-1259", 0}, {"koi8-r", 22},       {"KOI8-U", 0},        {"kamenicky", 23},   {"cp895", 23},
        {"IBM852", 24},      {"latin-2", 24},      {"utf-7", 28},        {"UTF-8", 27},       {"x-utf-8", 27},
        {"ucs-4", 26},       {"UCS-2", 25},        {"unicode-1-1", 25},  {"us-ascii", 0},     {"", 0},
        {"utf-8?B?abc", 27}, {"big5", 0},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(CharsetFromName(row.name), row.id) << row.name;
    }
}

TEST(SystemCharset, CodePagesMapToWindowsCharsets) {
    const int rows[][2] = {{1250, 13}, {1251, 14}, {1252, 15}, {1253, 16}, {1254, 17}, {1255, 18}, {1256, 19},
                           {1257, 20}, {1258, 21}, {437, 15},  {0, 15},    {1249, 15}, {1259, 15}, {65001, 15}};
    for (const auto& row : rows) {
        EXPECT_EQ(SystemCharset(row[0]), row[1]) << row[0];
    }
}

// Known values of published code charts, one or two per table.
TEST(CharsetTables, SpotChecksAgainstPublishedCharts) {
    const struct {
        int id;
        int byte;
        int unicode;
    } rows[] = {
        {csISO_8859_1, 0xE9, 0x00E9},  {csISO_8859_2, 0xA1, 0x0104},  {csISO_8859_3, 0xA1, 0x0126},
        {csISO_8859_3, 0xA5, 0xFFFD},  {csISO_8859_4, 0xA2, 0x0138},  {csISO_8859_5, 0xB0, 0x0410},
        {csISO_8859_6, 0xC7, 0x0627},  {csISO_8859_6, 0xA1, 0xFFFD},  {csISO_8859_7, 0xC1, 0x0391},
        {csISO_8859_7, 0xA4, 0xFFFD},  {csISO_8859_7, 0xA5, 0xFFFD},  {csISO_8859_7, 0xAA, 0xFFFD},
        {csISO_8859_8, 0xE0, 0x05D0},  {csISO_8859_9, 0xD0, 0x011E},  {csISO_8859_10, 0xA1, 0x0104},
        {csISO_8859_13, 0xA1, 0x201D}, {csISO_8859_14, 0xA1, 0x1E02}, {csISO_8859_15, 0xA4, 0x20AC},
        {csISO_8859_15, 0xBC, 0x0152}, {csWindows1250, 0x8A, 0x0160}, {csWindows1251, 0xCF, 0x041F},
        {csWindows1251, 0xA8, 0x0401}, {csWindows1251, 0x98, 0xFFFD}, {csWindows1252, 0x80, 0x20AC},
        {csWindows1252, 0x9F, 0x0178}, {csWindows1252, 0x81, 0xFFFD}, {csWindows1253, 0xC1, 0x0391},
        {csWindows1254, 0xD0, 0x011E}, {csWindows1255, 0xE0, 0x05D0}, {csWindows1256, 0xC7, 0x0627},
        {csWindows1257, 0xC0, 0x0104}, {csWindows1258, 0xC3, 0x0102}, {csKOI8_R, 0xF0, 0x041F},
        {csKOI8_R, 0xD2, 0x0440},      {csKOI8_R, 0xB3, 0x0401},      {csKamenicky, 0x80, 0x010C},
        {csKamenicky, 0x81, 0x00FC},   {csKamenicky, 0xE0, 0x03B1},   {csKamenicky, 0xE1, 0x03B2},
        {csKamenicky, 0xFA, 0x2219},   {csKamenicky, 0xAD, 0x00A7},   {csLatin2, 0x80, 0x00C7},
        {csLatin2, 0xA5, 0x0105},      {csLatin2, 0x9F, 0x010D},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(UnicodeOf(row.id, row.byte), row.unicode) << "charset " << row.id << " byte " << row.byte;
    }
}

TEST(ConvertCharset, SingleByteToSingleByte) {
    // KOI8-R "Privet" to windows-1251 and to windows-1252, where nothing fits.
    EXPECT_EQ(ConvertCharset(Bytes({0xF0, 0xD2, 0xC9, 0xD7, 0xC5, 0xD4}), csKOI8_R, csWindows1251),
              Bytes({0xCF, 0xF0, 0xE8, 0xE2, 0xE5, 0xF2}));
    EXPECT_EQ(ConvertCharset(Bytes({0xF0, 0xD2}), csKOI8_R, csWindows1252), "__");
    EXPECT_EQ(ConvertCharset("plain", csKOI8_R, csWindows1252), "plain");
    // An unassigned byte lands on the target's first unassigned byte, or "_" where there is none.
    EXPECT_EQ(ConvertCharset(Bytes({0x81}), csWindows1252, csWindows1251), Bytes({0x98}));
    EXPECT_EQ(ConvertCharset(Bytes({0xA4}), csISO_8859_7, csWindows1252), Bytes({0x81}));
    EXPECT_EQ(ConvertCharset(Bytes({0x81}), csWindows1252, csKOI8_R), "_");
    EXPECT_EQ(ConvertCharset(Bytes({0x80}), csWindows1252, csISO_8859_15), Bytes({0xA4}));
}

TEST(ConvertCharset, Utf8Source) {
    EXPECT_EQ(ConvertCharset("\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82", csUTF8, csWindows1251),
              Bytes({0xCF, 0xF0, 0xE8, 0xE2, 0xE5, 0xF2}));
    EXPECT_EQ(ConvertCharset("\xE2\x82\xAC", csUTF8, csWindows1252), Bytes({0x80}));
    EXPECT_EQ(ConvertCharset("\xE2\x82\xAC", csUTF8, csWindows1251), Bytes({0x88}));
    EXPECT_EQ(ConvertCharset("a\xF0\x9F\x98\x80"
                             "b",
                             csUTF8, csWindows1252),
              "a_b");                                                  // above U+FFFF
    EXPECT_EQ(ConvertCharset("\xE2\x82", csUTF8, csWindows1252), "_"); // cut short: U+0082
    EXPECT_EQ(ConvertCharset("\xC3\xA9\xC3", csUTF8, csUCS2), Bytes({0x00, 0xE9, 0x00, 0x03}));
    // A long run of continuation bytes saturates instead of wrapping into a small character.
    EXPECT_EQ(ConvertCharset("\xC1" + std::string(20, '\x81'), csUTF8, csWindows1252), "_");
}

TEST(ConvertCharset, Utf7Source) {
    const struct {
        const char* in;
        std::string ucs2;
    } rows[] = {
        {"Hi Mom -+Jjo--!",
         Bytes({0, 'H', 0, 'i', 0, ' ', 0, 'M', 0, 'o', 0, 'm', 0, ' ', 0, '-', 0x26, 0x3A, 0, '-', 0, '!'})},
        {"A+ImIDkQ.", Bytes({0, 'A', 0x22, 0x62, 0x03, 0x91, 0, '.'})},
        {"+ZeVnLIqe-", Bytes({0x65, 0xE5, 0x67, 0x2C, 0x8A, 0x9E})},
        {"1 +- 1", Bytes({0, '1', 0, ' ', 0, '+', 0, ' ', 0, '1'})},
        {"a+ b", Bytes({0, 'a', 0, '+', 0, ' ', 0, 'b'})},
        {"+AB-x", Bytes({0, '+', 0, 'A', 0, 'B', 0, 'x'})}, // odd length: taken literally
        {"+BB8=", Bytes({0x04, 0x1F, 0, '='})},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ConvertCharset(row.in, csUTF7, csUCS2), row.ucs2) << row.in;
    }
    EXPECT_EQ(ConvertCharset("+BB8EQAQ4BDIENQRC-", csUTF7, csWindows1251), Bytes({0xCF, 0xF0, 0xE8, 0xE2, 0xE5, 0xF2}));
}

TEST(ConvertCharset, UcsSources) {
    EXPECT_EQ(ConvertCharset(Bytes({0x04, 0x1F, 0x00, 0x41}), csUCS2, csWindows1251), Bytes({0xCF, 'A'}));
    EXPECT_EQ(ConvertCharset(Bytes({0x04, 0x1F, 0x41}), csUCS2, csWindows1251), Bytes({0xCF, 0x00}));
    EXPECT_EQ(ConvertCharset(Bytes({0, 0, 0x04, 0x1F, 0, 1, 0xF6, 0}), csUCS4, csWindows1251), Bytes({0xCF, '_'}));
    EXPECT_EQ(ConvertCharset(Bytes({0, 0, 0x04}), csUCS4, csWindows1251), Bytes({0x00}));
}

TEST(ConvertCharset, UnicodeTargets) {
    EXPECT_EQ(ConvertCharset(Bytes({0xCF}), csWindows1251, csUTF8), "\xD0\x9F");
    EXPECT_EQ(ConvertCharset(Bytes({0xCF}), csWindows1251, csUCS4), Bytes({0, 0, 0x04, 0x1F}));
    const std::string utf7 = ConvertCharset("a+\xD0\x9F\xD1\x80", csUTF8, csUTF7);
    EXPECT_EQ(ConvertCharset(utf7, csUTF7, csUTF8), "a+\xD0\x9F\xD1\x80") << utf7;
}

TEST(CodePageText, ToUtf8AndBack) {
    EXPECT_EQ(CodePageToUtf8(Bytes({0xCF, 0xF0, 'x'}), 1251), "\xD0\x9F\xD1\x80x");
    EXPECT_EQ(CodePageToUtf8(Bytes({0x80}), 1252), "\xE2\x82\xAC");
    EXPECT_EQ(CodePageToUtf8(Bytes({0x81}), 1252), "?");
    EXPECT_EQ(Utf8ToCodePage("\xD0\x9F\xD1\x80x", 1251), Bytes({0xCF, 0xF0, 'x'}));
    EXPECT_EQ(Utf8ToCodePage("\xD0\x9F\xD1\x80", 1252), "??");
    EXPECT_EQ(Utf8ToCodePage("\xE2\x82\xAC", 1252), Bytes({0x80}));
    EXPECT_EQ(Utf8ToCodePage("\xEF\xBF\xBD", 1252), "?");
}

TEST(CodePageText, InvalidUtf8CostsOneReplacementPerByte) {
    const struct {
        std::string in;
        std::string out;
    } rows[] = {
        {"\xFF", "?"},           {"\xC3", "?"},
        {"a\xE2\x82", "a??"},    {"\xC0\xAF", "??"},
        {"\xED\xA0\x80", "???"}, {"\xF4\x90\x80\x80", "????"},
        {"\xC3(", "?("},         {std::string("\0a", 2), std::string("\0a", 2)},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(Utf8ToCodePage(row.in, 1252), row.out);
    }
}

TEST(CodePageText, EveryAssignedByteRoundTrips) {
    for (int cp = 1250; cp <= 1258; ++cp) {
        for (int b = 0; b < 256; ++b) {
            const std::string one(1, static_cast<char>(b));
            const std::string utf8 = CodePageToUtf8(one, cp);
            if (utf8 == "?" && b != '?') {
                continue; // unassigned in this code page
            }
            EXPECT_EQ(Utf8ToCodePage(utf8, cp), one) << "code page " << cp << " byte " << b;
        }
    }
}
