// Base64 and quoted-printable body decoding (RFC 2045) and small header value helpers.

#include "pop3/MessageDecoders.h"

namespace qm {
namespace {

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z') {
        return c - 'A';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 26;
    }
    if (c >= '0' && c <= '9') {
        return c - '0' + 52;
    }
    if (c == '+') {
        return 62;
    }
    if (c == '/') {
        return 63;
    }
    return 0;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool IsLineBreak(char c) {
    return c == '\r' || c == '\n';
}

} // namespace

std::string_view TrimCtl(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ') {
        ++begin;
    }
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ') {
        --end;
    }
    return text.substr(begin, end - begin);
}

std::string DecodeBase64(std::string_view text) {
    if (text.size() % 4 != 0) {
        throw EIdException("Uneven size in DecodeToStream.");
    }
    std::string out;
    out.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const unsigned v = (static_cast<unsigned>(Base64Value(text[i])) << 18) |
                           (static_cast<unsigned>(Base64Value(text[i + 1])) << 12) |
                           (static_cast<unsigned>(Base64Value(text[i + 2])) << 6) |
                           static_cast<unsigned>(Base64Value(text[i + 3]));
        out.push_back(static_cast<char>((v >> 16) & 0xFF));
        if (text[i + 2] == '=') {
            continue;
        }
        out.push_back(static_cast<char>((v >> 8) & 0xFF));
        if (text[i + 3] == '=') {
            continue;
        }
        out.push_back(static_cast<char>(v & 0xFF));
    }
    return out;
}

std::string DecodeQuotedPrintable(std::string_view text) {
    // Trailing spaces and TABs go, line breaks among them stay.
    std::size_t end = text.size();
    while (end > 0 && (text[end - 1] == ' ' || text[end - 1] == '\t' || IsLineBreak(text[end - 1]))) {
        --end;
    }
    std::string input(text.substr(0, end));
    for (std::size_t i = end; i < text.size(); ++i) {
        if (IsLineBreak(text[i])) {
            input.push_back(text[i]);
        }
    }

    std::string out;
    out.reserve(input.size());
    auto skipLineBreaks = [&](std::size_t& i) {
        for (int k = 0; k < 2 && i < input.size() && IsLineBreak(input[i]); ++k) {
            ++i;
        }
    };
    std::size_t i = 0;
    while (i < input.size()) {
        if (input[i] != '=') {
            out.push_back(input[i++]);
            continue;
        }
        ++i;
        int digits = 0;
        int value = 0;
        while (digits < 2 && i < input.size() && HexValue(input[i]) >= 0) {
            value = value * 16 + HexValue(input[i]);
            ++digits;
            ++i;
        }
        if (digits == 0) {
            skipLineBreaks(i); // soft line break
            continue;
        }
        out.push_back(static_cast<char>(value));
        if (value == ' ' && i < input.size() && IsLineBreak(input[i])) {
            out += "\r\n";
            skipLineBreaks(i);
        }
    }
    return out;
}

std::string BoundaryOf(std::string_view contentType) {
    std::string upper(contentType);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    const std::size_t at = upper.find("BOUNDARY=");
    if (at == std::string::npos) {
        return {};
    }
    std::string rest = upper.substr(at + 9);
    if (!rest.empty() && rest[0] == '"') {
        const std::size_t close = rest.find('"', 1);
        return rest.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    }
    return rest.substr(0, rest.find(';'));
}

} // namespace qm
