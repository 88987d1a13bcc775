#pragma once

// Client responses of the SASL mechanisms a POP3 login can use (RFC 5034): PLAIN (RFC 4616),
// XOAUTH2, and OAUTHBEARER (RFC 7628), and the reading of an OAuth2 error challenge.

#include <string>
#include <string_view>

namespace qm {

// "\0user\0password": no authorisation identity.
std::string SaslPlainResponse(std::string_view user, std::string_view password);
// "user=USER\x01auth=Bearer TOKEN\x01\x01".
std::string SaslXOAuth2Response(std::string_view user, std::string_view token);
// "n,a=USER,\x01host=HOST\x01port=PORT\x01auth=Bearer TOKEN\x01\x01", the user name with "," and
// "=" escaped as RFC 5801 asks.
std::string SaslOAuthBearerResponse(std::string_view user, std::string_view host, int port, std::string_view token);

// The "status" member of the JSON object an OAuth2 error challenge carries in base64; empty when
// the challenge is not such an object. Only printable ASCII of a bounded length is kept, since
// it ends up in a message shown to the user.
std::string OAuthErrorStatus(std::string_view challengeBase64);

} // namespace qm
