// The program's interface table: its shape, a sample of real rows in every language, and the
// lookups the interface depends on.
#include "lang/LangRes.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace qm {
namespace {

constexpr int kRu = 0, kIt = 1, kEn = 2, kDe = 3;

TEST(LanguageTableTest, ShapeAndHeader) {
    TLangRes lr;
    BuildLanguageTable(lr);
    EXPECT_EQ(lr.langCount(), 4);
    EXPECT_EQ(lr.rowCount(), 120);
    EXPECT_EQ(lr.lastFilledRow(), 120);
    EXPECT_EQ(lr.defaultLang(), "EN");
    EXPECT_EQ(lr.cell(0, kRu), "RU");
    EXPECT_EQ(lr.cell(0, kIt), "IT");
    EXPECT_EQ(lr.cell(0, kEn), "EN");
    EXPECT_EQ(lr.cell(0, kDe), "DE");
}

TEST(LanguageTableTest, EveryCellFilledAndEnglishKeysDistinct) {
    const TLangRes& lr = LanguageTable();
    std::set<std::string> keys;
    for (int row = 1; row <= lr.rowCount(); ++row) {
        for (int col = 0; col < lr.langCount(); ++col)
            EXPECT_FALSE(lr.cell(row, col).empty()) << "row " << row << " column " << col;
        EXPECT_TRUE(keys.insert(NormaliseLangKey(lr.cell(row, kEn))).second) << lr.cell(row, kEn);
    }
}

TEST(LanguageTableTest, RowPastTheLastExceedsCapacity) {
    TLangRes lr;
    BuildLanguageTable(lr);
    try {
        lr.AddRow({"a", "b", "c", "d"});
        FAIL() << "a row past the table was accepted";
    } catch (const ELangCapacity& e) {
        EXPECT_STREQ(e.what(), "The allowable quantity of records (120) is exceeded!");
        EXPECT_NE(std::string(e.what()).find("The allowable quantity of records"), std::string::npos);
    }
    EXPECT_THROW(lr.AddRow({"a", "b", "c", "d", "e"}), ELangValueCount);
    EXPECT_EQ(lr.lastFilledRow(), 120);
}

struct RowSample {
    int row;
    const char* ru;
    const char* it;
    const char* en;
    const char* de;
};

// Rows spread over the whole table, each checked cell by cell in all four languages.
const RowSample kSamples[] = {
    {1, "Да", "Si", "Yes", "Ja"},
    {6, "Проверить почту", "Provare Posta", "Check Mail", "Uberprufen Sie Post"},
    {20, "Удалить запись", "Cancella account", "Delete account", "LoschungAccount"},
    {29, "запускать вместе с сеансом рабочего стола", "avviare con la sessione del desktop",
     "start with the desktop session", "mit der Desktop-Sitzung starten"},
    {41, "Пароль", "Parola d'accesso", "Password", "Kennwort"},
    {56, "(сообщения с этих адресов удаляются с сервера)",
     "(i messaggi da questi indirizzi saranno eliminati dal mail server)",
     "(messages from these addresses will be deleted from mail server)",
     "(Meldungen von diesen Adressen werden aus mail server geloscht)"},
    {67, "соединение c", "collegamento al", "connecting to", "connecting to"},
    {68, "есть соединение c", "collegato al", "connected to", "connected to"},
    {75, "Можно использовать маску (?, *)", "E possibile usare i simboli di maschera (?, *)",
     "It is possible to use mask symbols (?, *)", "It is possible to use mask symbols (?, *)"},
    {76, "(сообщения, содержащие эти темы удаляются с сервера)",
     "(i messaggi con questi temi saranno eliminati dal mail server)",
     "(messages with these subjects will be deleted from mail server)",
     "(messages with these subjects will be deleted from mail server)"},
    {77, "показывать уведомление", "mostra una notifica", "show a notification", "Benachrichtigung anzeigen"},
    {100, "Учетные записи", "Account", "Accounts", "Konten"},
    {118, "подключено для push", "connesso per il push", "connected for push", "fur Push verbunden"},
};

TEST(LanguageTableTest, SampledRowsCellByCell) {
    const TLangRes& lr = LanguageTable();
    for (const auto& s : kSamples) {
        SCOPED_TRACE(s.row);
        EXPECT_EQ(lr.cell(s.row, kRu), s.ru);
        EXPECT_EQ(lr.cell(s.row, kIt), s.it);
        EXPECT_EQ(lr.cell(s.row, kEn), s.en);
        EXPECT_EQ(lr.cell(s.row, kDe), s.de);
        EXPECT_EQ(Translate(s.en, "EN", "RU"), s.ru);
        EXPECT_EQ(Translate(s.en, "EN", "IT"), s.it);
        EXPECT_EQ(Translate(s.en, "EN", "DE"), s.de);
        EXPECT_EQ(Translate(s.en, "EN", "EN"), s.en);
    }
}

TEST(LanguageTableTest, RussianConnectionRowsEndWithLatinC) {
    const TLangRes& lr = LanguageTable();
    for (int row : {67, 68}) {
        const std::string& ru = lr.cell(row, kRu);
        ASSERT_GE(ru.size(), 2u);
        EXPECT_EQ(ru.substr(ru.size() - 2), " c") << "row " << row;
    }
    // Every other Russian cell is Cyrillic where it says "c": the Cyrillic letter is two bytes.
    EXPECT_EQ(lr.cell(69, kRu), "отсоединение от");
}

struct InterfaceLookup {
    const char* text;
    const char* from;
    const char* to;
    const char* expected;
};

// Lookups the interface relies on, including the fallbacks it meets with real settings values.
const InterfaceLookup kLookups[] = {
    {"Check Mail", "EN", "RU", "Проверить почту"},
    {"  check mail\t", "en", "ru", "Проверить почту"},
    {"edit subject", "EN", "RU", "edit subject"},
    {"Start", "EN", "FR", "Start"},
    {"Start", "EN", "DE", "Start"},
    {"Restart", "EN", "DE", "Wiederbeginnen"},
    {"Are you sure?", "EN", "ru", "Вы уверены?"},
    {"Founded new version", "EN", "IT", "Trovata la versione nuova"},
    {"Download it now?", "EN", "RU", "Загрузить сейчас?"},
    {"Close", "EN", "", "Close"},
    {"close", "EN", "EN", "Close"},
    {"Проверить почту", "RU", "EN", "Check Mail"},
    {"Beendet", "de", "it", "Esci"},
};

TEST(LanguageTableTest, InterfaceLookups) {
    for (const auto& l : kLookups) {
        SCOPED_TRACE(std::string(l.text) + " -> " + l.to);
        EXPECT_EQ(Translate(l.text, l.from, l.to), l.expected);
    }
}

} // namespace
} // namespace qm
