// RFC 2047 encoded words in header values, for the ISO-* and WINDOWS-* charsets.

#include "pop3/MessageDecoders.h"
#include "text/AsciiText.h"

#include <algorithm>
#include <string>

namespace qm {
namespace {

// The text being decoded. Words are replaced one at a time and the search goes on inside the
// replacement, so the text is a gap buffer (replacing is cheap near the last replacement) and each
// pattern remembers how long a tail of the text is known not to hold it (failed searches do not
// scan the same tail again). This keeps a value with many thousands of words linear in practice.
class WordText {
public:
    explicit WordText(std::string_view text) : m_right(text) {}

    std::size_t Size() const { return m_left.size() + m_right.size() - m_rpos; }
    char At(std::size_t i) const { return i < m_left.size() ? m_left[i] : m_right[m_rpos + i - m_left.size()]; }

    std::string Slice(std::size_t from, std::size_t to) const {
        std::string s;
        s.reserve(to - from);
        for (std::size_t i = from; i < to; ++i) {
            s.push_back(At(i));
        }
        return s;
    }

    // Replaces [a, a + length) by a text that is never longer.
    void Replace(std::size_t a, std::size_t length, const std::string& with) {
        const std::size_t oldSize = Size();
        for (std::size_t& clean : m_cleanTail) {
            clean = std::min(clean, oldSize - (a + length));
        }
        MoveGap(a);
        m_rpos += length - with.size();
        m_right.replace(m_rpos, with.size(), with);
    }

    // First position at or after from where pattern starts (letter case ignored); npos if none.
    std::size_t Find(int which, std::string_view pattern, std::size_t from) {
        const std::size_t n = Size();
        const std::size_t limit = n - std::min(n, m_cleanTail[which]);
        for (std::size_t i = from; i < limit && i + pattern.size() <= n; ++i) {
            std::size_t k = 0;
            while (k < pattern.size() && AsciiUpperChar(At(i + k)) == pattern[k]) {
                ++k;
            }
            if (k == pattern.size()) {
                return i;
            }
        }
        if (from < n) {
            m_cleanTail[which] = std::max(m_cleanTail[which], n - from);
        }
        return std::string::npos;
    }

    std::string Text() const { return m_left + m_right.substr(m_rpos); }

private:
    void MoveGap(std::size_t pos) {
        if (pos > m_left.size()) {
            const std::size_t k = pos - m_left.size();
            m_left.append(m_right, m_rpos, k);
            m_rpos += k;
        } else if (pos < m_left.size()) {
            const std::size_t k = m_left.size() - pos;
            m_rpos -= k; // every byte in m_left once freed a byte in front of m_rpos
            m_right.replace(m_rpos, k, m_left, pos, k);
            m_left.resize(pos);
        }
    }

    std::string m_left;
    std::string m_right;
    std::size_t m_rpos = 0;
    std::size_t m_cleanTail[4] = {0, 0, 0, 0};
};

enum Pattern { kIso, kWindows, kQuestion, kClose };

// text is the encoded text followed by its closing "?=".
std::string DecodeQWord(const std::string& text) {
    std::string out;
    const std::size_t end = text.size() - 2;
    for (std::size_t i = 0; i < end; ++i) {
        const char c = text[i];
        if (c == '_') {
            out.push_back(' ');
        } else if (c == '=' && text.size() - i >= 5) {
            const int hi = HexDigitValue(text[i + 1]);
            const int lo = HexDigitValue(text[i + 2]);
            if (hi < 0 || lo < 0) {
                throw EIdConvertError("$" + text.substr(i + 1, 2));
            }
            out.push_back(static_cast<char>(hi * 16 + lo));
            i += 2;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

// Groups of four are taken while four characters remain counting the closing "?=", so the last
// group may reach into it; those characters count as 0.
std::string DecodeBWord(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; text.size() - i >= 4; i += 4) {
        const unsigned v = (static_cast<unsigned>(Base64DigitValue(text[i], 0)) << 18) |
                           (static_cast<unsigned>(Base64DigitValue(text[i + 1], 0)) << 12) |
                           (static_cast<unsigned>(Base64DigitValue(text[i + 2], 0)) << 6) |
                           static_cast<unsigned>(Base64DigitValue(text[i + 3], 0));
        out.push_back(static_cast<char>((v >> 16) & 0xFF));
        out.push_back(static_cast<char>((v >> 8) & 0xFF));
        out.push_back(static_cast<char>(v & 0xFF));
    }
    return out;
}

// ISO-2022-JP (JIS) to Shift-JIS.
std::string JisToShiftJis(const std::string& in) {
    std::string out;
    bool twoByte = false;
    std::size_t i = 0;
    while (i < in.size()) {
        const auto c = static_cast<unsigned char>(in[i]);
        if (c == 0x1B) {
            if (i + 2 < in.size()) {
                if (in[i + 1] == '$' && in[i + 2] == 'B') {
                    twoByte = true;
                } else if (in[i + 1] == '(' && in[i + 2] == 'B') {
                    twoByte = false;
                }
            }
            i += 3;
            continue;
        }
        if (!twoByte) {
            out.push_back(static_cast<char>(c));
            ++i;
            continue;
        }
        if (i + 1 >= in.size()) {
            break; // half a pair at the end
        }
        const unsigned c1 = c;
        const unsigned c2 = static_cast<unsigned char>(in[i + 1]);
        const unsigned first = ((c1 - 1) >> 1) + (c1 <= 94 ? 113u : 177u);
        unsigned second;
        if (c1 % 2 == 0) {
            second = c2 + 126;
        } else {
            second = c2 < 96 ? c2 + 31 : c2 + 32;
        }
        out.push_back(static_cast<char>(first & 0xFF));
        out.push_back(static_cast<char>(second & 0xFF));
        i += 2;
    }
    return out;
}

} // namespace

std::string DecodeEncodedWords(std::string_view value) {
    WordText text(value);
    std::size_t noWindowsBefore = 0; // no "=?WINDOWS" starts before this position
    auto findWindows = [&](std::size_t from) {
        const std::size_t found = text.Find(kWindows, "=?WINDOWS", std::max(from, noWindowsBefore));
        if (from <= noWindowsBefore && found != std::string::npos) {
            noWindowsBefore = found;
        }
        return found;
    };

    std::size_t a = text.Find(kIso, "=?ISO", 0);
    if (a == std::string::npos) {
        a = findWindows(0);
    }
    while (a != std::string::npos) {
        const std::size_t q1 = text.Find(kQuestion, "?", a + 5);
        const std::size_t q2 = q1 == std::string::npos ? q1 : text.Find(kQuestion, "?", q1 + 1);
        const std::size_t q3 = q2 == std::string::npos ? q2 : text.Find(kClose, "?=", q2 + 1);
        if (q3 == std::string::npos) {
            // Not a complete word: pass over it.
            const std::size_t skipped = a;
            a = text.Find(kIso, "=?ISO", skipped + 1);
            if (a == std::string::npos) {
                a = findWindows(skipped + 1);
            }
            continue;
        }
        std::string charset = text.Slice(a + 2, q1);
        for (char& c : charset) {
            c = AsciiUpperChar(c);
        }
        const char encoding = AsciiUpperChar(text.At(q1 + 1));
        const std::string encoded = text.Slice(q2 + 1, q3 + 2);
        std::string decoded = encoding == 'Q' ? DecodeQWord(encoded) : DecodeBWord(encoded);
        if (charset == "ISO-2022-JP") {
            decoded = JisToShiftJis(decoded);
        }
        text.Replace(a, q3 + 2 - a, decoded);
        noWindowsBefore = std::min(noWindowsBefore, a >= 8 ? a - 8 : 0);
        const std::size_t replacedAt = a;
        a = text.Find(kIso, "=?ISO", replacedAt + 1);
        if (a == std::string::npos) {
            a = findWindows(0);
        }
    }

    std::string result = text.Text();
    std::erase(result, '\0'); // padding "=" in B words decodes to NUL bytes
    return result;
}

} // namespace qm
