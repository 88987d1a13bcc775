// Subjects for mask matching: RFC 2047 encoded words of any charset, decoded and converted into
// the machine's code page; and subjects as a person reads them, in UTF-8.

#include "pop3/Charset.h"
#include "pop3/MessageDecoders.h"

#include <optional>

namespace qm {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

struct EncodedWord {
    std::size_t end = 0; // one past the closing "?="
    std::string converted;
};

// The encoded word starting at "=?" at position at, decoded and converted; nothing when the
// text there is not a complete word or its content does not decode. `shown`: a Q word's "_" is
// the blank it stands for (the masks match it as the underscore they always saw).
std::optional<EncodedWord> DecodeWordAt(std::string_view text, std::size_t at, int target, bool shown) {
    const std::size_t q1 = text.find('?', at + 2);
    if (q1 == std::string_view::npos || q1 == at + 2 || q1 + 3 >= text.size() || text[q1 + 2] != '?') {
        return std::nullopt;
    }
    const std::string_view charset = text.substr(at + 2, q1 - at - 2);
    for (char c : charset) {
        if (IsBlank(c) || c == '=') {
            return std::nullopt;
        }
    }
    const char encoding = text[q1 + 1];
    const std::size_t textStart = q1 + 3;
    const std::size_t close = text.find('?', textStart);
    if (close == std::string_view::npos || close + 1 >= text.size() || text[close + 1] != '=') {
        return std::nullopt;
    }
    const std::string_view encoded = text.substr(textStart, close - textStart);
    std::string decoded;
    try {
        if (encoding == 'B' || encoding == 'b') {
            decoded = DecodeBase64(encoded);
        } else if ((encoding == 'Q' || encoding == 'q') && shown) {
            std::string blanks;
            for (const char c : encoded) {
                blanks += c == '_' ? std::string_view("=20") : std::string_view(&c, 1);
            }
            decoded = DecodeQuotedPrintable(blanks);
        } else if (encoding == 'Q' || encoding == 'q') {
            decoded = DecodeQuotedPrintable(encoded);
        } else {
            return std::nullopt;
        }
    } catch (const EIdException&) {
        return std::nullopt; // left as it is
    }
    return EncodedWord{close + 2, ConvertCharset(decoded, CharsetFromName(charset), target)};
}

// The subject with its encoded words decoded into `target`; the text around them goes through
// `around`.
template <typename Around>
std::string DecodeWords(std::string_view subject, int target, bool shown, Around around) {
    std::string result;
    result.reserve(subject.size());
    std::size_t copied = 0; // subject[0, copied) is in result
    std::size_t lastWordEnd = std::string_view::npos;
    std::size_t at = subject.find("=?");
    while (at != std::string_view::npos) {
        std::optional<EncodedWord> word = DecodeWordAt(subject, at, target, shown);
        if (!word) {
            at = subject.find("=?", at + 1);
            continue;
        }
        std::string_view between = subject.substr(copied, at - copied);
        // White space between two adjacent encoded words only separates them.
        const bool onlyBlanks = between.find_first_not_of(" \t\r\n") == std::string_view::npos;
        if (!(lastWordEnd == copied && onlyBlanks)) {
            result += around(between);
        }
        result += word->converted;
        copied = word->end;
        lastWordEnd = word->end;
        at = subject.find("=?", word->end);
    }
    result += around(subject.substr(copied));
    return result;
}

} // namespace

std::string DecodeSubject(std::string_view subject, int codePage) {
    return DecodeWords(subject, SystemCharset(codePage), false, [](std::string_view text) { return text; });
}

std::string ShownSubject(std::string_view subject, int codePage) {
    return DecodeWords(subject, csUTF8, true, [codePage](std::string_view text) { return CodePageToUtf8(text, codePage); });
}

} // namespace qm
