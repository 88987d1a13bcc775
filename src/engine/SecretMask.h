#pragma once

#include <string>
#include <string_view>

namespace qm {

// What a session signs in with; the token as it was fetched (the client wipes its copy after use).
struct SignInSecrets {
    std::string_view user;
    std::string_view password;
    std::string_view token;
    std::string_view host;
    int port = 0;
};

// The text with every secret the session holds or sent replaced by "***": the password, the
// access token, and each sign-in response built from them, raw and in base64. A server may echo
// any of them in an error, and errors reach the row tooltip, the console and the journal.
std::string WithoutSecrets(std::string text, const SignInSecrets& secrets);

} // namespace qm
