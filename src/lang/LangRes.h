#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qm {

// Base of the errors the language table raises while it is being filled.
class ELangResError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// AddRow was given more values than the table has languages.
// Text: "Count of values is more than count of languages!"
class ELangValueCount : public ELangResError {
public:
    ELangValueCount();
};

// AddRow on a full table. Text: "The allowable quantity of records (<rowCount>) is exceeded!"
class ELangCapacity : public ELangResError {
public:
    explicit ELangCapacity(std::int32_t rowCount);
};

// The language table: row 0 holds the language codes, rows 1..rowCount the texts, one column per
// language. Translate looks a text up in one column and answers from another. Read-only once filled,
// so Translate may be called from any thread.
class TLangRes {
public:
    // An empty component: no languages, no rows; Translate returns its text unchanged.
    TLangRes() = default;
    TLangRes(const std::vector<std::string>& codes, std::int32_t capacity);

    // Replaces the whole content with an empty table of the given codes and capacity
    // (a negative capacity counts as 0).
    void Create(const std::vector<std::string>& codes, std::int32_t capacity);

    // Appends one text row; value i goes to column i, missing values leave empty cells.
    // Throws ELangValueCount when values outnumber the languages (checked first),
    // ELangCapacity when the table is full. On either error the table is unchanged.
    void AddRow(const std::vector<std::string>& values);

    // The toLang cell of the first row whose fromLang cell matches text, compared with blanks
    // (codes 0..32) trimmed and ASCII letters upper-cased; text itself, unchanged, when no row
    // matches or the cell is empty. Unknown language codes select the defaultLang column
    // (column 0 when defaultLang is unknown too).
    std::string Translate(std::string_view text, std::string_view fromLang, std::string_view toLang) const;

    std::int32_t rowCount() const { return m_rowCount; }
    std::int32_t langCount() const { return m_langCount; }
    std::int32_t lastFilledRow() const { return m_lastFilledRow; }
    const std::string& defaultLang() const { return m_defaultLang; }
    void setDefaultLang(std::string code) { m_defaultLang = std::move(code); }

    // Cell (row, column) as stored; row 0 is the header. Empty outside the table.
    const std::string& cell(std::int32_t row, std::int32_t column) const;

private:
    std::int32_t columnOf(std::string_view code, std::int32_t fallback) const;

    std::vector<std::vector<std::string>> m_table;
    std::int32_t m_langCount = 0;
    std::int32_t m_rowCount = 0;
    std::int32_t m_lastFilledRow = 0;
    std::string m_defaultLang;
};

// Normalised form used by every comparison of the table: codes 0..32 removed from both ends,
// ASCII a..z upper-cased, every other byte (UTF-8 included) untouched.
std::string NormaliseLangKey(std::string_view text);

// Fills lr with the program's interface table: codes "RU", "IT", "EN", "DE", 115 rows,
// defaultLang "EN". Interface texts are UTF-8.
void BuildLanguageTable(TLangRes& lr);

// The program's interface table, built once on first use and read-only afterwards (thread-safe).
const TLangRes& LanguageTable();

// Translate against the program's interface table; callers pass the English text, "EN" and
// the current interface language code.
std::string Translate(std::string_view text, std::string_view fromLang, std::string_view toLang);

} // namespace qm
