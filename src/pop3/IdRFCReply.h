#pragma once

// One parsed server reply: its code and its text lines.

#include <string>
#include <vector>

namespace qm {

class TIdRFCReply {
public:
    int NumericCode() const { return m_numericCode; }
    // A value above 0 also sets TextCode to its decimal text.
    void SetNumericCode(int code);
    const std::string& TextCode() const { return m_textCode; }
    const std::vector<std::string>& Text() const { return m_text; }

    void Clear();
    // Parses the lines of one reply: the text code is the first four characters of the first
    // line, trimmed, without a fourth "-"; every line from its fifth character on is a text line.
    void ParseLines(const std::vector<std::string>& lines);
    // The text lines, each followed by CR LF.
    std::string TextWithCrLf() const;

private:
    int m_numericCode = 0;
    std::string m_textCode;
    std::vector<std::string> m_text;
};

} // namespace qm
