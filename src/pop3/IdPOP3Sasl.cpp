// SASL login of the POP3 client (RFC 5034): AUTH with an initial response when the command fits
// in 255 octets, otherwise the response on a line of its own after the server's "+ ".

#include "text/AsciiText.h"
#include "pop3/IdExceptions.h"
#include "pop3/IdPOP3.h"
#include "pop3/MessageDecoders.h"
#include "pop3/Sasl.h"

#include <openssl/crypto.h>

namespace qm {

namespace {

// Longest command line, CR LF included (RFC 2449).
constexpr std::size_t kMaxCommandOctets = 255;
// Challenges after the response: one error challenge, and one more that is cancelled with "*".
constexpr int kMaxChallenges = 2;

// Wipes a buffer that held a password or a token.
struct SecretBuffer {
    std::string bytes;
    ~SecretBuffer() { OPENSSL_cleanse(bytes.data(), bytes.size()); }
};

} // namespace

const char* TIdPOP3::SaslMechanism(int auth) {
    return auth == kAuthPlain ? "PLAIN" : auth == kAuthXOAuth2 ? "XOAUTH2" : "OAUTHBEARER";
}

std::string TIdPOP3::SaslResponse(int auth, std::string_view user, std::string_view password, std::string_view host,
                                  int port, std::string_view token) {
    if (auth == kAuthPlain) {
        return SaslPlainResponse(user, password);
    }
    if (auth == kAuthXOAuth2) {
        return SaslXOAuth2Response(user, token);
    }
    return SaslOAuthBearerResponse(user, host, port, token);
}

void TIdPOP3::LoginSasl() {
    const bool oauth = IsOAuth(Auth);
    const char* mechanism = SaslMechanism(Auth);
    SecretBuffer response{SaslResponse(Auth, Username, Password, Host, Port, AccessToken)};
    SecretBuffer encoded{EncodeBase64(response.bytes)};

    // One line of the exchange: a "+ " continuation (its payload returned in `payload`) or a
    // final reply, mapped as every POP3 reply is.
    std::string payload;
    auto readLine = [&]() -> bool {
        DeadlineScope deadline(*this, ReadTimeout);
        for (;;) {
            const std::string line(TrimControls(ReadLine()));
            if (line.empty()) {
                continue;
            }
            if (line == "+" || StartsWithNoCase(line, "+ ")) {
                payload = std::string(TrimControls(std::string_view(line).substr(1)));
                return true;
            }
            LastCmdResult().ParseLines({line});
            MapReply();
            return false;
        }
    };
    auto refused = [&](const std::string& status) {
        std::string text(TrimControls(LastCmdResult().TextWithCrLf()));
        if (!status.empty()) {
            text += " (OAuth2 status: " + status + ")";
        }
        throw EIdProtocolReplyError(LastCmdResult().NumericCode(), text);
    };

    const std::string command = std::string("AUTH ") + mechanism;
    if (command.size() + 1 + encoded.bytes.size() + 2 <= kMaxCommandOctets) {
        SecretBuffer line{command + " " + encoded.bytes};
        WriteLine(line.bytes);
    } else {
        WriteLine(command);
        if (!readLine()) {
            if (LastCmdResult().NumericCode() == 1) {
                return; // a server that lets the client in without a response
            }
            refused(std::string());
        }
        WriteLine(encoded.bytes);
    }

    std::string status;
    for (int round = 0;; ++round) {
        if (!readLine()) {
            if (LastCmdResult().NumericCode() != 1) {
                refused(status);
            }
            return;
        }
        if (round >= kMaxChallenges) {
            CloseSocket();
            throw EIdException("The server sent more SASL challenges than the mechanism has.");
        }
        if (!oauth || round > 0) {
            // No further challenge belongs to these mechanisms: cancel the exchange.
            WriteLine("*");
            continue;
        }
        // An OAuth2 error challenge: the client answers it as the mechanism asks and the
        // server then ends the exchange with -ERR.
        status = OAuthErrorStatus(payload);
        WriteLine(Auth == kAuthXOAuth2 ? std::string() : std::string("AQ=="));
    }
}

} // namespace qm
