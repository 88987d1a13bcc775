// SASL login in scripted conversations over TLS with a loopback server: the exact AUTH lines of
// PLAIN, XOAUTH2 and OAUTHBEARER, the 255-octet rule for the initial response, the answers to an
// OAuth2 error challenge, and OAuth2 refused before anything is sent when there is no TLS.

#include "FakePop3Server.h"
#include "SuitePki.h"
#include "pop3/IdExceptions.h"
#include "pop3/IdPOP3.h"
#include "pop3/MessageDecoders.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace qm {
namespace {

using test::FakePop3Server;
using Lines = std::vector<std::string>;

// {"status":"401","schemes":"bearer","scope":"https://mail.google.com/"}
const std::string kChallenge401 =
    "+ eyJzdGF0dXMiOiI0MDEiLCJzY2hlbWVzIjoiYmVhcmVyIiwic2NvcGUiOiJodHRwczovL21haWwuZ29vZ2xlLmNvbS8ifQ==";
// {"status":"invalid_token","scope":"mail"}
const std::string kChallengeInvalid = "+ eyJzdGF0dXMiOiJpbnZhbGlkX3Rva2VuIiwic2NvcGUiOiJtYWlsIn0=";
const std::string kPlain = "AUTH PLAIN AGpvZQBzZWNyZXQ="; // "\0joe\0secret"
const std::string kShort = "ya29.short-token";

std::string xoauth2(const std::string& token) {
    return EncodeBase64("user=joe\x01" + std::string("auth=Bearer ") + token + "\x01\x01");
}

std::string oauthBearer(int port, const std::string& token) {
    return EncodeBase64("n,a=joe,\x01host=localhost\x01port=" + std::to_string(port) + "\x01" +
                        std::string("auth=Bearer ") + token + "\x01\x01");
}

class Sasl : public test::SuitePkiTest {};

TEST_F(Sasl, ScriptedLogins) {
    struct Case {
        const char* what;
        int auth;
        std::string token;
        // What the server expects and answers, in turn, after its greeting; then QUIT.
        std::vector<std::pair<std::string, std::string>> steps;
        std::string error; // empty: the login succeeds
    };
    const std::string t157(157, 't'); // "AUTH XOAUTH2 " + response + CR LF is exactly 255 octets
    const std::string t158(158, 't');
    const std::string t2000(2000, 'L');
    // OAUTHBEARER names the port, so the cases are made for the port of the server at hand.
    const auto casesFor = [&](int port) -> std::vector<Case> {
        return {
            {"PLAIN inline", 1, "", {{kPlain, "+OK"}}, ""},
            {"XOAUTH2 inline", 2, kShort, {{"AUTH XOAUTH2 " + xoauth2(kShort), "+OK"}}, ""},
            {"OAUTHBEARER inline", 3, kShort, {{"AUTH OAUTHBEARER " + oauthBearer(port, kShort), "+OK"}}, ""},
            {"255 octets inline", 2, t157, {{"AUTH XOAUTH2 " + xoauth2(t157), "+OK"}}, ""},
            {"256 octets split", 2, t158, {{"AUTH XOAUTH2", "+ "}, {xoauth2(t158), "+OK"}}, ""},
            {"2000 bytes split", 2, t2000, {{"AUTH XOAUTH2", "+ "}, {xoauth2(t2000), "+OK"}}, ""},
            {"XOAUTH2 error challenge",
             2,
             kShort,
             {{"AUTH XOAUTH2 " + xoauth2(kShort), kChallenge401}, {"", "-ERR [AUTH] Invalid credentials"}},
             "[AUTH] Invalid credentials (OAuth2 status: 401)"},
            {"OAUTHBEARER error challenge, split",
             3,
             t2000,
             {{"AUTH OAUTHBEARER", "+"},
              {oauthBearer(port, t2000), kChallengeInvalid},
              {"AQ==", "-ERR [AUTH] Failed."}},
             "[AUTH] Failed. (OAuth2 status: invalid_token)"},
            {"PLAIN refused", 1, "", {{kPlain, "-ERR [AUTH] Authentication failed."}}, "[AUTH] Authentication failed."},
            {"AUTH refused before the response",
             2,
             t2000,
             {{"AUTH XOAUTH2", "-ERR [SYS/PERM] not enabled"}},
             "[SYS/PERM] not enabled"},
            {"challenge to PLAIN cancelled", 1, "", {{kPlain, "+ Zm9v"}, {"*", "-ERR cancelled"}}, "cancelled"},
        };
    };
    ASSERT_EQ(("AUTH XOAUTH2 " + xoauth2(t157)).size() + 2, 255u);
    const std::size_t count = casesFor(0).size();
    for (std::size_t i = 0; i < count; ++i) {
        FakePop3Server used;
        const Case c = casesFor(used.Port())[i];
        SCOPED_TRACE(c.what);
        used.SetTls(Pki().Server());
        used.SetImplicitTls(true);
        used.SendLine("+OK ready");
        Lines wire;
        for (const auto& [expect, reply] : c.steps) {
            used.Reply(expect, reply);
            wire.push_back(expect);
        }
        used.Expect("QUIT");
        wire.push_back("QUIT");
        used.Start();
        TIdPOP3 client;
        client.Host = "localhost";
        client.Port = used.Port();
        client.Username = "joe";
        client.Password = "secret";
        client.Security = TIdPOP3::kSecurityTls;
        client.Auth = c.auth;
        client.AccessToken = c.token;
        try {
            client.Connect(5000);
            EXPECT_EQ(c.error, "") << "logged in";
            client.Disconnect();
        } catch (const EIdProtocolReplyError& e) {
            EXPECT_EQ(e.what(), c.error);
        }
        EXPECT_TRUE(client.AccessToken.empty()) << "the token outlived the login";
        used.Join();
        EXPECT_EQ(used.Received(), wire);
        EXPECT_EQ(used.Failures(), Lines{});
    }
}

// A server that goes on challenging loses the connection instead of holding the login forever.
TEST_F(Sasl, EndlessChallengesEndTheConnection) {
    FakePop3Server server;
    const std::string line = "AUTH XOAUTH2 " + xoauth2(kShort);
    server.SetTls(Pki().Server());
    server.SetImplicitTls(true);
    server.SendLine("+OK").Reply(line, kChallenge401).Reply("", kChallenge401).Reply("*", "+ again");
    server.Start();
    TIdPOP3 client;
    client.Host = "localhost";
    client.Port = server.Port();
    client.Security = TIdPOP3::kSecurityTls;
    client.Auth = TIdPOP3::kAuthXOAuth2;
    client.Username = "joe";
    client.AccessToken = kShort;
    EXPECT_THROW(client.Connect(5000), EIdException);
    EXPECT_FALSE(client.IsConnected());
    server.Join();
    EXPECT_EQ(server.Received(), (Lines{line, "", "*"}));
}

TEST_F(Sasl, OAuth2WithoutTlsOrAnUnknownMethodSendsNothing) {
    const std::string noTls = "OAuth2 sign-in needs a TLS connection: choose SSL/TLS or STARTTLS for this account.";
    const std::pair<int, std::string> cases[] = {
        {TIdPOP3::kAuthXOAuth2, noTls}, {TIdPOP3::kAuthOAuthBearer, noTls}, {4, "Unknown sign-in method 4."}};
    for (const auto& [auth, error] : cases) {
        FakePop3Server server;
        server.SendLine("+OK ready");
        server.Start();
        TIdPOP3 client;
        client.Port = server.Port();
        client.Auth = auth;
        client.AccessToken = kShort;
        try {
            client.Connect(5000);
            ADD_FAILURE() << "connected";
        } catch (const EIdException& e) {
            EXPECT_EQ(e.what(), error);
        }
        server.Stop();
        EXPECT_EQ(server.Sessions(), 0) << error;
        EXPECT_TRUE(client.AccessToken.empty());
    }
}

} // namespace
} // namespace qm
