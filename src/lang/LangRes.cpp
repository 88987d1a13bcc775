#include "lang/LangRes.h"

#include "text/AsciiText.h"

#include <limits>

namespace qm {

ELangValueCount::ELangValueCount() : ELangResError("Count of values is more than count of languages!") {}

ELangCapacity::ELangCapacity(std::int32_t rowCount)
    : ELangResError("The allowable quantity of records (" + std::to_string(rowCount) + ") is exceeded!") {}

namespace {

bool isBlank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

const std::string& emptyString() {
    static const std::string empty;
    return empty;
}

} // namespace

std::string NormaliseLangKey(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return AsciiUpper(text);
}

TLangRes::TLangRes(const std::vector<std::string>& codes, std::int32_t capacity) {
    Create(codes, capacity);
}

void TLangRes::Create(const std::vector<std::string>& codes, std::int32_t capacity) {
    // Rows are stored as they are added; rows not yet filled read as empty cells, so a large
    // capacity costs nothing until it is used.
    m_table.clear();
    m_table.push_back(codes);
    const auto maxLangs = static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());
    if (m_table.front().size() > maxLangs)
        m_table.front().resize(maxLangs);
    m_langCount = static_cast<std::int32_t>(m_table.front().size());
    m_rowCount = capacity < 0 ? 0 : capacity;
    m_lastFilledRow = 0;
}

void TLangRes::AddRow(const std::vector<std::string>& values) {
    if (values.size() > static_cast<std::size_t>(m_langCount))
        throw ELangValueCount();
    if (m_lastFilledRow >= m_rowCount)
        throw ELangCapacity(m_rowCount);
    std::vector<std::string> row(static_cast<std::size_t>(m_langCount));
    for (std::size_t i = 0; i < values.size(); ++i)
        row[i] = values[i];
    m_table.push_back(std::move(row));
    ++m_lastFilledRow;
}

const std::string& TLangRes::cell(std::int32_t row, std::int32_t column) const {
    if (row < 0 || column < 0 || column >= m_langCount)
        return emptyString();
    const auto r = static_cast<std::size_t>(row);
    if (r >= m_table.size())
        return emptyString();
    return m_table[r][static_cast<std::size_t>(column)];
}

std::int32_t TLangRes::columnOf(std::string_view code, std::int32_t fallback) const {
    const std::string wanted = NormaliseLangKey(code);
    for (std::int32_t c = 0; c < m_langCount; ++c) {
        if (NormaliseLangKey(cell(0, c)) == wanted)
            return c;
    }
    return fallback;
}

std::string TLangRes::Translate(std::string_view text, std::string_view fromLang, std::string_view toLang) const {
    if (m_langCount == 0)
        return std::string(text);
    const std::int32_t defaultColumn = columnOf(m_defaultLang, 0);
    const std::int32_t source = columnOf(fromLang, defaultColumn);
    const std::int32_t target = columnOf(toLang, defaultColumn);
    const std::string key = NormaliseLangKey(text);
    // First matching row wins. Unfilled rows have empty cells: a blank key matching one of them
    // yields an empty cell, which falls back to the text just as no match does.
    for (std::int32_t row = 1; row <= m_lastFilledRow; ++row) {
        if (NormaliseLangKey(cell(row, source)) == key) {
            const std::string& result = cell(row, target);
            return result.empty() ? std::string(text) : result;
        }
    }
    return std::string(text);
}

const TLangRes& LanguageTable() {
    static const TLangRes table = [] {
        TLangRes lr;
        BuildLanguageTable(lr);
        return lr;
    }();
    return table;
}

std::string Translate(std::string_view text, std::string_view fromLang, std::string_view toLang) {
    return LanguageTable().Translate(text, fromLang, toLang);
}

} // namespace qm
