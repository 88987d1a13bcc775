#include <gtest/gtest.h>

#include <QString>

#include <string>

#include "platform/CodePage.h"
#include "ui/CodePageText.h"

namespace qm {
namespace {

class CodePageTextTest : public ::testing::Test {
protected:
    void TearDown() override { setUiCodePage(0); }
};

struct CodePageCase {
    int codePage;
    std::string bytes;
    const char* utf8;
};

TEST_F(CodePageTextTest, BytesAndUnicodeConvertBothWays) {
    const CodePageCase cases[] = {
        {1251, "\xCF\xF0\xE8\xE2\xE5\xF2", "Привет"},
        {1251,
         "user\xB9"
         "1@mail.ru",
         "user№1@mail.ru"},
        {1251, "\xA8\xB8", "Ёё"},
        {1252, "caf\xE9", "café"},
        {1252, "\x80 5", "€ 5"},
        {1250, "\xB9\x9A", "ąš"},
        {1251, "plain ascii", "plain ascii"},
    };
    for (const auto& c : cases) {
        setUiCodePage(c.codePage);
        SCOPED_TRACE(c.utf8);
        EXPECT_EQ(fromCodePage(c.bytes), QString::fromUtf8(c.utf8));
        EXPECT_EQ(toCodePage(QString::fromUtf8(c.utf8)), c.bytes);
    }
}

TEST_F(CodePageTextTest, CharactersOutsideTheCodePageBecomeQuestionMarks) {
    setUiCodePage(1251);
    EXPECT_EQ(toCodePage(QString::fromUtf8("a日b")), "a?b");
    EXPECT_EQ(toCodePage(QString::fromUtf8("café")), "caf?");
    setUiCodePage(1252);
    EXPECT_EQ(toCodePage(QString::fromUtf8("Пароль")), "??????");
}

TEST_F(CodePageTextTest, EmptyTextStaysEmpty) {
    setUiCodePage(1251);
    EXPECT_TRUE(fromCodePage("").isEmpty());
    EXPECT_TRUE(toCodePage(QString()).empty());
}

TEST_F(CodePageTextTest, WithoutOverrideTheSystemCodePageCounts) {
    setUiCodePage(1251);
    EXPECT_EQ(uiCodePage(), 1251);
    setUiCodePage(0);
    EXPECT_EQ(uiCodePage(), AnsiCodePage());
}

} // namespace
} // namespace qm
