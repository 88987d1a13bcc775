#include "settings/PasswordScrambler.h"
#include "pop3/MessageDecoders.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <random>

namespace qm {
namespace {

std::string RandomBytes(std::mt19937& random, std::size_t length) {
    std::uniform_int_distribution<int> byte(0, 255);
    std::string bytes(length, '\0');
    for (char& c : bytes) {
        c = static_cast<char>(byte(random));
    }
    return bytes;
}

TEST(ScramblePassword, KnownVector) {
    EXPECT_EQ(ScramblePassword("secret"), "TTMOZVUB");
    EXPECT_EQ(UnscramblePassword("TTMOZVUB"), "secret");
}

TEST(ScramblePassword, EmptyBothWays) {
    EXPECT_EQ(ScramblePassword(""), "");
    EXPECT_EQ(UnscramblePassword(""), "");
}

TEST(ScramblePassword, LengthAndPadding) {
    const struct {
        std::size_t length;
        std::size_t textLength;
        std::size_t padding;
    } cases[] = {{1, 4, 2}, {2, 4, 1}, {3, 4, 0}, {4, 8, 2}, {5, 8, 1}, {6, 8, 0}, {100, 136, 2}};
    for (const auto& c : cases) {
        const std::string text = ScramblePassword(std::string(c.length, 'p'));
        EXPECT_EQ(text.size(), c.textLength) << c.length;
        const auto firstPad = text.find('=');
        EXPECT_EQ(firstPad == std::string::npos ? 0 : text.size() - firstPad, c.padding) << text;
        EXPECT_EQ(text.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/="),
                  std::string::npos);
    }
}

TEST(ScramblePassword, SamePasswordSameText) {
    EXPECT_EQ(ScramblePassword("pa\xe0ss"), ScramblePassword("pa\xe0ss"));
    EXPECT_NE(ScramblePassword("a"), ScramblePassword("b"));
    // The keystream starts afresh for every password: a prefix scrambles to a prefix.
    EXPECT_EQ(ScramblePassword("abc"), ScramblePassword("abcdef").substr(0, 4));
}

TEST(ScramblePassword, RoundTripOfRandomBytes) {
    std::mt19937 random(20261208);
    for (std::size_t length = 1; length < 300; length += 7) {
        const std::string password = RandomBytes(random, length);
        EXPECT_EQ(UnscramblePassword(ScramblePassword(password)), password) << length;
    }
}

TEST(Base64, AgreesWithOpenSsl) {
    std::mt19937 random(7);
    for (std::size_t length = 0; length < 100; ++length) {
        const std::string bytes = RandomBytes(random, length);
        std::string expected(4 * ((length + 2) / 3) + 1, '\0');
        const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(expected.data()),
                                      reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(length));
        expected.resize(static_cast<std::size_t>(n));
        EXPECT_EQ(EncodeBase64(bytes), expected) << length;
        std::string decoded;
        EXPECT_TRUE(DecodeBase64Groups(expected, decoded));
        EXPECT_EQ(decoded, bytes);
    }
}

TEST(Base64, GroupRules) {
    const struct {
        const char* text;
        bool valid;
        const char* bytes;
    } cases[] = {
        {"QQ==", true, "A"},       {"QUI=", true, "AB"},
        {"QUJD", true, "ABC"},     {"QQ=x", true, "A"}, // "=" third ends the group after one byte
        {"QUJDQQ", true, "ABC"},                        // a tail shorter than a group is ignored
        {"QUJ", true, ""},         {"Q", true, ""},
        {"QQ==QUI=", true, "AAB"}, // a padded group does not end the text
        {"=QUJ", false, ""},       {"Q=UJ", false, ""},
        {"QU*D", false, ""},       {"QUJ\x80", false, ""},
        {"QU D", false, ""},
    };
    for (const auto& c : cases) {
        std::string bytes;
        EXPECT_EQ(DecodeBase64Groups(c.text, bytes), c.valid) << c.text;
        if (c.valid) {
            EXPECT_EQ(bytes, c.bytes) << c.text;
        }
    }
}

TEST(UnscramblePassword, ShortOrBrokenTextGivesEmptyPassword) {
    for (const char* text : {"T", "TT", "TTM", "!!!!", "TTMOZVU*", "==AB"}) {
        EXPECT_EQ(UnscramblePassword(text), "") << text;
    }
    // A tail of fewer than four characters is ignored.
    EXPECT_EQ(UnscramblePassword("TTMOZVUBxy"), "secret");
}

} // namespace
} // namespace qm
