// Charset conversion between the single-byte tables and UCS-2, UCS-4, UTF-8 (RFC 2279) and
// UTF-7 (RFC 2152).

#include "pop3/Charset.h"

#include "pop3/CharsetTables.h"
#include "text/AsciiText.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace qm {
namespace {

constexpr char kReplacement = '_';
constexpr char32_t kUnassigned = 0xFFFD;

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}
bool Contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

int ValidId(int id) {
    return id >= 0 && id < kCharsetCount ? id : csISO_8859_1;
}

int UnitWidth(int id) {
    switch (id) {
    case csUCS2:
    case csUTF7:
        return 2;
    case csUCS4:
    case csUTF8:
        return 4;
    default:
        return 1;
    }
}

constexpr char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Lenient UTF-8: the lead byte keeps the bits its form gives and every directly following
// continuation byte adds six more, however many there are.
std::vector<char32_t> Utf8ToCodePoints(std::string_view bytes) {
    std::vector<char32_t> result;
    result.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i++]);
        if (lead < 0x80) {
            result.push_back(lead);
            continue;
        }
        std::uint64_t value = 0;
        if (lead >= 0xFC && lead <= 0xFD) {
            value = lead & 0x01u;
        } else if (lead >= 0xF8 && lead <= 0xFB) {
            value = lead & 0x03u;
        } else if (lead >= 0xF0 && lead <= 0xF7) {
            value = lead & 0x07u;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            value = lead & 0x0Fu;
        } else if (lead >= 0xC0 && lead <= 0xDF) {
            value = lead & 0x1Fu;
        }
        while (i < bytes.size() && static_cast<unsigned char>(bytes[i]) >= 0x80 &&
               static_cast<unsigned char>(bytes[i]) <= 0xBF) {
            // Saturate: an endless run of continuation bytes must not wrap into a small value.
            value = std::min<std::uint64_t>((value << 6) | (static_cast<unsigned char>(bytes[i]) & 0x3Fu), 0xFFFFFFFFu);
            ++i;
        }
        result.push_back(static_cast<char32_t>(value));
    }
    return result;
}

std::vector<char32_t> Utf7ToUnits(std::string_view bytes) {
    std::vector<char32_t> result;
    result.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto c = static_cast<unsigned char>(bytes[i++]);
        if (c != '+') {
            result.push_back(c);
            continue;
        }
        const std::size_t runStart = i;
        while (i < bytes.size() && Base64DigitValue(bytes[i], -1) >= 0) {
            ++i;
        }
        const std::string_view run = bytes.substr(runStart, i - runStart);
        if (i < bytes.size() && bytes[i] == '-') {
            ++i;
        }
        if (run.empty()) {
            result.push_back('+');
            continue;
        }
        std::string decoded;
        std::uint32_t buffer = 0;
        int bits = 0;
        for (char rc : run) {
            buffer = (buffer << 6) | static_cast<std::uint32_t>(Base64DigitValue(rc, -1));
            bits += 6;
            if (bits >= 8) {
                bits -= 8;
                decoded.push_back(static_cast<char>((buffer >> bits) & 0xFFu));
            }
        }
        if (decoded.size() % 2 != 0) {
            result.push_back('+');
            for (char rc : run) {
                result.push_back(static_cast<unsigned char>(rc));
            }
            continue;
        }
        for (std::size_t k = 0; k < decoded.size(); k += 2) {
            result.push_back((static_cast<char32_t>(static_cast<unsigned char>(decoded[k])) << 8) |
                             static_cast<unsigned char>(decoded[k + 1]));
        }
    }
    return result;
}

std::vector<char32_t> ReadUnits(std::string_view bytes, int width, int fromId) {
    std::vector<char32_t> result;
    result.reserve(bytes.size() / static_cast<std::size_t>(width) + 1);
    for (std::size_t i = 0; i < bytes.size(); i += static_cast<std::size_t>(width)) {
        if (i + static_cast<std::size_t>(width) > bytes.size()) {
            result.push_back(0); // a trailing incomplete unit
            break;
        }
        char32_t value = 0;
        for (int k = 0; k < width; ++k) {
            value = (value << 8) | static_cast<unsigned char>(bytes[i + static_cast<std::size_t>(k)]);
        }
        if (width == 1 && value >= 0x80) {
            value = kCharsetUpperHalves[fromId][value - 0x80];
        }
        result.push_back(value);
    }
    return result;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// UTF-7 with every character outside printable ASCII (and "+" itself) in base64 runs.
std::string EncodeUtf7(const std::vector<char32_t>& units) {
    std::string out;
    std::size_t i = 0;
    while (i < units.size()) {
        const char32_t c = units[i];
        if (c == '+') {
            out += "+-";
            ++i;
        } else if (c < 0x80 && c != '~' && c != '\\') {
            out.push_back(static_cast<char>(c));
            ++i;
        } else {
            out.push_back('+');
            std::uint32_t buffer = 0;
            int bits = 0;
            while (i < units.size() && (units[i] >= 0x80 || units[i] == '~' || units[i] == '\\')) {
                buffer = (buffer << 16) | (units[i] & 0xFFFFu);
                bits += 16;
                while (bits >= 6) {
                    bits -= 6;
                    out.push_back(kBase64Alphabet[(buffer >> bits) & 0x3F]);
                }
                ++i;
            }
            if (bits > 0) {
                out.push_back(kBase64Alphabet[(buffer << (6 - bits)) & 0x3F]);
            }
            out.push_back('-');
        }
    }
    return out;
}

char ToSingleByte(char32_t c, int toId, char replacement) {
    if (c < 0x80) {
        return static_cast<char>(c);
    }
    const std::uint16_t* table = kCharsetUpperHalves[toId];
    for (int k = 0; k < 128; ++k) {
        if (table[k] == c) {
            return static_cast<char>(0x80 + k);
        }
    }
    return replacement;
}

} // namespace

int CharsetFromName(std::string_view name) {
    const std::string s = AsciiUpper(name);
    static constexpr std::string_view kLongIso[] = {"ISO-8859-10", "ISO-8859-13", "ISO-8859-14", "ISO-8859-15"};
    for (int k = 0; k < 4; ++k) {
        if (StartsWith(s, kLongIso[k])) {
            return csISO_8859_10 + k;
        }
    }
    for (int k = 2; k <= 9; ++k) {
        if (StartsWith(s, "ISO-8859-" + std::to_string(k))) {
            return csISO_8859_2 + (k - 2);
        }
    }
    for (int k = 0; k <= 8; ++k) {
        const std::string digits = "125" + std::to_string(k);
        if (StartsWith(s, "WINDOWS-" + digits) || StartsWith(s, "X-CP" + digits)) {
            return csWindows1250 + k;
        }
    }
    if (StartsWith(s, "KOI8-R")) {
        return csKOI8_R;
    }
    if (Contains(s, "KAMENICKY") || Contains(s, "895")) {
        return csKamenicky;
    }
    if (Contains(s, "LATIN-2") || Contains(s, "852")) {
        return csLatin2;
    }
    if (StartsWith(s, "UTF-7")) {
        return csUTF7;
    }
    if (Contains(s, "UTF-8")) {
        return csUTF8;
    }
    if (Contains(s, "UCS-4")) {
        return csUCS4;
    }
    if (Contains(s, "UCS-2") || StartsWith(s, "UNICODE")) {
        return csUCS2;
    }
    return csISO_8859_1;
}

int SystemCharset(int codePage) {
    switch (codePage) {
    case 1250:
        return csWindows1250;
    case 1251:
        return csWindows1251;
    case 1253:
        return csWindows1253;
    case 1254:
        return csWindows1254;
    case 1255:
        return csWindows1255;
    case 1256:
        return csWindows1256;
    case 1257:
        return csWindows1257;
    case 1258:
        return csWindows1258;
    default:
        return csWindows1252;
    }
}

std::string ConvertCharset(std::string_view bytes, int fromId, int toId) {
    fromId = ValidId(fromId);
    toId = ValidId(toId);
    std::vector<char32_t> chars;
    if (fromId == csUTF8) {
        chars = Utf8ToCodePoints(bytes);
    } else if (fromId == csUTF7) {
        chars = Utf7ToUnits(bytes);
    } else {
        chars = ReadUnits(bytes, UnitWidth(fromId), fromId);
    }
    for (char32_t& c : chars) {
        if (c > 0xFFFF) {
            c = kReplacement;
        }
    }

    std::string out;
    if (toId < kSingleByteCharsetCount) {
        out.reserve(chars.size());
        for (char32_t c : chars) {
            out.push_back(ToSingleByte(c, toId, kReplacement));
        }
    } else if (toId == csUTF8) {
        for (char32_t c : chars) {
            AppendUtf8(out, c);
        }
    } else if (toId == csUTF7) {
        out = EncodeUtf7(chars);
    } else {
        const int width = UnitWidth(toId);
        for (char32_t c : chars) {
            for (int shift = (width - 1) * 8; shift >= 0; shift -= 8) {
                out.push_back(static_cast<char>((c >> shift) & 0xFFu));
            }
        }
    }
    return out;
}

std::string CodePageToUtf8(std::string_view bytes, int codePage) {
    const int id = SystemCharset(codePage);
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        const char32_t c = u < 0x80 ? u : kCharsetUpperHalves[id][u - 0x80];
        if (c == kUnassigned) {
            out.push_back('?');
        } else {
            AppendUtf8(out, c);
        }
    }
    return out;
}

std::string Utf8ToCodePage(std::string_view utf8, int codePage) {
    const int id = SystemCharset(codePage);
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            out.push_back(static_cast<char>(lead));
            ++i;
            continue;
        }
        // Strict decoding: overlong forms, surrogates and values above U+10FFFF are invalid and
        // cost exactly their lead byte, so the following bytes are looked at afresh.
        int length = 0;
        char32_t c = 0;
        char32_t minimum = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2, c = lead & 0x1Fu, minimum = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3, c = lead & 0x0Fu, minimum = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4, c = lead & 0x07u, minimum = 0x10000;
        }
        bool valid = length > 0 && i + static_cast<std::size_t>(length) <= utf8.size();
        for (int k = 1; valid && k < length; ++k) {
            const auto cont = static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]);
            valid = (cont & 0xC0u) == 0x80u;
            c = (c << 6) | (cont & 0x3Fu);
        }
        valid = valid && c >= minimum && c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF);
        if (!valid) {
            out.push_back('?');
            ++i;
            continue;
        }
        out.push_back(c == kUnassigned ? '?' : ToSingleByte(c, id, '?'));
        i += static_cast<std::size_t>(length);
    }
    return out;
}

} // namespace qm
