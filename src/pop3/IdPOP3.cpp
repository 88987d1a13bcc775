#include "pop3/IdPOP3.h"

#include "pop3/HexDigest.h"
#include "pop3/IdExceptions.h"
#include "pop3/IdMessage.h"
#include "pop3/Pop3UniqueIds.h"
#include "text/AsciiText.h"

#include <openssl/crypto.h>

#include <charconv>
#include <cstdint>
#include <optional>
#include <vector>

namespace qm {

namespace {

// A capability list is a few dozen lines; a server sending more is not answering CAPA.
constexpr std::size_t kMaxCapabilityLines = 1000;

// Whether a LIST answer's text is the scan listing of that message: its number and its size in
// octets (RFC 1939). A fetch's "+OK 120 octets" or a bare "+OK" taken out of its place is not.
bool IsListing(std::string_view text, int number) {
    const std::string expected = std::to_string(number) + " ";
    if (text.substr(0, expected.size()) != expected) {
        return false;
    }
    const std::string_view size = text.substr(expected.size(), text.find(' ', expected.size()) - expected.size());
    return !size.empty() && size.find_first_not_of("0123456789") == std::string_view::npos;
}

// Hands the lines of one multi-line answer to the message reader and notes when its
// terminating "." has gone by (a "." line inside the content arrives dot-stuffed as "..").
class AnswerLines : public TIdLineSource {
public:
    AnswerLines(TIdTCPConnection& connection, bool& pending) : m_connection(connection), m_pending(pending) {
        m_pending = true;
    }
    std::string ReadLine() override {
        std::string line = m_connection.ReadLine();
        if (line == ".") {
            m_pending = false;
        } else {
            // The message's own octets: a stuffed dot is the server's, the line end CR LF.
            m_octets += line.size() + 2 - (line.rfind("..", 0) == 0 ? 1 : 0);
        }
        return line;
    }
    // The size of the answer's message once it has been read to its end.
    std::optional<std::uint64_t> Octets() const {
        return m_pending ? std::nullopt : std::optional<std::uint64_t>(m_octets);
    }

private:
    TIdTCPConnection& m_connection;
    bool& m_pending;
    std::uint64_t m_octets = 0;
};

} // namespace

TIdPOP3::TIdPOP3() {
    Port = 110;
}

namespace {

// Overwrites every byte a string's buffer holds, past its end too, then empties it.
void WipeText(std::string& text) {
    text.resize(text.capacity());
    OPENSSL_cleanse(text.data(), text.size());
    text.clear();
}

struct WipeOnExit {
    std::string& text;
    ~WipeOnExit() { WipeText(text); }
};

} // namespace

TIdPOP3::~TIdPOP3() {
    WipeText(Password);
    WipeText(AccessToken);
}

std::string TIdPOP3::ApopDigest(const std::string& timestamp, const std::string& password) {
    return HexDigest(timestamp + password, DigestKind::Md5);
}

int TIdPOP3::GetResponse() {
    ReadReply();
    return MapReply();
}

int TIdPOP3::MapReply() {
    TIdRFCReply& reply = LastCmdResult();
    if (EqualNoCase(reply.TextCode(), "+OK")) {
        reply.SetNumericCode(1);
    } else if (EqualNoCase(reply.TextCode(), "-ERR")) {
        reply.SetNumericCode(2);
    } else {
        throw EIdException("Unrecognized POP3 Response Header:\n\"" + reply.TextWithCrLf() + "\"");
    }
    return reply.NumericCode();
}

void TIdPOP3::CheckSignIn(int security, int auth) {
    if (!IsKnownAuth(auth)) {
        throw EIdException("Unknown sign-in method " + std::to_string(auth) + ".");
    }
    if (IsOAuth(auth) && security == kSecurityNone) {
        throw EIdException("OAuth2 sign-in needs a TLS connection: choose SSL/TLS or STARTTLS for this account.");
    }
}

void TIdPOP3::CheckSecurity(int security) {
    if (security != kSecurityNone && security != kSecurityTls && security != kSecuritySTLS) {
        throw EIdTLSError("TLS: unknown security setting " + std::to_string(security));
    }
}

void TIdPOP3::Connect(int timeoutMs) {
    // The token is good for one login; it is not kept in memory beyond it.
    const WipeOnExit wipe{AccessToken};
    CheckSecurity(Security);
    CheckSignIn(Security, Auth);
    m_messagePending = false;
    m_loginDelayed = false;
    m_capabilities = {};
    m_queued.clear();
    TIdTCPClient::Connect(timeoutMs);
    if (timeoutMs > 0 && ReadTimeout == 0) {
        ReadTimeout = timeoutMs;
    }
    const int handshakeLimit = timeoutMs > 0 ? timeoutMs : (ReadTimeout > 0 ? ReadTimeout : -1);
    try {
        if (Security == kSecurityTls) {
            StartTls(Host, handshakeLimit);
        }
        CheckReply(GetResponse(), {1});
        Greeting() = LastCmdResult();
        ReadCapabilities();
        if (Security == kSecuritySTLS) {
            WriteLine("STLS");
            if (GetResponse() != 1) {
                throw EIdTLSError("TLS: the server refused STLS: " +
                                  std::string(TrimControls(LastCmdResult().TextWithCrLf())));
            }
            StartTls(Host, handshakeLimit);
            // Nothing said in plain text is trusted once the channel is secure.
            ReadCapabilities();
        }
        try {
            Login();
        } catch (const EIdProtocolReplyError&) {
            m_loginDelayed = ResponseCode(LastCmdResult().TextWithCrLf()) == "LOGIN-DELAY";
            throw;
        }
    } catch (...) {
        Disconnect();
        throw;
    }
}

void TIdPOP3::ReadCapabilities() {
    m_capabilities = {};
    WriteLine("CAPA");
    std::size_t replyBytes = 0;
    std::string first;
    {
        // A server that does not answer CAPA in time is served as one that does not know it, on
        // the same connection: a late answer can only make the login fail.
        DeadlineScope deadline(*this, ReadTimeout);
        const int wait = ReadTimeout > 0 ? ReadTimeout : -1;
        do {
            first = std::string(TrimControls(ReadReplyLine(replyBytes, wait)));
        } while (first.empty() && !ReadLnTimedOut());
    }
    if (first.empty()) {
        return;
    }
    LastCmdResult().ParseLines({first});
    if (MapReply() != 1) {
        return;
    }
    std::vector<std::string> lines;
    DeadlineScope deadline(*this, ReadTimeout);
    for (std::string line = ReadReplyLine(replyBytes); line != "."; line = ReadReplyLine(replyBytes)) {
        if (lines.size() >= kMaxCapabilityLines) {
            CloseSocket();
            throw EIdException("The server's capability list is longer than " + std::to_string(kMaxCapabilityLines) +
                               " lines.");
        }
        lines.push_back(std::move(line));
    }
    m_capabilities = ParseCapabilities(lines);
}

void TIdPOP3::Login() {
    if (Auth != kAuthUserPass) {
        LoginSasl();
        return;
    }
    if (!APOP) {
        SendCommand("USER " + Username, {1});
        std::string line = "PASS " + Password;
        const WipeOnExit wipe{line};
        SendCommand(line, {1});
        return;
    }
    const std::string line = Greeting().Text().empty() ? std::string() : Greeting().Text().front();
    std::string timestamp;
    const auto open = line.find('<');
    if (open != std::string::npos) {
        const auto close = line.find('>', open);
        if (close != std::string::npos) {
            timestamp = line.substr(open, close - open + 1);
        }
    }
    if (timestamp.empty()) {
        throw EIdException("Server do not support APOP (no timestamp)");
    }
    SendCommand("APOP " + Username + " " + ApopDigest(timestamp, Password), {1});
}

void TIdPOP3::FinishPendingMessage() {
    if (!m_messagePending) {
        return;
    }
    m_messagePending = false;
    // On failure the connection is closed, so the next command fails instead of reading
    // message content as its reply.
    DrainUntilLine(".", ReadTimeout);
}

int TIdPOP3::MessageCount() {
    FinishPendingMessage();
    SendCommand("STAT", {1});
    const auto& text = LastCmdResult().Text();
    const std::string line = text.empty() ? std::string() : text.front();
    if (line.empty()) {
        return 0;
    }
    const auto space = line.find(' ');
    const std::string token = space == std::string::npos ? std::string() : line.substr(0, space);
    int count = 0;
    const char* first = token.data();
    const char* last = first + token.size();
    const char* start = (!token.empty() && token[0] == '+') ? first + 1 : first;
    const auto [ptr, ec] = std::from_chars(start, last, count);
    if (token.empty() || ec != std::errc() || ptr != last) {
        throw EIdConvertError(token);
    }
    if (count < 0) {
        // A negative count would lower the totals of every other account.
        throw EIdException("Invalid message count " + token + ".");
    }
    return count;
}

std::optional<std::vector<std::string>> TIdPOP3::UniqueIds(int count) {
    FinishPendingMessage();
    WriteLine("UIDL");
    if (GetResponse() != 1) {
        return std::nullopt;
    }
    // Each line names one message: a listing may be longer than any other reply, but never
    // longer than the mailbox.
    std::vector<std::string> lines;
    DeadlineScope deadline(*this, ReadTimeout);
    for (std::string line = ReadLine(); line != "."; line = ReadLine()) {
        if (lines.size() >= static_cast<std::size_t>(count)) {
            CloseSocket();
            throw EIdException("The server's unique-id listing names more messages than the mailbox holds.");
        }
        lines.push_back(std::move(line));
    }
    return ParseUniqueIds(lines, count);
}

bool TIdPOP3::FetchMessage(int number, TIdMessage& message) {
    QueueFetch(number, true);
    SendQueued();
    return ReadFetchReply(message, true);
}

bool TIdPOP3::FetchHeader(int number, TIdMessage& message) {
    QueueFetch(number, false);
    SendQueued();
    return ReadFetchReply(message, false);
}

bool TIdPOP3::DeleteMessage(int number) {
    QueueDelete(number);
    SendQueued();
    return ReadDeleteReply();
}

void TIdPOP3::QueueFetch(int number, bool wholeMessage) {
    m_queued += (wholeMessage ? "RETR " : "TOP ") + std::to_string(number) + (wholeMessage ? "\r\n" : " 0\r\n");
}

void TIdPOP3::QueueDelete(int number) {
    m_queued += "DELE " + std::to_string(number) + "\r\n";
}

void TIdPOP3::QueueListing(int number) {
    m_queued += "LIST " + std::to_string(number) + "\r\n";
}

void TIdPOP3::SendQueued() {
    // The rest of a message whose reading failed goes first: a command never follows a reply
    // that may not end.
    FinishPendingMessage();
    std::string bytes;
    bytes.swap(m_queued);
    WriteText(bytes);
}

bool TIdPOP3::ReadFetchReply(TIdMessage& message, bool wholeMessage) {
    m_lastMessageSize.reset();
    FinishPendingMessage();
    if (GetResponse() != 1) {
        return false;
    }
    AnswerLines lines(*this, m_messagePending);
    if (wholeMessage) {
        if (message.ReadHeaderBlock(lines, "") != ".") {
            message.ReadMessageBody(lines);
        }
        m_lastMessageSize = lines.Octets();
    } else {
        // A header answer is small: all of it must arrive within the time-out.
        DeadlineScope deadline(*this, ReadTimeout);
        message.ReadHeaderBlock(lines, ".");
    }
    return true;
}

void TIdPOP3::ReadListingReply(int number, bool fetched) {
    FinishPendingMessage();
    const int code = GetResponse();
    const auto& text = LastCmdResult().Text();
    const std::string line = text.empty() ? std::string() : text.front();
    if (code != 1 ? !fetched : IsListing(line, number)) {
        return;
    }
    throw EIdOutOfStep("The server is out of step with the commands: its answer to LIST " + std::to_string(number) +
                       " names another message.");
}

bool TIdPOP3::ReadDeleteReply() {
    FinishPendingMessage();
    return GetResponse() == 1;
}

bool TIdPOP3::HasUnrequestedInput() {
    FinishPendingMessage();
    return InputBufferSize() > 0;
}

void TIdPOP3::Disconnect() {
    m_quitCommitted = false;
    m_quitError.clear();
    bool quitSent = false;
    try {
        if (IsConnected()) {
            // The server must read QUIT to commit deletions; it only does so after sending the
            // rest of a message we stopped reading.
            FinishPendingMessage();
            if (IsConnected()) {
                WriteLine("QUIT");
                quitSent = true;
                // A server may refuse to commit ("-ERR [SYS/TEMP]"), stall or close instead: the
                // deletions count only on its +OK.
                if (GetResponse() == 1) {
                    m_quitCommitted = true;
                } else {
                    m_quitError = LastCmdResult().TextWithCrLf();
                    while (!m_quitError.empty() && (m_quitError.back() == '\n' || m_quitError.back() == '\r')) {
                        m_quitError.pop_back();
                    }
                    m_quitError.erase(0, m_quitError.find_first_not_of(' '));
                    if (m_quitError.empty()) {
                        m_quitError = "-ERR";
                    }
                }
            }
        }
    } catch (const EIdException& e) {
        // The connection is going away; closing it below is all that is left to do.
        if (quitSent) {
            m_quitError = e.what();
        }
    }
    m_messagePending = false;
    m_queued.clear();
    TIdTCPConnection::Disconnect();
}

} // namespace qm
