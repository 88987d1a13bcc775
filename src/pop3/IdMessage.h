#pragma once

// One fetched message (RFC 2822 header, RFC 2045/2046 MIME parts, uuencoded blocks).
//
// Reading, as the POP3 client does it:
//     TIdMessage msg;
//     std::string last = msg.ReadHeaderBlock(conn, "");   // RETR: header up to the empty line
//     if (last != ".") msg.ReadMessageBody(conn);          // body up to the terminating "."
//   or for TOP n 0:  msg.ReadHeaderBlock(conn, ".");
// Both throw EIdException subclasses (see IdMessageExceptions.h and IdExceptions.h). After a
// failure, EndLineSeen() tells whether the terminating "." line has already been consumed, so the
// caller knows whether the rest of the message still has to be drained from the connection.
//
// Reading the result: From.Address, Subject (encoded words of ISO/WINDOWS charsets decoded, bytes
// unconverted), Date (local, day count since 30 Dec 1899), Body (plain body lines), MessageParts
// (TIdText with Body lines, TIdAttachment with FileName), and after UpdatePartCounts() the counts.
// Attachment content is never kept. Clear() before reusing the object for the next message.

#include "pop3/IdMessageExceptions.h"
#include "pop3/LineSource.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qm {

// One address: 'Name <user@host>', 'user@host (Comment)', 'user@host'.
struct TIdEMailAddressItem {
    std::string Address;
    std::string Name;

    // 'Name <Address>', or just the address when there is no name; empty when both are empty.
    std::string Text() const;
};
using TIdEMailAddressList = std::vector<TIdEMailAddressItem>;

enum TIdMessagePriority { mpHighest, mpHigh, mpNormal, mpLow, mpLowest };

// Raw header lines in the order received, continuation lines included, still folded.
class TIdHeaderList {
public:
    void Add(std::string line) { m_lines.push_back(std::move(line)); }
    void Clear() { m_lines.clear(); }
    std::size_t Count() const { return m_lines.size(); }
    const std::string& operator[](std::size_t i) const { return m_lines[i]; }
    const std::vector<std::string>& Lines() const { return m_lines; }

    // Unfolded, trimmed value of the first line whose name (text before its first ":") equals
    // name, letter case ignored; empty when there is none.
    std::string Values(std::string_view name) const;

private:
    std::vector<std::string> m_lines;
};

// The unfolded header lines of one MIME part, split at the first ": ". A line without ": " is
// kept but has no name and is never found.
class TIdPartHeaders {
public:
    struct Entry {
        std::string Name;
        std::string Value;
        bool HasName = false;
    };
    void Add(std::string_view line);
    std::size_t Count() const { return m_entries.size(); }
    const Entry& operator[](std::size_t i) const { return m_entries[i]; }
    // Value of the first entry named name (letter case ignored); empty when there is none.
    std::string Values(std::string_view name) const;

private:
    std::vector<Entry> m_entries;
};

// A part of the message body, in the order met.
class TIdMessagePart {
public:
    enum class Kind { Text, Attachment };
    virtual ~TIdMessagePart() = default;
    virtual Kind PartKind() const = 0;

    std::string ContentType;     // the part's "Content-Type"
    std::string ContentTransfer; // the part's "Content-Transfer-Encoding"
    TIdPartHeaders ExtraHeaders; // the part's own header lines
};

// A text part (also a multipart container, which holds no lines).
class TIdText : public TIdMessagePart {
public:
    Kind PartKind() const override { return Kind::Text; }
    std::vector<std::string> Body; // decoded text, split into lines
};

// An attachment part or uuencoded block; its content is read and dropped.
class TIdAttachment : public TIdMessagePart {
public:
    Kind PartKind() const override { return Kind::Attachment; }
    std::string ContentDisposition;
    std::string FileName; // encoded words decoded, surrounding quotes removed
};

class TIdMessageParts {
public:
    std::size_t Count() const { return m_parts.size(); }
    const TIdMessagePart& operator[](std::size_t i) const { return *m_parts[i]; }
    void Add(std::unique_ptr<TIdMessagePart> part) { m_parts.push_back(std::move(part)); }
    void Clear() { m_parts.clear(); }
    // The last text part, or nullptr when there is none.
    const TIdText* LastText() const;

private:
    std::vector<std::unique_ptr<TIdMessagePart>> m_parts;
};

class TIdMessage {
public:
    TIdMessage();

    // Parsed fields. Strings are bytes as received (no charset conversion).
    TIdHeaderList Headers;
    TIdEMailAddressItem From;
    std::string Subject;
    double Date = 0; // local date-time: days since 30 Dec 1899 with the time as fraction
    std::string ContentType;
    std::string ContentTransferEncoding;
    std::string ContentDisposition;
    std::string CharSet; // upper-cased charset parameter of ContentType
    std::vector<std::string> Body;
    TIdMessageParts MessageParts;

    // Filled but not used by the monitor itself.
    std::string MsgId;
    std::vector<std::string> Newsgroups;
    TIdEMailAddressList Recipients;
    TIdEMailAddressList CCList;
    std::string Organization;
    TIdEMailAddressItem ReceiptRecipient;
    std::string References;
    TIdEMailAddressList ReplyTo;
    TIdEMailAddressItem Sender;
    TIdMessagePriority Priority = mpNormal;

    // Part counts as of the last UpdatePartCounts().
    int TextPartCount = 0;
    int AttachmentCount = 0;
    int RelatedPartCount = 0; // attachments with a non-empty "Content-ID"
    void UpdatePartCounts();
    bool HasAttachments() const { return AttachmentCount > 0; }

    // Empties every field, the boundary stack and the parts; Date 0, Priority mpNormal.
    void Clear();

    // Value of the first raw header line with this name, unfolded and trimmed.
    std::string HeaderValue(std::string_view name) const { return Headers.Values(name); }

    // Fills the fields from Headers. Throws EIdConvertError (bad Q-encoded word),
    // EIdEmailParseError, EIdFailedToRetreiveTimeZoneInfo; the fields of later steps then stay
    // cleared.
    void FillFromHeaders();

    // Reads header lines (LF-terminated, a trailing CR dropped) up to endLine ("" for a whole
    // message, "." for TOP), or up to "." when endLine is empty. Empty lines that do not end the
    // block are skipped; the ending line is not stored. Then fills the fields. Returns the last
    // line read ("" or "."). Throws EIdMessageTooLarge when the header exceeds what is kept.
    std::string ReadHeaderBlock(TIdLineSource& source, std::string_view endLine);

    // Reads the body up to the terminating "." into Body and MessageParts. Throws
    // "Unknown Message Part Type.", "Uneven size in DecodeToStream.", "Unrecognized UUE
    // encoding scheme.", EIdMessageTooLarge, or whatever the source throws.
    void ReadMessageBody(TIdLineSource& source);

    // Whether the terminating "." of the message has been read (by either reader).
    bool EndLineSeen() const { return m_endLineSeen; }

    // Open multipart boundaries, upper-cased, innermost last.
    const std::vector<std::string>& Boundaries() const { return m_boundaries; }

    // Where Date gets the machine's offset from UTC, in minutes east of UTC, at the moment of
    // parsing. Defaults to the system time zone; tests set a fixed value. Kept by Clear().
    void SetLocalOffsetSource(std::function<int()> source) { m_localOffset = std::move(source); }

    // Limits of what one message may make this object keep; past them EIdMessageTooLarge.
    static constexpr std::size_t kMaxHeaderBytes = 4u << 20;
    static constexpr std::size_t kMaxKeptBytes = 16u << 20;
    static constexpr std::size_t kMaxParts = 20000;
    static constexpr std::size_t kMaxBoundaryDepth = 1024;

private:
    friend class TIdMessageReader;
    void PushBoundary(std::string boundary);
    void ChargeKept(std::size_t bytes);

    std::vector<std::string> m_boundaries;
    std::function<int()> m_localOffset;
    std::size_t m_headerBytes = 0;
    std::size_t m_keptBytes = 0;
    bool m_endLineSeen = false;
};

} // namespace qm
