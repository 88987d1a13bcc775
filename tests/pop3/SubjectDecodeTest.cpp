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
