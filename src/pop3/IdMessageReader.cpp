// Reading a message body: plain lines, MIME parts (RFC 2045/2046) with nested boundaries, and
// uuencoded / xxencoded blocks. Attachment content is decoded line by line and dropped, so a
// message of any size costs only what is kept: plain lines, text parts and part headers.

#include "pop3/IdMessage.h"
#include "pop3/MessageDecoders.h"
#include "text/AsciiText.h"

#include <optional>

namespace qm {
namespace {

// "--" + boundary, and with closing "--" appended; the boundary is kept upper-cased.
bool IsBoundaryLine(std::string_view line, std::string_view boundary, bool closing) {
    const std::size_t length = 2 + boundary.size() + (closing ? 2 : 0);
    return line.size() == length && line.substr(0, 2) == "--" &&
           EqualNoCase(line.substr(2, boundary.size()), boundary) &&
           (!closing || line.substr(2 + boundary.size()) == "--");
}

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.emplace_back(text.substr(start));
            break;
        }
        lines.emplace_back(text.substr(start, end - start));
        start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
    }
    return lines;
}

std::string Unquote(std::string_view text) {
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
        text = text.substr(1, text.size() - 2);
    }
    return std::string(text);
}

// The file name after "FILENAME" in the disposition (or "NAME" in the content type) and the one
// character after it.
std::string FileNameOf(std::string_view disposition, std::string_view contentType) {
    std::string name;
    if (const std::size_t at = FindNoCase(disposition, "FILENAME"); at != std::string_view::npos) {
        name = disposition.substr(std::min(disposition.size(), at + 9));
    }
    if (name.empty()) {
        if (const std::size_t at = FindNoCase(contentType, "NAME"); at != std::string_view::npos) {
            name = contentType.substr(std::min(contentType.size(), at + 5));
        }
    }
    return DecodeEncodedWords(Unquote(name));
}

enum class PartEnd { Message, NextPart, Closed };
enum class Encoding { None, Base64, QuotedPrintable };

} // namespace

class TIdMessageReader {
public:
    TIdMessageReader(TIdMessage& message, TIdLineSource& source) : m_msg(message), m_source(source) {}

    void Run() {
        for (;;) {
            std::string line = Next();
            if (line == ".") {
                return;
            }
            if (!m_msg.m_boundaries.empty() && IsBoundaryLine(line, m_msg.m_boundaries.back(), false)) {
                if (ReadParts(std::nullopt)) {
                    return;
                }
                continue;
            }
            const std::string& cte = m_msg.ContentTransferEncoding;
            if (EqualNoCase(cte, "base64") || EqualNoCase(cte, "quoted-printable")) {
                if (ReadParts(std::move(line))) {
                    return;
                }
                continue;
            }
            if (IsUUBegin(line)) {
                if (ReadUUBlock(line)) {
                    return;
                }
                continue;
            }
            if (line.size() >= 2 && line[0] == '.' && line[1] == '.') {
                line.erase(0, 1);
            }
            m_msg.ChargeKept(line.size());
            m_msg.Body.push_back(std::move(line));
        }
    }

private:
    std::string Next() {
        std::string line = m_source.ReadLine();
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line == ".") {
            m_msg.m_endLineSeen = true;
        }
        return line;
    }

    // Reads parts one after another until a closing boundary or the end; true at the end.
    bool ReadParts(std::optional<std::string> firstLine) {
        PartEnd end = ReadPart(std::move(firstLine));
        while (end == PartEnd::NextPart) {
            end = ReadPart(std::nullopt);
        }
        return end == PartEnd::Message;
    }

    PartEnd ReadPart(std::optional<std::string> firstLine) {
        const bool bodyEncoded = !m_msg.ContentTransferEncoding.empty() && m_msg.ContentTransferEncoding != "7bit";
        TIdPartHeaders headers;
        std::string contentType;
        std::string transfer;
        std::string disposition;
        if (bodyEncoded) {
            contentType = m_msg.ContentType;
            transfer = m_msg.ContentTransferEncoding;
            disposition = m_msg.ContentDisposition;
        } else {
            std::vector<std::string> lines;
            for (;;) {
                std::string line = Next();
                if (line == ".") {
                    throw EIdException("Unknown Message Part Type.");
                }
                if (line.empty()) {
                    break;
                }
                m_msg.ChargeKept(line.size());
                if ((line[0] == ' ' || line[0] == '\t') && !lines.empty()) {
                    lines.back() += ' ';
                    lines.back().append(line, 1);
                } else {
                    lines.push_back(std::move(line));
                }
            }
            for (const std::string& line : lines) {
                headers.Add(line);
            }
            contentType = headers.Values("Content-Type");
            transfer = headers.Values("Content-Transfer-Encoding");
            disposition = headers.Values("Content-Disposition");
        }

        std::string boundary = BoundaryOf(contentType);
        if (!boundary.empty()) {
            if (m_msg.m_boundaries.empty() || m_msg.m_boundaries.back() != boundary) {
                m_msg.PushBoundary(boundary);
            }
        } else if (!m_msg.m_boundaries.empty()) {
            boundary = m_msg.m_boundaries.back();
        }

        const bool container = !bodyEncoded && StartsWithNoCase(TrimControls(contentType), "multipart");
        const std::string_view dispositionType =
            TrimControls(std::string_view(disposition).substr(0, disposition.find(';')));
        const bool attachment = !container && (EqualNoCase(dispositionType, "attachment") ||
                                               FindNoCase(contentType, "NAME") != std::string::npos);
        Encoding encoding = Encoding::None;
        if (EqualNoCase(transfer, "base64")) {
            encoding = Encoding::Base64;
        } else if (EqualNoCase(transfer, "quoted-printable")) {
            encoding = Encoding::QuotedPrintable;
        }

        std::string text; // decoded content of a text part; attachments and containers keep none
        const bool keepText = !attachment && !container;
        auto take = [&](std::string_view line) {
            // The server doubles a leading "." on every line; undo that before any decoding, so
            // a quoted-printable line starting with "." does not keep the extra dot.
            if (!line.empty() && line[0] == '.') {
                line.remove_prefix(1);
            }
            std::string decoded;
            switch (encoding) {
            case Encoding::Base64:
                if (line.empty()) {
                    return;
                }
                decoded = DecodeBase64(line);
                break;
            case Encoding::QuotedPrintable:
                decoded = DecodeQuotedPrintable(std::string(line) + "\r\n");
                break;
            case Encoding::None:
                decoded.assign(line);
                decoded += "\r\n";
                break;
            }
            if (keepText) {
                m_msg.ChargeKept(decoded.size());
                text += decoded;
            }
        };

        PartEnd end = PartEnd::Message;
        if (firstLine) {
            take(*firstLine);
        }
        for (;;) {
            const std::string line = Next();
            if (line == ".") {
                end = PartEnd::Message;
                break;
            }
            if (!boundary.empty() && IsBoundaryLine(line, boundary, false)) {
                end = PartEnd::NextPart;
                break;
            }
            if (!boundary.empty() && IsBoundaryLine(line, boundary, true)) {
                if (!m_msg.m_boundaries.empty()) {
                    m_msg.m_boundaries.pop_back();
                }
                end = PartEnd::Closed;
                break;
            }
            take(line);
        }

        if (m_msg.MessageParts.Count() >= TIdMessage::kMaxParts) {
            throw EIdMessageTooLarge();
        }
        std::unique_ptr<TIdMessagePart> part;
        if (attachment) {
            auto a = std::make_unique<TIdAttachment>();
            a->ContentDisposition = disposition;
            a->FileName = FileNameOf(disposition, contentType);
            part = std::move(a);
        } else {
            auto t = std::make_unique<TIdText>();
            t->Body = SplitLines(text);
            part = std::move(t);
        }
        part->ContentType = std::move(contentType);
        part->ContentTransfer = std::move(transfer);
        part->ExtraHeaders = std::move(headers);
        m_msg.ChargeKept(part->ContentType.size() + part->ContentTransfer.size());
        m_msg.MessageParts.Add(std::move(part));
        return end;
    }

    static bool IsUUBegin(std::string_view line) {
        if (line.size() < 10 || !StartsWithNoCase(line, "begin ") || line[9] != ' ') {
            return false;
        }
        int mode = 0;
        for (char c : line.substr(6, 3)) {
            if (c < '0' || c > '9') {
                return false;
            }
            mode = mode * 10 + (c - '0');
        }
        return mode > 0;
    }

    // Consumes a uuencoded or xxencoded block; true when the message ended inside it.
    bool ReadUUBlock(std::string_view beginLine) {
        const std::string first = Next();
        if (first.empty() || (first[0] != 'M' && first[0] != 'h')) {
            throw EIdException("Unrecognized UUE encoding scheme.");
        }
        bool messageEnded = false;
        for (;;) {
            const std::string line = Next();
            if (line == ".") {
                messageEnded = true;
                break;
            }
            if (EqualNoCase(TrimControls(line), "end")) {
                break;
            }
        }
        if (m_msg.MessageParts.Count() >= TIdMessage::kMaxParts) {
            throw EIdMessageTooLarge();
        }
        auto a = std::make_unique<TIdAttachment>();
        a->FileName = beginLine.substr(10);
        m_msg.ChargeKept(a->FileName.size());
        m_msg.MessageParts.Add(std::move(a));
        return messageEnded;
    }

    TIdMessage& m_msg;
    TIdLineSource& m_source;
};

void TIdMessage::ReadMessageBody(TIdLineSource& source) {
    TIdMessageReader(*this, source).Run();
}

} // namespace qm
