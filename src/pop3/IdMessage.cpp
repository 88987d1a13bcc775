// The message record: header lookup (RFC 2822 unfolding) and filling the fields from it.

#include "pop3/IdMessage.h"

#include "pop3/IdMessageDate.h"
#include "pop3/MessageDecoders.h"
#include "text/AsciiText.h"

#include <algorithm>

namespace qm {
namespace {

void TrimRightInPlace(std::string& s) {
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') {
        s.pop_back();
    }
}

TIdMessagePriority PriorityOf(std::string_view value) {
    const std::string lower = AsciiLower(value);
    if (lower.find("urgent") != std::string::npos) {
        return mpHigh;
    }
    if (lower.find("non-priority") != std::string::npos) {
        return mpLow;
    }
    const std::string token = lower.substr(0, lower.find(' '));
    int number = 3;
    if (!token.empty() && token.size() <= 9 && token.find_first_not_of("0123456789") == std::string::npos) {
        number = std::stoi(token);
    }
    // Values outside 1..5 are held to the nearest priority there is.
    return static_cast<TIdMessagePriority>(
        std::clamp(number - 1, static_cast<int>(mpHighest), static_cast<int>(mpLowest)));
}

} // namespace

std::string TIdHeaderList::Values(std::string_view name) const {
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        const std::string& line = m_lines[i];
        const std::size_t colon = line.find(':');
        const std::string_view lineName =
            colon == std::string::npos ? std::string_view() : std::string_view(line).substr(0, colon);
        if (!EqualNoCase(lineName, name)) {
            continue;
        }
        std::string value(TrimControls(std::string_view(line).substr(colon + 1)));
        for (std::size_t k = i + 1; k < m_lines.size(); ++k) {
            const std::string& next = m_lines[k];
            if (next.empty() || (next[0] != ' ' && next[0] != '\t')) {
                break;
            }
            // value := trim(value) + " " + trim(continuation), without rescanning the value.
            TrimRightInPlace(value);
            if (value.empty()) {
                value = TrimControls(next);
            } else {
                value += ' ';
                value += TrimControls(next);
            }
        }
        TrimRightInPlace(value);
        return value;
    }
    return {};
}

void TIdPartHeaders::Add(std::string_view line) {
    Entry entry;
    const std::size_t sep = line.find(": ");
    if (sep == std::string_view::npos) {
        entry.Value = line;
    } else {
        entry.Name = line.substr(0, sep);
        entry.Value = line.substr(sep + 2);
        entry.HasName = true;
    }
    m_entries.push_back(std::move(entry));
}

std::string TIdPartHeaders::Values(std::string_view name) const {
    for (const Entry& entry : m_entries) {
        if (entry.HasName && EqualNoCase(entry.Name, name)) {
            return entry.Value;
        }
    }
    return {};
}

const TIdText* TIdMessageParts::LastText() const {
    for (auto it = m_parts.rbegin(); it != m_parts.rend(); ++it) {
        if ((*it)->PartKind() == TIdMessagePart::Kind::Text) {
            return static_cast<const TIdText*>(it->get());
        }
    }
    return nullptr;
}

TIdMessage::TIdMessage() : m_localOffset(LocalUtcOffsetMinutes) {}

void TIdMessage::Clear() {
    Headers.Clear();
    From = {};
    Subject.clear();
    Date = 0;
    ContentType.clear();
    ContentTransferEncoding.clear();
    ContentDisposition.clear();
    CharSet.clear();
    Body.clear();
    MessageParts.Clear();
    MsgId.clear();
    Newsgroups.clear();
    Recipients.clear();
    CCList.clear();
    Organization.clear();
    ReceiptRecipient = {};
    References.clear();
    ReplyTo.clear();
    Sender = {};
    Priority = mpNormal;
    TextPartCount = 0;
    AttachmentCount = 0;
    RelatedPartCount = 0;
    m_boundaries.clear();
    m_headerBytes = 0;
    m_keptBytes = 0;
    m_endLineSeen = false;
}

void TIdMessage::UpdatePartCounts() {
    TextPartCount = 0;
    AttachmentCount = 0;
    RelatedPartCount = 0;
    for (std::size_t i = 0; i < MessageParts.Count(); ++i) {
        const TIdMessagePart& part = MessageParts[i];
        if (part.PartKind() == TIdMessagePart::Kind::Text) {
            ++TextPartCount;
        } else {
            ++AttachmentCount;
            if (!part.ExtraHeaders.Values("Content-ID").empty()) {
                ++RelatedPartCount;
            }
        }
    }
}

void TIdMessage::PushBoundary(std::string boundary) {
    if (m_boundaries.size() >= kMaxBoundaryDepth) {
        throw EIdMessageTooLarge();
    }
    ChargeKept(boundary.size());
    m_boundaries.push_back(std::move(boundary));
}

void TIdMessage::ChargeKept(std::size_t bytes) {
    // Every kept string costs its bytes plus its bookkeeping.
    m_keptBytes += bytes + sizeof(std::string);
    if (m_keptBytes > kMaxKeptBytes) {
        throw EIdMessageTooLarge();
    }
}

void TIdMessage::FillFromHeaders() {
    ContentType = HeaderValue("Content-Type");
    {
        const std::string upper = AsciiUpper(ContentType);
        const std::size_t at = upper.find("CHARSET=");
        CharSet.clear();
        if (at != std::string::npos) {
            const std::string rest = upper.substr(at + 8);
            if (!rest.empty() && rest[0] == '"') {
                const std::size_t close = rest.find('"', 1);
                CharSet = rest.substr(1, close == std::string::npos ? std::string::npos : close - 1);
            } else {
                CharSet = rest.substr(0, rest.find(';'));
            }
        }
    }
    ContentTransferEncoding = HeaderValue("Content-Transfer-Encoding");
    ContentDisposition = HeaderValue("Content-Disposition");
    Subject = DecodeEncodedWords(HeaderValue("Subject"));
    From = ParseAddress(DecodeEncodedWords(HeaderValue("From")));
    MsgId = HeaderValue("Message-Id");
    Newsgroups.clear();
    {
        const std::string groups = HeaderValue("Newsgroups");
        std::size_t start = 0;
        while (start <= groups.size() && !groups.empty()) {
            const std::size_t comma = std::min(groups.find(',', start), groups.size());
            const std::string_view group = TrimControls(std::string_view(groups).substr(start, comma - start));
            if (!group.empty()) {
                Newsgroups.emplace_back(group);
            }
            start = comma + 1;
        }
    }
    Recipients = ParseAddressList(DecodeEncodedWords(HeaderValue("To")));
    CCList = ParseAddressList(DecodeEncodedWords(HeaderValue("Cc")));
    Organization = HeaderValue("Organization");
    ReceiptRecipient = ParseAddress(HeaderValue("Disposition-Notification-To"));
    if (ReceiptRecipient.Text().empty()) {
        ReceiptRecipient = ParseAddress(HeaderValue("Return-Receipt-To"));
    }
    References = HeaderValue("References");
    ReplyTo = ParseAddressList(HeaderValue("Reply-To"));
    Date = ParseMessageDate(HeaderValue("Date"), m_localOffset());
    Sender = ParseAddress(HeaderValue("Sender"));
    std::string priority = HeaderValue("Priority");
    if (priority.empty()) {
        priority = HeaderValue("X-Priority");
    }
    Priority = PriorityOf(priority);
    std::string boundary = BoundaryOf(ContentType);
    if (!boundary.empty()) {
        PushBoundary(std::move(boundary));
    }
}

std::string TIdMessage::ReadHeaderBlock(TIdLineSource& source, std::string_view endLine) {
    m_endLineSeen = false;
    std::string line;
    for (;;) {
        line = source.ReadLine();
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if ((endLine.empty() && line == ".") || line == endLine) {
            m_endLineSeen = line == ".";
            break;
        }
        if (line.empty()) {
            continue;
        }
        m_headerBytes += line.size() + sizeof(std::string);
        if (m_headerBytes > kMaxHeaderBytes) {
            throw EIdMessageTooLarge();
        }
        Headers.Add(line);
    }
    FillFromHeaders();
    return line;
}

} // namespace qm
