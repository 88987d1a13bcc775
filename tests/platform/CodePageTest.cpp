// Code page from the locale's language, and which variable decides.
#include "platform/CodePage.h"

#include "PlatformTestDir.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

struct LocaleCase {
    const char* locale;
    int codePage;
};

const LocaleCase kLocales[] = {
    {"cs_CZ.UTF-8", 1250}, {"sk_SK", 1250},    {"pl_PL.ISO-8859-2", 1250},
    {"hu", 1250},          {"sl_SI", 1250},    {"hr_HR", 1250},
    {"ro_RO", 1250},       {"bs_BA", 1250},    {"sq_AL", 1250},
    {"ru_RU.UTF-8", 1251}, {"uk_UA", 1251},    {"be_BY", 1251},
    {"bg_BG", 1251},       {"mk_MK", 1251},    {"sr_RS@latin", 1251},
    {"kk_KZ", 1251},       {"ky_KG", 1251},    {"tt_RU", 1251},
    {"mn_MN", 1251},       {"tg_TJ", 1251},    {"el_GR.UTF-8", 1253},
    {"tr_TR", 1254},       {"az_AZ", 1254},    {"he_IL", 1255},
    {"yi_US", 1255},       {"ar_EG", 1256},    {"fa_IR", 1256},
    {"ur_PK", 1256},       {"lt_LT", 1257},    {"lv_LV", 1257},
    {"et_EE", 1257},       {"vi_VN", 1258},    {"en_US.UTF-8", 1252},
    {"de_DE@euro", 1252},  {"it_IT", 1252},    {"fr", 1252},
    {"C", 1252},           {"POSIX", 1252},    {"C.UTF-8", 1252},
    {"RU_ru", 1251},       {"ru", 1251},       {"rus_RU", 1252},
    {"r", 1252},           {"", 1252},         {"_RU", 1252},
    {"en_RU.UTF-8", 1252}, {"el.UTF-8", 1253}, {"tr@x", 1254},
};

TEST(CodePageTest, LanguageDecides) {
    for (const auto& c : kLocales) {
        SCOPED_TRACE(c.locale);
        EXPECT_EQ(CodePageForLocale(c.locale), c.codePage);
    }
}

struct EnvCase {
    const char* name;
    std::map<std::string, std::string> vars;
    int codePage;
};

TEST(CodePageTest, FirstNonEmptyVariableDecides) {
    const EnvCase cases[] = {
        {"nothing set", {}, 1252},
        {"LANG only", {{"LANG", "ru_RU.UTF-8"}}, 1251},
        {"LC_CTYPE over LANG", {{"LANG", "ru_RU.UTF-8"}, {"LC_CTYPE", "pl_PL"}}, 1250},
        {"LC_ALL over both", {{"LANG", "ru_RU"}, {"LC_CTYPE", "pl_PL"}, {"LC_ALL", "el_GR"}}, 1253},
        {"empty LC_ALL skipped", {{"LC_ALL", ""}, {"LC_CTYPE", "tr_TR"}, {"LANG", "ru_RU"}}, 1254},
        {"empty everywhere", {{"LC_ALL", ""}, {"LC_CTYPE", ""}, {"LANG", ""}}, 1252},
        {"C in LC_ALL wins over Russian LANG", {{"LC_ALL", "C"}, {"LANG", "ru_RU"}}, 1252},
        {"LANGUAGE and LC_MESSAGES ignored", {{"LANGUAGE", "ru"}, {"LC_MESSAGES", "ru_RU"}}, 1252},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(AnsiCodePage(test::FakeEnvironment(c.vars)), c.codePage);
    }
}

TEST(CodePageTest, NoLookupMeansWestern) {
    EXPECT_EQ(AnsiCodePage(EnvLookup{}), 1252);
}

} // namespace
} // namespace qm
