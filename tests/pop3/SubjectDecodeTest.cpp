#include "pop3/Charset.h"

#include <gtest/gtest.h>

#include <string>

using namespace qm;

namespace {

const std::string kPrivet1251 = "\xCF\xF0\xE8\xE2\xE5\xF2";

struct Row {
    const char* subject;
    int codePage;
    std::string expected;
};

void Check(const Row& row) {
    EXPECT_EQ(DecodeSubject(row.subject, row.codePage), row.expected) << row.subject << " @" << row.codePage;
}

} // namespace

TEST(DecodeSubject, SingleWordIntoTheCodePage) {
    const Row rows[] = {
        {"=?koi8-r?B?8NLJ18XU?=", 1251, kPrivet1251},
        {"=?KOI8-R?b?8NLJ18XU?=", 1251, kPrivet1251},
        {"=?koi8-r?B?8NLJ18XU?=", 1252, "______"},
        {"=?utf-8?B?0J/RgNC40LLQtdGC?=", 1251, kPrivet1251},
        {"=?koi8-r?Q?=F0=D2?=", 1251, "\xCF\xF0"},
        {"=?koi8-r?Q?a_b?=", 1251, "a_b"},
        {"=?x-unknown?Q?abc?=", 1252, "abc"},
        {"=?iso-8859-5?Q?=BF?=", 1251, "\xCF"},
        {"=?utf-8?B?"
         "?=",
         1252, ""},
    };
    for (const Row& row : rows) {
        Check(row);
    }
}

// Every word is decoded with its own charset and the text around the words stays.
TEST(DecodeSubject, TextAroundAndSeveralWords) {
    const Row rows[] = {
        {"Re: =?koi8-r?B?8NLJ18XU?=", 1251, "Re: " + kPrivet1251},
        {"Fwd: =?koi8-r?Q?=F0?= and =?utf-8?B?0J/RgA==?= end", 1251, "Fwd: \xCF and \xCF\xF0 end"},
        {"=?koi8-r?B?8NLJ?= =?utf-8?B?0LLQtdGC?=", 1251, kPrivet1251},
        {"=?utf-8?B?0J/RgNC4?=\t  =?utf-8?B?0LLQtdGC?=!", 1251, kPrivet1251 + "!"},
        {"=?koi8-r?Q?=F0?=x=?koi8-r?Q?=F0?=", 1251, "\xCFx\xCF"},
    };
    for (const Row& row : rows) {
        Check(row);
    }
}

TEST(DecodeSubject, MalformedWordsStayAsTheyAre) {
    const Row rows[] = {
        {"=?koi8-r?B?8NLJ18X?=", 1251, "=?koi8-r?B?8NLJ18X?="},
        {"=?koi8-r?B?8NLJ18XU", 1251, "=?koi8-r?B?8NLJ18XU"},
        {"=?"
         "?B?YWJj?=",
         1251,
         "=?"
         "?B?YWJj?="},
        {"=?utf-8?X?abc?=", 1251, "=?utf-8?X?abc?="},
        {"=?utf 8?Q?abc?=", 1251, "=?utf 8?Q?abc?="},
        {"x =?koi8-r?B?bad?= y =?koi8-r?Q?=F0?=", 1251, "x =?koi8-r?B?bad?= y \xCF"},
        {"=?=?koi8-r?Q?=F0?=", 1251, "=?\xCF"},
    };
    for (const Row& row : rows) {
        Check(row);
    }
}

TEST(DecodeSubject, SubjectWithoutEncodedWordIsUnchanged) {
    const Row rows[] = {
        {"Hello ?q? world", 1251, "Hello ?q? world"},
        {"Invoice ?B? 2026", 1252, "Invoice ?B? 2026"},
        {"already \xCF\xF0 decoded", 1252, "already \xCF\xF0 decoded"},
        {"", 1251, ""},
        {"=?", 1251, "=?"},
        {"?=", 1251, "?="},
    };
    for (const Row& row : rows) {
        Check(row);
    }
}

// As a person reads it: UTF-8, a Q word's "_" a blank, the text around read in the code page.
TEST(ShownSubject, EveryWordInUtf8) {
    const Row rows[] = {
        {"=?utf-8?Q?Caf=C3=A9_lottery_winner?=", 1252, "Caf\xC3\xA9 lottery winner"},
        {"=?koi8-r?B?8NLJ?= =?koi8-r?Q?=D7=C5=D4_=5F?=", 1252, "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 _"},
        {"Re: \xE9t\xE9 =?iso-8859-2?Q?=B9?=", 1252, "Re: \xC3\xA9t\xC3\xA9 \xC5\xA1"},
        {"=?utf-8?B?8NLJ18X?=", 1252, "=?utf-8?B?8NLJ18X?="},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ShownSubject(row.subject, row.codePage), row.expected) << row.subject;
    }
}
