// IMAP4rev1 reply syntax (RFC 3501 sections 4, 7 and 9), read leniently where servers differ
// (8-bit bytes in quoted strings and atoms, brackets inside atoms as in "BODY[HEADER]").
#include "imap/ImapReply.h"

#include "text/AsciiText.h"

#include <charconv>

namespace qm {

namespace {

using State = ImapReply::State;

bool IsDigits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// A number of digits only, at most 2^32 - 1.
std::optional<std::uint32_t> ToNumber(std::string_view text) {
    std::uint32_t value = 0;
    if (!IsDigits(text)) {
        return std::nullopt;
    }
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// A reason the bytes cannot be read on; Incomplete is not an error, only a pause.
struct Stop {
    State state;
    std::size_t literalPending = 0;
    std::string error;
};

class Reader {
public:
    Reader(std::string_view bytes, const ImapLimits& limits) : m_bytes(bytes), m_limits(limits) {}

    ImapReply Run() {
        ImapReply reply;
        try {
            Parse(reply);
            reply.state = State::Complete;
            reply.consumed = m_pos;
        } catch (const Stop& stop) {
            reply = {};
            reply.state = stop.state;
            reply.literalPending = stop.literalPending;
            reply.error = stop.error;
        }
        return reply;
    }

private:
    [[noreturn]] static void Malformed(std::string why) { throw Stop{State::Malformed, 0, std::move(why)}; }

    // Only bytes outside literals count against the reply limit.
    void Charge(std::size_t count) {
        m_lineBytes += count;
        if (m_lineBytes > m_limits.maxReplyBytes) {
            Malformed("The IMAP reply is longer than " + std::to_string(m_limits.maxReplyBytes) + " bytes.");
        }
    }

    // The next byte, or a pause when it has not arrived.
    char Peek() {
        if (m_pos >= m_bytes.size()) {
            throw Stop{State::Incomplete, 0, {}};
        }
        return m_bytes[m_pos];
    }
    char Take() {
        const char c = Peek();
        ++m_pos;
        Charge(1);
        return c;
    }
    void Expect(char wanted, const char* what) {
        if (Take() != wanted) {
            Malformed(std::string("The IMAP reply lacks ") + what + ".");
        }
    }
    void ExpectLineEnd() {
        if (Peek() == '\r') {
            Take();
        }
        Expect('\n', "its line end");
    }

    static bool AtomChar(char c) {
        const auto u = static_cast<unsigned char>(c);
        return u > 0x20 && u != 0x7F && c != '(' && c != ')' && c != '"' && c != '{';
    }
    std::string Atom(const char* what) {
        std::string atom;
        while (AtomChar(Peek())) {
            atom += Take();
        }
        if (atom.empty()) {
            Malformed(std::string("The IMAP reply lacks ") + what + ".");
        }
        return atom;
    }

    // The rest of the line as text, up to but not including CR LF.
    std::string RestOfLine() {
        std::string text;
        for (char c = Peek(); c != '\r' && c != '\n'; c = Peek()) {
            text += Take();
        }
        ExpectLineEnd();
        return text;
    }

    void Parse(ImapReply& reply) {
        const char first = Take();
        if (first == '+') {
            reply.type = ImapReply::Type::Continuation;
            if (Peek() == ' ') {
                Take();
            }
            reply.text = RestOfLine();
            return;
        }
        if (first == '*') {
            reply.type = ImapReply::Type::Untagged;
        } else {
            --m_pos;
            reply.type = ImapReply::Type::Tagged;
            reply.tag = Atom("a tag");
        }
        Expect(' ', "a space after its tag");
        std::string word = Atom("a reply name");
        if (reply.type == ImapReply::Type::Untagged && IsDigits(word)) {
            reply.number = ToNumber(word);
            if (!reply.number) {
                Malformed("The IMAP reply's number is out of range.");
            }
            Expect(' ', "a space after its number");
            word = Atom("a reply name");
        }
        reply.name = AsciiUpper(word);
        const bool isStatus = !reply.number && (reply.name == "OK" || reply.name == "NO" || reply.name == "BAD" ||
                                                reply.name == "BYE" || reply.name == "PREAUTH");
        if (reply.type == ImapReply::Type::Tagged && reply.name != "OK" && reply.name != "NO" && reply.name != "BAD") {
            Malformed("The IMAP server answered with \"" + word.substr(0, 40) + "\", not OK, NO or BAD.");
        }
        if (isStatus) {
            reply.status = reply.name;
            reply.name.clear();
            StatusText(reply);
            return;
        }
        while (Peek() == ' ') {
            Take();
            if (Peek() == '\r' || Peek() == '\n') {
                break; // a trailing space, as some servers send after a SEARCH
            }
            reply.items.push_back(Item(0));
        }
        ExpectLineEnd();
    }

    void StatusText(ImapReply& reply) {
        if (Peek() == ' ') {
            Take();
        }
        std::string text = RestOfLine();
        if (!text.empty() && text.front() == '[') {
            const std::size_t close = text.find(']');
            if (close == std::string::npos) {
                Malformed("The IMAP reply's response code has no \"]\".");
            }
            reply.code = text.substr(1, close - 1);
            text.erase(0, close + 1);
            if (!text.empty() && text.front() == ' ') {
                text.erase(0, 1);
            }
        }
        reply.text = std::move(text);
    }

    ImapItem Item(std::size_t depth) {
        if (++m_items > m_limits.maxItems) {
            Malformed("The IMAP reply holds more than " + std::to_string(m_limits.maxItems) + " items.");
        }
        ImapItem item;
        const char c = Peek();
        if (c == '(') {
            if (depth >= m_limits.maxDepth) {
                Malformed("The IMAP reply nests lists deeper than " + std::to_string(m_limits.maxDepth) + ".");
            }
            Take();
            item.kind = ImapItem::Kind::List;
            if (Peek() != ')') {
                for (;;) {
                    item.items.push_back(Item(depth + 1));
                    if (Peek() != ' ') {
                        break;
                    }
                    Take();
                }
            }
            Expect(')', "a \")\" closing its list");
        } else if (c == '"') {
            Take();
            item.kind = ImapItem::Kind::String;
            for (char q = Take(); q != '"'; q = Take()) {
                if (q == '\r' || q == '\n') {
                    Malformed("The IMAP reply's quoted string has no closing quote.");
                }
                item.text += q == '\\' ? Take() : q;
            }
        } else if (c == '{') {
            item.kind = ImapItem::Kind::String;
            item.literal = true;
            item.text = Literal();
        } else {
            item.text = Atom("a data item");
            if (EqualNoCase(item.text, "NIL")) {
                item.kind = ImapItem::Kind::Nil;
                item.text.clear();
            }
        }
        return item;
    }

    std::string Literal() {
        Take();
        std::string digits;
        while (Peek() != '}') {
            digits += Take();
            if (digits.size() > 10) {
                break;
            }
        }
        const std::optional<std::uint32_t> count = ToNumber(digits);
        if (!count) {
            Malformed("The IMAP reply's literal has no valid size.");
        }
        Take();
        ExpectLineEnd();
        if (*count > m_limits.maxLiteralBytes - m_literalBytes) {
            Malformed("The IMAP reply's literal of " + digits + " bytes passes the limit of " +
                      std::to_string(m_limits.maxLiteralBytes) + " bytes.");
        }
        const std::size_t have = m_bytes.size() - m_pos;
        if (have < *count) {
            throw Stop{State::Incomplete, *count - have, {}};
        }
        std::string text(m_bytes.substr(m_pos, *count));
        m_pos += *count;
        m_literalBytes += *count;
        return text;
    }

    std::string_view m_bytes;
    const ImapLimits& m_limits;
    std::size_t m_pos = 0;
    std::size_t m_lineBytes = 0;
    std::size_t m_literalBytes = 0;
    std::size_t m_items = 0;
};

} // namespace

bool ImapItem::IsAtom(std::string_view name) const {
    return kind == Kind::Atom && EqualNoCase(text, name);
}

std::optional<std::uint32_t> ImapItem::Number() const {
    return kind == Kind::Atom ? ToNumber(text) : std::nullopt;
}

ImapReply ReadImapReply(std::string_view bytes, const ImapLimits& limits) {
    return Reader(bytes, limits).Run();
}

std::vector<std::string> CodeWords(std::string_view code) {
    std::vector<std::string> words;
    std::size_t start = 0;
    while (start < code.size()) {
        std::size_t end = code.find(' ', start);
        if (end == std::string_view::npos) {
            end = code.size();
        }
        if (end > start) {
            words.emplace_back(code.substr(start, end - start));
        }
        start = end + 1;
    }
    return words;
}

} // namespace qm
