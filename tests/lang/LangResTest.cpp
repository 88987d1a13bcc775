// The language component on small tables of its own: filling, errors and lookup rules.
#include "lang/LangRes.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace qm {
namespace {

TLangRes smallTable() {
    TLangRes lr({"RU", "IT", "EN", "DE"}, 5);
    lr.setDefaultLang("EN");
    lr.AddRow({"Да", "Si", "Yes", "Ja"});
    lr.AddRow({"Стоп", "", "Stop", "Halt"});         // empty Italian cell
    lr.AddRow({"первый", "primo", "Twice", "erst"}); // duplicate English key: first wins
    lr.AddRow({"второй", "secondo", "Twice", "zweit"});
    return lr;
}

TEST(LangResTest, EmptyComponentReturnsTextUnchanged) {
    const TLangRes lr;
    EXPECT_EQ(lr.langCount(), 0);
    EXPECT_EQ(lr.rowCount(), 0);
    EXPECT_EQ(lr.lastFilledRow(), 0);
    EXPECT_EQ(lr.Translate(" Yes ", "EN", "RU"), " Yes ");
    EXPECT_EQ(lr.Translate("", "EN", "RU"), "");
}

TEST(LangResTest, ConstructionSetsHeaderAndCounts) {
    const TLangRes lr({"AA", "BB", "CC"}, 10);
    EXPECT_EQ(lr.langCount(), 3);
    EXPECT_EQ(lr.rowCount(), 10);
    EXPECT_EQ(lr.lastFilledRow(), 0);
    EXPECT_EQ(lr.cell(0, 0), "AA");
    EXPECT_EQ(lr.cell(0, 2), "CC");
    EXPECT_EQ(lr.cell(1, 0), "");
    EXPECT_EQ(lr.defaultLang(), "");
}

TEST(LangResTest, CreateReplacesEarlierContent) {
    TLangRes lr = smallTable();
    lr.Create({"XX"}, 1);
    EXPECT_EQ(lr.langCount(), 1);
    EXPECT_EQ(lr.rowCount(), 1);
    EXPECT_EQ(lr.lastFilledRow(), 0);
    EXPECT_EQ(lr.cell(1, 0), "");
    lr.AddRow({"only"});
    EXPECT_THROW(lr.AddRow({"more"}), ELangCapacity);
}

TEST(LangResTest, AddRowWithFewerValuesLeavesCellsEmpty) {
    TLangRes lr({"RU", "IT", "EN"}, 3);
    lr.AddRow({"один"});
    lr.AddRow({});
    EXPECT_EQ(lr.lastFilledRow(), 2);
    EXPECT_EQ(lr.cell(1, 0), "один");
    EXPECT_EQ(lr.cell(1, 1), "");
    EXPECT_EQ(lr.cell(1, 2), "");
    EXPECT_EQ(lr.cell(2, 0), "");
}

TEST(LangResTest, AddRowErrorsCarryExactTexts) {
    TLangRes lr({"RU", "EN"}, 2);
    try {
        lr.AddRow({"a", "b", "c"});
        FAIL() << "no error for three values on two languages";
    } catch (const ELangValueCount& e) {
        EXPECT_STREQ(e.what(), "Count of values is more than count of languages!");
    }
    EXPECT_EQ(lr.lastFilledRow(), 0);

    lr.AddRow({"a", "b"});
    lr.AddRow({"c", "d"});
    try {
        lr.AddRow({"e", "f"});
        FAIL() << "no error on a full table";
    } catch (const ELangCapacity& e) {
        EXPECT_STREQ(e.what(), "The allowable quantity of records (2) is exceeded!");
    }
    EXPECT_EQ(lr.lastFilledRow(), 2);
    EXPECT_EQ(lr.cell(2, 0), "c");
}

TEST(LangResTest, ValueCountIsCheckedBeforeCapacity) {
    TLangRes lr({"RU", "EN"}, 1);
    lr.AddRow({"a", "b"});
    EXPECT_THROW(lr.AddRow({"a", "b", "c"}), ELangValueCount);
    EXPECT_THROW(lr.AddRow({"a"}), ELangCapacity);
}

TEST(LangResTest, NegativeCapacityHoldsNothing) {
    TLangRes lr({"EN"}, -5);
    EXPECT_EQ(lr.rowCount(), 0);
    EXPECT_THROW(lr.AddRow({"x"}), ELangCapacity);
    EXPECT_THROW(lr.AddRow({"x", "y"}), ELangResError);
}

struct LookupCase {
    const char* name;
    std::string text, from, to, expected;
};

void PrintTo(const LookupCase& c, std::ostream* os) {
    *os << c.name;
}

class SmallTableLookup : public ::testing::TestWithParam<LookupCase> {};

TEST_P(SmallTableLookup, Translates) {
    const auto& c = GetParam();
    EXPECT_EQ(smallTable().Translate(c.text, c.from, c.to), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Rules, SmallTableLookup,
                         ::testing::Values(LookupCase{"plain", "Yes", "EN", "RU", "Да"},
                                           LookupCase{"keyCaseAndBlanks", " \t yEs\r\n", "EN", "RU", "Да"},
                                           LookupCase{"codesNormalised", "Yes", " en ", "\tru", "Да"},
                                           LookupCase{"controlBytesTrimmed", std::string("\x01Yes\x1f", 5), "EN", "IT",
                                                      "Si"},
                                           LookupCase{"delByteNotBlank", "Yes\x7f", "EN", "RU", "Yes\x7f"},
                                           LookupCase{"noMatchKeepsTextAsPassed", "  nope ", "EN", "RU", "  nope "},
                                           LookupCase{"emptyTargetCellKeepsText", " stop", "EN", "IT", " stop"},
                                           LookupCase{"firstMatchingRowWins", "twice", "EN", "DE", "erst"},
                                           LookupCase{"unknownTargetUsesDefaultColumn", "yes", "EN", "FR", "Yes"},
                                           LookupCase{"unknownSourceUsesDefaultColumn", "Yes", "XX", "DE", "Ja"},
                                           LookupCase{"cyrillicSource", "Стоп", "RU", "DE", "Halt"},
                                           LookupCase{"cyrillicNotCaseFolded", "стоп", "RU", "EN", "стоп"},
                                           LookupCase{"innerBlanksCount", "Y es", "EN", "RU", "Y es"},
                                           LookupCase{"emptyTextMatchesNothingUseful", "", "EN", "RU", ""},
                                           LookupCase{"targetAsStoredNotNormalised", "ja", "DE", "EN", "Yes"}),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             for (char& ch : name)
                                 if (ch == ' ')
                                     ch = '_';
                             return name;
                         });

TEST(LangResTest, UnknownDefaultLangFallsBackToColumnZero) {
    TLangRes lr = smallTable();
    lr.setDefaultLang("ZZ");
    EXPECT_EQ(lr.Translate("Yes", "EN", "FR"), "Да");
    EXPECT_EQ(lr.Translate("Да", "FR", "EN"), "Yes");
    lr.setDefaultLang(" de ");
    EXPECT_EQ(lr.Translate("Yes", "EN", "FR"), "Ja");
}

} // namespace
} // namespace qm
