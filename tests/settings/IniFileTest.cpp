#include "settings/IniFile.h"

#include "SettingsTestSupport.h"

#include <gtest/gtest.h>
#include <random>

namespace qm {
namespace {

struct IntegerCase {
    const char* text;
    int def;
    int expected;
};

TEST(ProfileInteger, DecimalHexAndNonNumbers) {
    const IntegerCase cases[] = {
        {"5", 7, 5},
        {"0", 7, 0},
        {"-12", 7, -12},
        {"+12", 7, 12},
        {"0x0A", 7, 10},
        {"0X1f", 7, 31},
        {"0xFFFFFFFF", 7, -1},
        {"0x7FFFFFFF", 7, 2147483647},
        {"0x100000000", 7, 7}, // more than 32 bits
        {"0x", 7, 7},          // only two characters: not hex, and not decimal either
        {"0xG1", 7, 7},
        {"0x-1", 7, 7},
        {"x10", 7, 7},
        {"12abc", 7, 7}, // a number must be the whole text
        {"1.5", 7, 7},
        {"", 7, 7},
        {"-", 7, 7},
        {"+", 7, 7},
        {" 5", 7, 7},
        {"5 ", 7, 7},
        {"abc", 7, 7},
        {"2147483647", 7, 2147483647},
        {"-2147483648", 7, -2147483648},
        {"2147483648", 7, 7},
        {"-2147483649", 7, 7},
        {"99999999999999999999999", 7, 7},
        {"010", 7, 10}, // leading zeros are decimal, not octal
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseProfileInteger(c.text, c.def), c.expected) << "text '" << c.text << "'";
    }
}

TEST(IniFile, NamesCompareWithoutLetterCase) {
    const IniFile ini = IniFile::Parse(test::CrLf({"[Main]", "Language=RU", "[settings2]", "pop3=mail.example"}));
    EXPECT_EQ(ini.ReadString("MAIN", "language", "EN"), "RU");
    EXPECT_EQ(ini.ReadString("main", "LANGUAGE", "EN"), "RU");
    EXPECT_EQ(ini.ReadString("Settings2", "POP3", ""), "mail.example");
    EXPECT_TRUE(ini.HasSection("SETTINGS2"));
    EXPECT_FALSE(ini.HasSection("Settings1"));
}

struct ValueCase {
    const char* line;
    const char* expected; // nullptr: key not found
};

TEST(IniFile, ValueReadingRules) {
    const ValueCase cases[] = {
        {"Key=plain", "plain"},
        {"  Key  =  padded value  ", "padded value"},
        {"Key=\tTab\t", "Tab"},
        {"Key=\"quoted\"", "quoted"},
        {"Key='single'", "single"},
        {"Key=\"unbalanced", "\"unbalanced"},
        {"Key=\"mixed'", "\"mixed'"},
        {"Key=a=b=c", "a=b=c"}, // only the first "=" separates
        {"Key=", ""},
        {"Key", nullptr}, // no "=": not a key line
        {"OtherKey=1", nullptr},
    };
    for (const auto& c : cases) {
        const IniFile ini = IniFile::Parse(std::string("[S]\r\n") + c.line + "\r\n");
        const auto value = ini.Value("S", "Key");
        if (c.expected == nullptr) {
            EXPECT_FALSE(value.has_value()) << c.line;
        } else {
            ASSERT_TRUE(value.has_value()) << c.line;
            EXPECT_EQ(*value, c.expected) << c.line;
        }
    }
}

TEST(IniFile, ValuesAreCutTo2047Bytes) {
    for (std::size_t length : {2046u, 2047u, 2048u, 5000u}) {
        std::string value(length, 'v');
        value.back() = 'E';
        const IniFile ini = IniFile::Parse("[S]\r\nKey=" + value + "\r\n");
        const std::string read = ini.ReadString("S", "Key", "");
        EXPECT_EQ(read.size(), std::min<std::size_t>(length, kProfileValueMax)) << length;
        EXPECT_EQ(read.back() == 'E', length <= kProfileValueMax) << length;
    }
}

TEST(IniFile, IntegersAndBooleans) {
    const IniFile ini =
        IniFile::Parse(test::CrLf({"[Main]", "Interval=0x0A", "Bad=ten", "Flag=2", "Off=0", "Junk=maybe", "Neg=-1",
                                   "Empty=", "W1=True", "W2=false", "W3=YES", "W4=No"}));
    EXPECT_EQ(ini.ReadInteger("Main", "Interval", 5), 10);
    EXPECT_EQ(ini.ReadInteger("Main", "Bad", 5), 5);
    EXPECT_EQ(ini.ReadInteger("Main", "Missing", 5), 5);
    EXPECT_EQ(ini.ReadInteger("Main", "Empty", 5), 5);
    EXPECT_TRUE(ini.ReadBool("Main", "Flag", false));
    EXPECT_TRUE(ini.ReadBool("Main", "Neg", false));
    EXPECT_FALSE(ini.ReadBool("Main", "Off", true));
    EXPECT_TRUE(ini.ReadBool("Main", "Junk", true));
    EXPECT_FALSE(ini.ReadBool("Main", "Junk", false));
    EXPECT_TRUE(ini.ReadBool("Main", "Missing", true));
    // The words the account list shows, in any case, mean what they say whatever the default.
    for (const bool def : {false, true}) {
        EXPECT_TRUE(ini.ReadBool("Main", "W1", def));
        EXPECT_FALSE(ini.ReadBool("Main", "W2", def));
        EXPECT_TRUE(ini.ReadBool("Main", "W3", def));
        EXPECT_FALSE(ini.ReadBool("Main", "W4", def));
    }
}

TEST(IniFile, LineEndsAndRepeats) {
    // LF-only and CR-only files read like CR LF ones; the first of repeated keys wins.
    for (const char* eol : {"\r\n", "\n", "\r"}) {
        const std::string text = std::string("[A]") + eol + "K=1" + eol + "K=2" + eol + eol + "[B]" + eol + "K=3";
        const IniFile ini = IniFile::Parse(text);
        EXPECT_EQ(ini.ReadString("A", "K", ""), "1");
        EXPECT_EQ(ini.ReadString("B", "K", ""), "3");
    }
}

TEST(IniFile, KeysBeforeAnySectionAndHeadersWithoutBracket) {
    const IniFile ini = IniFile::Parse(test::CrLf({"Orphan=1", "[Open", "K=v", "[ Spaced ]", "K=w"}));
    EXPECT_EQ(ini.SectionNames(), (std::vector<std::string>{"Open", "Spaced"}));
    EXPECT_EQ(ini.ReadString("Open", "K", ""), "v");
    EXPECT_EQ(ini.ReadString("spaced", "K", ""), "w");
}

TEST(IniFile, NulByteEndsAValue) {
    const IniFile ini = IniFile::Parse(std::string("[S]\r\nKey=ab\0cd\r\nNext=1\r\n", 24));
    EXPECT_EQ(ini.ReadString("S", "Key", ""), "ab");
    EXPECT_EQ(ini.ReadInteger("S", "Next", 0), 1);
}

TEST(IniFile, WriteAndSerializeInOrder) {
    IniFile ini;
    ini.WriteInteger("Main", "Interval", 7);
    ini.WriteString("Main", "Language", "IT");
    ini.WriteBool("Settings1", "Disabled", true);
    ini.WriteString("MAIN", "language", "RU"); // same key, other case: replaced in place
    ini.WriteBool("Main", "Sound", false);
    EXPECT_EQ(ini.Serialize(),
              test::CrLf({"[Main]", "Interval=7", "Language=RU", "Sound=0", "[Settings1]", "Disabled=1"}));
    ini.EraseSection("settings1");
    EXPECT_EQ(ini.Serialize(), test::CrLf({"[Main]", "Interval=7", "Language=RU", "Sound=0"}));
    EXPECT_FALSE(ini.HasSection("Settings1"));
}

TEST(IniFile, LineBreaksCannotPlantKeys) {
    IniFile ini;
    ini.WriteString("Main", "FileName", "log.txt\r\nExecuting=1\n[Settings9]");
    const IniFile back = IniFile::Parse(ini.Serialize());
    EXPECT_FALSE(back.Value("Main", "Executing").has_value());
    EXPECT_FALSE(back.HasSection("Settings9"));
    EXPECT_EQ(back.ReadString("Main", "FileName", ""), "log.txtExecuting=1[Settings9]");
}

TEST(IniFile, BinaryJunkDoesNotBreakParsing) {
    std::mt19937 random(1234);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 50; ++round) {
        std::string junk(4096, '\0');
        for (char& c : junk) {
            c = static_cast<char>(byte(random));
        }
        // Junk in front of and behind a good section must not hide it.
        const IniFile ini = IniFile::Parse(junk + "\r\n[Main]\r\nInterval=9\r\n" + junk.substr(0, 100));
        EXPECT_EQ(ini.ReadInteger("Main", "Interval", 5), 9);
    }
}

TEST(IniFile, ThousandsOfSections) {
    std::string text;
    constexpr int count = 20000;
    for (int i = 1; i <= count; ++i) {
        text += "[Settings" + std::to_string(i) + "]\r\nPort=" + std::to_string(i) + "\r\n";
    }
    const IniFile ini = IniFile::Parse(text);
    EXPECT_EQ(ini.SectionNames().size(), static_cast<std::size_t>(count));
    EXPECT_EQ(ini.ReadInteger("settings1", "port", 0), 1);
    EXPECT_EQ(ini.ReadInteger("SETTINGS20000", "PORT", 0), count);
}

} // namespace
} // namespace qm
