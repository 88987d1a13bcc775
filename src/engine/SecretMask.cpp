#include "engine/SecretMask.h"

#include "pop3/MessageDecoders.h"
#include "pop3/Sasl.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace qm {

namespace {

void Mask(std::string& text, std::string_view secret) {
    if (secret.empty()) {
        return;
    }
    for (std::size_t at = text.find(secret); at != std::string::npos; at = text.find(secret, at)) {
        text.replace(at, secret.size(), "***");
    }
}

} // namespace

std::string WithoutSecrets(std::string text, const SignInSecrets& signIn) {
    std::vector<std::string> secrets;
    const auto addResponse = [&secrets](const std::string& response) {
        secrets.push_back(EncodeBase64(response));
        secrets.push_back(response);
    };
    if (!signIn.password.empty()) {
        addResponse(SaslPlainResponse(signIn.user, signIn.password));
        secrets.push_back(EncodeBase64(signIn.password));
        secrets.emplace_back(signIn.password);
    }
    if (!signIn.token.empty()) {
        addResponse(SaslXOAuth2Response(signIn.user, signIn.token));
        addResponse(SaslOAuthBearerResponse(signIn.user, signIn.host, signIn.port, signIn.token));
        secrets.emplace_back(signIn.token);
    }
    // Longest first, so a response is masked whole before a secret inside it.
    std::stable_sort(secrets.begin(), secrets.end(),
                     [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    for (const std::string& secret : secrets) {
        Mask(text, secret);
    }
    return text;
}

} // namespace qm
