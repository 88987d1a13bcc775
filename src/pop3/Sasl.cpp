#include "pop3/Sasl.h"

#include "pop3/IdExceptions.h"
#include "pop3/MessageDecoders.h"

namespace qm {

namespace {

constexpr char kSeparator = '\x01';
constexpr std::size_t kMaxStatus = 64;

// The tail both OAuth2 mechanisms end with: "auth=Bearer TOKEN^A^A".
void appendBearer(std::string& response, std::string_view token) {
    response += "auth=Bearer ";
    response += token;
    response += kSeparator;
    response += kSeparator;
}

std::size_t skipBlanks(std::string_view text, std::size_t at) {
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t' || text[at] == '\r' || text[at] == '\n')) {
        ++at;
    }
    return at;
}

} // namespace

std::string SaslPlainResponse(std::string_view user, std::string_view password) {
    std::string response;
    response += '\0';
    response += user;
    response += '\0';
    response += password;
    return response;
}

std::string SaslXOAuth2Response(std::string_view user, std::string_view token) {
    std::string response = "user=";
    response += user;
    response += kSeparator;
    appendBearer(response, token);
    return response;
}

std::string SaslOAuthBearerResponse(std::string_view user, std::string_view host, int port, std::string_view token) {
    std::string response = "n,a=";
    for (const char c : user) {
        if (c == ',') {
            response += "=2C";
        } else if (c == '=') {
            response += "=3D";
        } else {
            response += c;
        }
    }
    response += ',';
    response += kSeparator;
    response += "host=";
    response += host;
    response += kSeparator;
    response += "port=" + std::to_string(port);
    response += kSeparator;
    appendBearer(response, token);
    return response;
}

std::string OAuthErrorStatus(std::string_view challengeBase64) {
    std::string json;
    try {
        json = DecodeBase64(challengeBase64);
    } catch (const EIdException&) {
        return std::string();
    }
    const std::string_view text(json);
    const std::string_view key = "\"status\"";
    std::size_t at = text.find(key);
    if (at == std::string_view::npos) {
        return std::string();
    }
    at = skipBlanks(text, at + key.size());
    if (at >= text.size() || text[at] != ':') {
        return std::string();
    }
    at = skipBlanks(text, at + 1);
    std::string status;
    const bool quoted = at < text.size() && text[at] == '"';
    at += quoted ? 1 : 0;
    for (; at < text.size() && status.size() < kMaxStatus; ++at) {
        char c = text[at];
        if (quoted && c == '"') {
            break;
        }
        if (!quoted && (c == ',' || c == '}' || c == ' ')) {
            break;
        }
        if (quoted && c == '\\' && at + 1 < text.size()) {
            c = text[++at];
        }
        if (c >= 0x20 && c < 0x7F) {
            status += c;
        }
    }
    return status;
}

} // namespace qm
