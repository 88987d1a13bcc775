// Base64 (RFC 4648) and quoted-printable body decoding (RFC 2045) and small header value helpers.

#include "pop3/MessageDecoders.h"

#include "text/AsciiText.h"

#include <cstdint>

namespace qm {
namespace {

bool IsLineBreak(char c) {
    return c == '\r' || c == '\n';
}

constexpr std::string_view kBase64Alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

} // namespace

std::string EncodeBase64(std::string_view bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const std::uint32_t v = (static_cast<std::uint8_t>(bytes[i]) << 16) |
                                (static_cast<std::uint8_t>(bytes[i + 1]) << 8) |
                                static_cast<std::uint8_t>(bytes[i + 2]);
        out += kBase64Alphabet[(v >> 18) & 63];
        out += kBase64Alphabet[(v >> 12) & 63];
        out += kBase64Alphabet[(v >> 6) & 63];
        out += kBase64Alphabet[v & 63];
    }
    const std::size_t rest = bytes.size() - i;
    if (rest > 0) {
        std::uint32_t v = static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[i])) << 16;
        if (rest == 2) {
            v |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[i + 1])) << 8;
        }
        out += kBase64Alphabet[(v >> 18) & 63];
        out += kBase64Alphabet[(v >> 12) & 63];
        out += rest == 2 ? kBase64Alphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::string DecodeBase64(std::string_view text) {
    if (text.size() % 4 != 0) {
        throw EIdException("Uneven size in DecodeToStream.");
    }
    std::string out;
    out.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const unsigned v = (static_cast<unsigned>(Base64DigitValue(text[i], 0)) << 18) |
                           (static_cast<unsigned>(Base64DigitValue(text[i + 1], 0)) << 12) |
                           (static_cast<unsigned>(Base64DigitValue(text[i + 2], 0)) << 6) |
                           static_cast<unsigned>(Base64DigitValue(text[i + 3], 0));
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
        while (digits < 2 && i < input.size() && HexDigitValue(input[i]) >= 0) {
            value = value * 16 + HexDigitValue(input[i]);
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
    const std::string upper = AsciiUpper(contentType);
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
