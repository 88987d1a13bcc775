#pragma once

// Helpers shared by the benchmark programs: a line source over prepared lines and base64.

#include "pop3/IdExceptions.h"
#include "pop3/LineSource.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qm::bench {

// Serves prepared lines one at a time, each handed out as a fresh string the way the
// connection returns them; Rewind() serves them again for the next iteration.
class PreparedLineSource : public TIdLineSource {
public:
    explicit PreparedLineSource(std::vector<std::string> lines) : m_lines(std::move(lines)) {
        for (const std::string& l : m_lines) {
            m_bytes += l.size() + 2; // CR LF on the wire
        }
    }
    // The lines of a text split at LF (a CR before it is kept, as the connection keeps it).
    static PreparedLineSource FromText(std::string_view text) {
        std::vector<std::string> lines;
        std::size_t start = 0;
        while (start < text.size()) {
            const std::size_t lf = text.find('\n', start);
            if (lf == std::string_view::npos) {
                lines.emplace_back(text.substr(start));
                break;
            }
            lines.emplace_back(text.substr(start, lf - start));
            start = lf + 1;
        }
        return PreparedLineSource(std::move(lines));
    }

    std::string ReadLine() override {
        if (m_next >= m_lines.size()) {
            throw EIdConnClosedGracefully();
        }
        return m_lines[m_next++];
    }
    void Rewind() { m_next = 0; }
    std::size_t WireBytes() const { return m_bytes; }

private:
    std::vector<std::string> m_lines;
    std::size_t m_next = 0;
    std::size_t m_bytes = 0;
};

inline std::string Base64(std::string_view bytes) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 | static_cast<unsigned char>(bytes[i + 1]) << 8 |
                           static_cast<unsigned char>(bytes[i + 2]);
        out += kAlphabet[v >> 18 & 63];
        out += kAlphabet[v >> 12 & 63];
        out += kAlphabet[v >> 6 & 63];
        out += kAlphabet[v & 63];
    }
    if (i + 1 == bytes.size()) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        out += kAlphabet[v >> 18 & 63];
        out += kAlphabet[v >> 12 & 63];
        out += "==";
    } else if (i + 2 == bytes.size()) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 | static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += kAlphabet[v >> 18 & 63];
        out += kAlphabet[v >> 12 & 63];
        out += kAlphabet[v >> 6 & 63];
        out += '=';
    }
    return out;
}

// Pseudo-random bytes (a fixed linear congruential sequence), e.g. for attachment content.
inline std::string PseudoRandomBytes(std::size_t count) {
    std::string bytes(count, '\0');
    unsigned state = 12345;
    for (char& b : bytes) {
        state = state * 1103515245u + 12345u;
        b = static_cast<char>(state >> 16);
    }
    return bytes;
}

} // namespace qm::bench
