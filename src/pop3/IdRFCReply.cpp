#include "pop3/IdRFCReply.h"

#include "text/AsciiText.h"

#include <charconv>

namespace qm {

void TIdRFCReply::SetNumericCode(int code) {
    m_numericCode = code;
    if (code > 0) {
        m_textCode = std::to_string(code);
    }
}

void TIdRFCReply::Clear() {
    m_numericCode = 0;
    m_textCode.clear();
    m_text.clear();
}

void TIdRFCReply::ParseLines(const std::vector<std::string>& lines) {
    Clear();
    if (lines.empty()) {
        return;
    }
    m_textCode = std::string(TrimControls(lines.front().substr(0, 4)));
    if (m_textCode.size() == 4 && m_textCode[3] == '-') {
        m_textCode.pop_back();
    }
    int value = 0;
    const char* first = m_textCode.data();
    const char* last = first + m_textCode.size();
    // Only a code made entirely of decimal digits counts as a number.
    const auto [ptr, ec] = std::from_chars(first, last, value);
    m_numericCode = (ec == std::errc() && ptr == last && !m_textCode.empty()) ? value : 0;
    for (const auto& line : lines) {
        m_text.push_back(line.size() > 4 ? line.substr(4) : std::string());
    }
}

std::string TIdRFCReply::TextWithCrLf() const {
    std::string out;
    for (const auto& line : m_text) {
        out += line;
        out += "\r\n";
    }
    return out;
}

} // namespace qm
