// HTTP/1.1 message framing (RFC 9112, sections 4, 5, 6 and 7.1).
#include "update/HttpResponse.h"

#include "text/AsciiText.h"

#include <cstdint>
#include <optional>

namespace qm {

namespace {

using State = HttpResponse::State;

// A chunk size above this is no version file; it also keeps the arithmetic far from overflow.
constexpr std::uint64_t kMaxChunkSize = std::uint64_t{1} << 40;

// Walks the bytes line by line; a line ends with LF, a CR before it is dropped.
class Cursor {
public:
    explicit Cursor(std::string_view bytes) : m_bytes(bytes) {}

    // The next line, or nullopt when its LF has not arrived.
    std::optional<std::string_view> line() {
        const std::size_t lf = m_bytes.find('\n', m_pos);
        if (lf == std::string_view::npos) {
            return std::nullopt;
        }
        std::string_view text = m_bytes.substr(m_pos, lf - m_pos);
        if (!text.empty() && text.back() == '\r') {
            text.remove_suffix(1);
        }
        m_pos = lf + 1;
        return text;
    }

    // The next count bytes, or nullopt when they have not all arrived.
    std::optional<std::string_view> take(std::uint64_t count) {
        if (count > left()) {
            return std::nullopt;
        }
        const std::string_view part = m_bytes.substr(m_pos, static_cast<std::size_t>(count));
        m_pos += static_cast<std::size_t>(count);
        return part;
    }

    std::string_view rest() const { return m_bytes.substr(m_pos); }
    std::size_t left() const { return m_bytes.size() - m_pos; }

private:
    std::string_view m_bytes;
    std::size_t m_pos = 0;
};

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// "HTTP/1.1 200 OK": the version, a space, three digits, then a space and a reason or nothing.
std::optional<int> statusOf(std::string_view line) {
    if (line.size() < 12 || line.substr(0, 5) != "HTTP/" || !isDigit(line[5]) || line[6] != '.' || !isDigit(line[7]) ||
        line[8] != ' ' || !isDigit(line[9]) || !isDigit(line[10]) || !isDigit(line[11])) {
        return std::nullopt;
    }
    if (line.size() > 12 && line[12] != ' ') {
        return std::nullopt;
    }
    return (line[9] - '0') * 100 + (line[10] - '0') * 10 + (line[11] - '0');
}

std::optional<std::uint64_t> decimalOf(std::string_view text) {
    if (text.empty() || text.size() > 15) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (char c : text) {
        if (!isDigit(c)) {
            return std::nullopt;
        }
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value;
}

struct Framing {
    bool chunked = false;
    bool otherCoding = false;
    std::optional<std::uint64_t> length;
    bool badLength = false;
};

// One header field into the framing; other fields do not matter here.
void noteField(std::string_view field, Framing& framing) {
    const std::size_t colon = field.find(':');
    if (colon == std::string_view::npos) {
        return;
    }
    const std::string_view name = field.substr(0, colon);
    const std::string_view value = TrimControls(field.substr(colon + 1));
    if (EqualNoCase(name, "Transfer-Encoding")) {
        // The last coding decides; chunked must be last when it is used at all.
        const std::size_t comma = value.rfind(',');
        const std::string_view last = TrimControls(comma == std::string_view::npos ? value : value.substr(comma + 1));
        framing.chunked = EqualNoCase(last, "chunked");
        framing.otherCoding = !framing.chunked;
    } else if (EqualNoCase(name, "Content-Length")) {
        const auto length = decimalOf(value);
        if (!length || (framing.length && *framing.length != *length)) {
            framing.badLength = true;
        }
        framing.length = length;
    }
}

HttpResponse finished(State state, int status = 0, std::string body = {}) {
    HttpResponse response;
    response.state = state;
    response.status = status;
    response.body = std::move(body);
    return response;
}

HttpResponse readChunked(Cursor& cursor, int status, bool closed) {
    const State missing = closed ? State::Malformed : State::Incomplete;
    std::string body;
    for (;;) {
        const auto sizeLine = cursor.line();
        if (!sizeLine) {
            return finished(missing);
        }
        // Chunk extensions after ';' carry nothing we use.
        std::string_view digits = sizeLine->substr(0, sizeLine->find(';'));
        digits = TrimControls(digits);
        if (digits.empty()) {
            return finished(State::Malformed);
        }
        std::uint64_t size = 0;
        for (char c : digits) {
            const int digit = HexDigitValue(c);
            if (digit < 0 || size > kMaxChunkSize) {
                return finished(State::Malformed);
            }
            size = size * 16 + static_cast<std::uint64_t>(digit);
        }
        if (size == 0) {
            // The trailer section ends with an empty line.
            for (;;) {
                const auto trailer = cursor.line();
                if (!trailer) {
                    return finished(missing);
                }
                if (trailer->empty()) {
                    return finished(State::Complete, status, std::move(body));
                }
            }
        }
        const auto data = cursor.take(size);
        if (!data) {
            return finished(missing);
        }
        body.append(*data);
        const auto end = cursor.line();
        if (!end) {
            return finished(missing);
        }
        if (!end->empty()) {
            return finished(State::Malformed);
        }
    }
}

} // namespace

HttpResponse ReadHttpResponse(std::string_view bytes, bool closed) {
    const State missing = closed ? State::Malformed : State::Incomplete;
    Cursor cursor(bytes);
    for (;;) {
        const auto statusLine = cursor.line();
        if (!statusLine) {
            return finished(missing);
        }
        const auto status = statusOf(*statusLine);
        if (!status) {
            return finished(State::Malformed);
        }
        Framing framing;
        for (;;) {
            const auto field = cursor.line();
            if (!field) {
                return finished(missing);
            }
            if (field->empty()) {
                break;
            }
            noteField(*field, framing);
        }
        if (*status < 200) {
            continue; // an interim response; the final one follows
        }
        if (*status == 204 || *status == 304) {
            return finished(State::Complete, *status);
        }
        if (framing.chunked) {
            return readChunked(cursor, *status, closed);
        }
        if (framing.badLength && !framing.otherCoding) {
            return finished(State::Malformed);
        }
        if (framing.otherCoding || !framing.length) {
            // The body runs to the end of the connection.
            if (!closed) {
                return finished(State::Incomplete);
            }
            return finished(State::Complete, *status, std::string(cursor.rest()));
        }
        const auto body = cursor.take(*framing.length);
        if (!body) {
            return finished(missing);
        }
        return finished(State::Complete, *status, std::string(*body));
    }
}

std::string SuccessBody(const HttpResponse& response) {
    if (response.state != HttpResponse::State::Complete || response.status < 200 || response.status > 299) {
        return {};
    }
    return response.body;
}

} // namespace qm
