// The IMAP client's connection part: reading replies, command tags, capabilities and sign-in.
#include "imap/IdIMAP4.h"

#include "imap/ImapStrings.h"

#include "pop3/IdExceptions.h"
#include "pop3/MessageDecoders.h"
#include "pop3/Sasl.h"
#include "text/AsciiText.h"

#include <openssl/crypto.h>

namespace qm {

namespace {

// Untagged replies one command may bring before its tagged one; more means a server that talks
// past the command (a SEARCH or FETCH answer is a single reply per message, bounded apart).
constexpr std::size_t kMaxUntaggedPerCommand = 1u << 20;
// Challenges after the response: one error challenge, and one more that is cancelled with "*".
constexpr int kMaxChallenges = 2;

struct SecretBuffer {
    std::string bytes;
    ~SecretBuffer() { OPENSSL_cleanse(bytes.data(), bytes.size()); }
};

} // namespace

bool ImapFolder::HasFlag(std::string_view flag) const {
    for (const std::string& f : flags) {
        if (EqualNoCase(f, flag)) {
            return true;
        }
    }
    return false;
}

TIdIMAP4::TIdIMAP4() {
    Port = 143;
}

bool TIdIMAP4::HasCapability(std::string_view name) const {
    return m_capabilities.count(AsciiUpper(std::string(name))) > 0;
}

std::string TIdIMAP4::NextTag() {
    ++m_tagSerial;
    std::string digits = std::to_string(m_tagSerial);
    return "Q" + std::string(digits.size() < 4 ? 4 - digits.size() : 0, '0') + digits;
}

std::string TIdIMAP4::Scrub(std::string text) const {
    for (const std::string* secret : {&Password, &AccessToken}) {
        if (secret->size() < 3) {
            continue;
        }
        for (std::size_t at = text.find(*secret); at != std::string::npos; at = text.find(*secret, at)) {
            text.replace(at, secret->size(), "***");
        }
    }
    return text;
}

void TIdIMAP4::Broken(const std::string& why) {
    CloseSocket();
    throw EIdException(Scrub(why));
}

void TIdIMAP4::Refused(const ImapReply& reply, const std::string& what) {
    std::string text = reply.status;
    if (!reply.code.empty()) {
        text += " [" + reply.code + "]";
    }
    if (!reply.text.empty()) {
        text += " " + reply.text;
    }
    throw EIdProtocolReplyError(reply.status == "NO" ? 2 : 3, Scrub(what + ": " + std::string(TrimControls(text))));
}

ImapReply TIdIMAP4::ReadReply(std::size_t maxLiteral, std::optional<std::string> firstLine) {
    DeadlineScope deadline(*this, ReadTimeout);
    ImapLimits limits;
    limits.maxLiteralBytes = maxLiteral;
    std::string bytes;
    for (;;) {
        try {
            bytes += firstLine ? *firstLine : ReadLine("\n", -1, static_cast<int>(limits.maxReplyBytes));
        } catch (const EIdReadLnMaxLineLengthExceeded&) {
            Broken("The IMAP reply is longer than " + std::to_string(limits.maxReplyBytes) + " bytes.");
        }
        firstLine.reset();
        bytes += "\r\n";
        ImapReply reply = ReadImapReply(bytes, limits);
        while (reply.state == ImapReply::State::Incomplete && reply.literalPending > 0) {
            std::size_t left = reply.literalPending;
            while (left > 0) {
                const std::string part = ReadBytes(left);
                if (part.empty()) {
                    throw EIdConnClosedGracefully();
                }
                bytes += part;
                left -= part.size();
            }
            reply = ReadImapReply(bytes, limits);
        }
        if (reply.state == ImapReply::State::Complete) {
            return reply;
        }
        if (reply.state == ImapReply::State::Malformed) {
            Broken(reply.error);
        }
        // The literal has been read; the line it sits in goes on.
    }
}

void TIdIMAP4::CommonUntagged(const ImapReply& reply) {
    if (reply.status == "BYE") {
        Broken("The IMAP server closed the session: " + std::string(TrimControls(reply.text)));
    }
    if (!reply.status.empty()) {
        return; // OK, NO, BAD as notices; their codes are read by whoever waits for them
    }
    if (reply.name == "CAPABILITY") {
        m_capabilities.clear();
        for (const ImapItem& item : reply.items) {
            m_capabilities.insert(AsciiUpper(item.text));
        }
        return;
    }
    if (reply.name == "EXISTS" && reply.number) {
        m_exists = *reply.number;
        return;
    }
    // State any server may announce at any time; nothing here depends on it.
    for (const char* name : {"EXPUNGE", "RECENT", "FLAGS", "ENABLED", "NAMESPACE", "VANISHED"}) {
        if (reply.name == name) {
            return;
        }
    }
    if (reply.name == "FETCH" && reply.number) {
        // A flag change another client made: without a message part it answers nothing.
        for (const ImapItem& list : reply.items) {
            for (const ImapItem& item : list.items) {
                if (item.kind == ImapItem::Kind::String && item.literal) {
                    Broken("The IMAP server sent a message that was not asked for.");
                }
            }
        }
        return;
    }
    Broken("The IMAP server sent a \"" + reply.name.substr(0, 40) + "\" reply that was not asked for.");
}

ImapReply TIdIMAP4::ReadUntilTagged(const std::string& tag, const UntaggedHandler& handler, std::size_t maxLiteral) {
    for (std::size_t count = 0;; ++count) {
        if (count > kMaxUntaggedPerCommand) {
            Broken("The IMAP server sends reply after reply without ending the command.");
        }
        ImapReply reply = ReadReply(maxLiteral);
        if (reply.type == ImapReply::Type::Continuation) {
            Broken("The IMAP server asked for data no command offers.");
        }
        if (reply.type == ImapReply::Type::Tagged) {
            if (reply.tag != tag) {
                Broken("The IMAP server answered a command that was not sent (tag " + reply.tag.substr(0, 40) +
                       ", awaited " + tag + ").");
            }
            return reply;
        }
        if (!handler || !handler(reply)) {
            CommonUntagged(reply);
        }
    }
}

ImapReply TIdIMAP4::Command(const std::string& command, const UntaggedHandler& handler, std::size_t maxLiteral) {
    const std::string tag = NextTag();
    WriteLine(tag + " " + command);
    ImapReply reply = ReadUntilTagged(tag, handler, maxLiteral);
    if (reply.status != "OK") {
        // The command's name ("UID MOVE"), never its arguments.
        const std::size_t space = command.find(' ', command.rfind("UID ", 0) == 0 ? 4 : 0);
        Refused(reply, command.substr(0, space == std::string::npos ? command.size() : space));
    }
    return reply;
}

std::string TIdIMAP4::Quoted(std::string_view text, const char* what) const {
    const std::optional<std::string> quoted = QuoteImapString(text);
    if (!quoted) {
        throw EIdException(std::string("The ") + what + " holds a line break, which IMAP cannot carry.");
    }
    return *quoted;
}

void TIdIMAP4::ReadCapabilities(const ImapReply* tagged) {
    if (tagged != nullptr && StartsWithNoCase(tagged->code, "CAPABILITY ")) {
        m_capabilities.clear();
        const std::vector<std::string> words = CodeWords(tagged->code);
        for (std::size_t i = 1; i < words.size(); ++i) {
            m_capabilities.insert(AsciiUpper(words[i]));
        }
        return;
    }
    Command("CAPABILITY");
}

void TIdIMAP4::Connect(int timeoutMs) {
    struct TokenWipe {
        std::string& token;
        ~TokenWipe() {
            OPENSSL_cleanse(token.data(), token.size());
            token.clear();
        }
    } wipe{AccessToken};
    TIdPOP3::CheckSecurity(Security);
    TIdPOP3::CheckSignIn(Security, Auth);
    m_capabilities.clear();
    m_tagSerial = 0;
    m_idleTag.clear();
    m_exists = 0;
    TIdTCPClient::Connect(timeoutMs);
    if (timeoutMs > 0 && ReadTimeout == 0) {
        ReadTimeout = timeoutMs;
    }
    const int handshakeLimit = timeoutMs > 0 ? timeoutMs : (ReadTimeout > 0 ? ReadTimeout : -1);
    try {
        if (Security == kSecurityTls) {
            StartTls(Host, handshakeLimit);
        }
        const ImapReply greeting = ReadReply(0);
        if (greeting.type != ImapReply::Type::Untagged || (greeting.status != "OK" && greeting.status != "PREAUTH")) {
            Broken("The IMAP server refused the session: " +
                   std::string(TrimControls(greeting.status + " " + greeting.text)));
        }
        const bool preauth = greeting.status == "PREAUTH";
        ReadCapabilities(&greeting);
        if (Security == kSecurityStartTls) {
            if (preauth) {
                // Signed in before any TLS: the session could be anybody's.
                throw EIdTLSError("TLS: the IMAP server signed in before STARTTLS");
            }
            const std::string tag = NextTag();
            WriteLine(tag + " STARTTLS");
            const ImapReply reply = ReadUntilTagged(tag, {}, 0);
            if (reply.status != "OK") {
                throw EIdTLSError("TLS: the server refused STARTTLS: " +
                                  std::string(TrimControls(reply.status + " " + reply.text)));
            }
            if (InputBufferSize() > 0) {
                // Bytes sent before the handshake would be taken as coming through it.
                throw EIdTLSError("TLS: the IMAP server sent data before the TLS handshake");
            }
            StartTls(Host, handshakeLimit);
            // Nothing said in plain text is trusted once the channel is secure.
            m_capabilities.clear();
            ReadCapabilities(nullptr);
        }
        if (HasCapability("ID")) {
            Command("ID (\"name\" " + Quoted(ClientName, "client name") + ")",
                    [](const ImapReply& r) { return r.name == "ID"; });
        }
        if (!preauth) {
            Login();
        }
    } catch (...) {
        Disconnect();
        throw;
    }
}

void TIdIMAP4::Login() {
    if (Auth != kAuthLogin) {
        LoginSasl();
        return;
    }
    if (HasCapability("LOGINDISABLED")) {
        throw EIdException("The IMAP server does not take a password on this connection (LOGINDISABLED).");
    }
    const std::string tag = NextTag();
    {
        SecretBuffer line{tag + " LOGIN " + Quoted(Username, "user name") + " " + Quoted(Password, "password")};
        WriteLine(line.bytes);
    }
    const ImapReply reply = ReadUntilTagged(tag, {}, 0);
    if (reply.status != "OK") {
        Refused(reply, "LOGIN");
    }
    ReadCapabilities(&reply);
}

void TIdIMAP4::LoginSasl() {
    const bool oauth = TIdPOP3::IsOAuth(Auth);
    const char* mechanism = TIdPOP3::SaslMechanism(Auth);
    SecretBuffer response{TIdPOP3::SaslResponse(Auth, Username, Password, Host, Port, AccessToken)};
    SecretBuffer encoded{EncodeBase64(response.bytes)};
    const std::string tag = NextTag();
    const std::string command = tag + " AUTHENTICATE " + mechanism;
    bool sent = false;
    if (HasCapability("SASL-IR")) {
        SecretBuffer line{command + " " + (encoded.bytes.empty() ? std::string("=") : encoded.bytes)};
        WriteLine(line.bytes);
        sent = true;
    } else {
        WriteLine(command);
    }
    std::string status;
    for (int round = 0;; ++round) {
        const ImapReply reply = ReadReply(0);
        if (reply.type == ImapReply::Type::Tagged) {
            if (reply.tag != tag) {
                Broken("The IMAP server answered a command that was not sent (tag " + reply.tag.substr(0, 40) + ").");
            }
            if (reply.status != "OK") {
                ImapReply shown = reply;
                if (!status.empty()) {
                    shown.text += " (OAuth2 status: " + status + ")";
                }
                Refused(shown, std::string("AUTHENTICATE ") + mechanism);
            }
            ReadCapabilities(&reply);
            return;
        }
        if (reply.type == ImapReply::Type::Untagged) {
            CommonUntagged(reply);
            continue;
        }
        if (!sent) {
            WriteLine(encoded.bytes);
            sent = true;
            continue;
        }
        if (round >= kMaxChallenges) {
            Broken("The IMAP server sent more SASL challenges than the mechanism has.");
        }
        if (!oauth || !status.empty()) {
            WriteLine("*"); // no further challenge belongs to these mechanisms
            continue;
        }
        status = OAuthErrorStatus(reply.text);
        if (status.empty()) {
            status = "unknown";
        }
        WriteLine(Auth == kAuthXOAuth2 ? std::string() : std::string("AQ=="));
    }
}

void TIdIMAP4::Logout() {
    if (IsConnected()) {
        const std::string tag = NextTag();
        WriteLine(tag + " LOGOUT");
        ReadUntilTagged(
            tag, [](const ImapReply& r) { return r.status == "BYE"; }, 0);
    }
    TIdTCPConnection::Disconnect();
}

void TIdIMAP4::Disconnect() {
    try {
        if (IsConnected()) {
            // An IDLE command reads nothing but DONE.
            WriteText((m_idleTag.empty() ? std::string() : std::string("DONE\r\n")) + NextTag() + " LOGOUT\r\n");
        }
    } catch (const EIdException&) {
        // The connection is going away; closing it below is all that is left to do.
    }
    m_idleTag.clear();
    TIdTCPConnection::Disconnect();
}

} // namespace qm
