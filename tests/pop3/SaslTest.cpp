// SASL login in scripted conversations over TLS with a loopback server: the exact AUTH lines of
// PLAIN, XOAUTH2 and OAUTHBEARER, the 255-octet rule for the initial response, the answers to an
// OAuth2 error challenge, and OAuth2 refused before anything is sent when there is no TLS.

#include "pop3/Sasl.h"
#include "FakePop3Server.h"
#include "SuitePki.h"
#include "pop3/IdExceptions.h"
#include "pop3/IdPOP3.h"
#include "pop3/MessageDecoders.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace qm {
namespace {

using test::FakePop3Server;
using Lines = std::vector<std::string>;

// {"status":"401","schemes":"bearer","scope":"https://mail.google.com/"}
const std::string kChallenge401 =
    "eyJzdGF0dXMiOiI0MDEiLCJzY2hlbWVzIjoiYmVhcmVyIiwic2NvcGUiOiJodHRwczovL21haWwuZ29vZ2xlLmNvbS8ifQ==";
// {"status":"invalid_token","scope":"mail"}
const std::string kChallengeInvalid = "eyJzdGF0dXMiOiJpbnZhbGlkX3Rva2VuIiwic2NvcGUiOiJtYWlsIn0=";

std::string xoauth2(const std::string& token) {
    return EncodeBase64("user=joe\x01"
                        "auth=Bearer " +
                        token + "\x01\x01");
}

std::string oauthBearer(int port, const std::string& token) {
    return EncodeBase64("n,a=joe,\x01host=localhost\x01port=" + std::to_string(port) +
                        "\x01"
                        "auth=Bearer " +
                        token + "\x01\x01");
}

class Sasl : public test::SuitePkiTest {
protected:
    // TLS from the first byte, then the greeting; the test scripts the login.
    static FakePop3Server& secure(FakePop3Server& server) {
        server.SetTls(Pki().Server());
        server.SetImplicitTls(true);
        return server.SendLine("+OK ready");
    }

    static std::unique_ptr<TIdPOP3> client(const FakePop3Server& server, int auth,
                                           const std::string& token = "ya29.short-token",
                                           int security = TIdPOP3::kSecurityTls) {
        auto c = std::make_unique<TIdPOP3>();
        c->Host = "localhost";
        c->Port = server.Port();
        c->Username = "joe";
        c->Password = "secret";
        c->Security = security;
        c->Auth = auth;
        c->AccessToken = token;
        return c;
    }

    // Connects, expecting the login to succeed (error "") or to be refused with exactly `error`;
    // then checks the wire.
    static void run(FakePop3Server& server, TIdPOP3& c, const std::string& error, const Lines& wire) {
        server.Start();
        try {
            c.Connect(5000);
            EXPECT_EQ(error, "") << "logged in";
            c.Disconnect();
        } catch (const EIdProtocolReplyError& e) {
            EXPECT_EQ(e.what(), error);
            EXPECT_EQ(e.ReplyErrorCode(), 2);
        }
        EXPECT_TRUE(c.AccessToken.empty()) << "the token outlived the login";
        server.Join();
        EXPECT_EQ(server.Received(), wire);
        EXPECT_EQ(server.Failures(), Lines{});
    }
};

TEST_F(Sasl, PlainSendsTheInitialResponse) {
    const std::string line = "AUTH PLAIN AGpvZQBzZWNyZXQ=";
    FakePop3Server server;
    secure(server).Reply(line, "+OK welcome").Expect("QUIT");
    run(server, *client(server, TIdPOP3::kAuthPlain), "", {line, "QUIT"});
}

TEST_F(Sasl, PlainRefusedWithoutTlsKeepsTheResponseCode) {
    const std::string line = "AUTH PLAIN AGpvZQBzZWNyZXQ=";
    FakePop3Server server;
    server.SendLine("+OK ready").Reply(line, "-ERR [AUTH] Authentication failed.").Expect("QUIT");
    run(server, *client(server, TIdPOP3::kAuthPlain, "", TIdPOP3::kSecurityNone), "[AUTH] Authentication failed.",
        {line, "QUIT"});
}

TEST_F(Sasl, XOAuth2ShortTokenGoesInline) {
    const std::string line = "AUTH XOAUTH2 " + xoauth2("ya29.short-token");
    // "user=joe^Aaut..." in base64
    EXPECT_EQ(line.substr(0, 29), "AUTH XOAUTH2 dXNlcj1qb2UBYXV0");
    FakePop3Server server;
    secure(server).Reply(line, "+OK").Expect("QUIT");
    run(server, *client(server, TIdPOP3::kAuthXOAuth2), "", {line, "QUIT"});
}

TEST_F(Sasl, OAuthBearerNamesUserHostAndPort) {
    FakePop3Server server;
    const std::string line = "AUTH OAUTHBEARER " + oauthBearer(server.Port(), "ya29.short-token");
    secure(server).Reply(line, "+OK").Expect("QUIT");
    run(server, *client(server, TIdPOP3::kAuthOAuthBearer), "", {line, "QUIT"});
}

// A command of exactly 255 octets with its CR LF still carries the response; one more byte of
// token moves the response to a line of its own after the server's "+ ".
TEST_F(Sasl, TheLongestInlineCommandIs255Octets) {
    const std::string token(157, 't');
    const std::string line = "AUTH XOAUTH2 " + xoauth2(token);
    ASSERT_EQ(line.size() + 2, 255u);
    FakePop3Server server;
    secure(server).Reply(line, "+OK").Expect("QUIT");
    run(server, *client(server, TIdPOP3::kAuthXOAuth2, token), "", {line, "QUIT"});
}

TEST_F(Sasl, LongTokensFollowTheContinuation) {
    for (const std::size_t length : {std::size_t{158}, std::size_t{2000}}) {
        SCOPED_TRACE(length);
        const std::string token(length, 'L');
        FakePop3Server server;
        secure(server).Reply("AUTH XOAUTH2", "+ ").Reply(xoauth2(token), "+OK").Expect("QUIT");
        run(server, *client(server, TIdPOP3::kAuthXOAuth2, token), "", {"AUTH XOAUTH2", xoauth2(token), "QUIT"});
    }
    FakePop3Server server;
    const std::string token(2000, 'B');
    secure(server).Reply("AUTH OAUTHBEARER", "+").Reply(oauthBearer(server.Port(), token), "+OK").Expect("QUIT");
    run(server, *client(server, TIdPOP3::kAuthOAuthBearer, token), "",
        {"AUTH OAUTHBEARER", oauthBearer(server.Port(), token), "QUIT"});
}

TEST_F(Sasl, XOAuth2ErrorChallengeIsAnsweredWithAnEmptyLine) {
    const std::string line = "AUTH XOAUTH2 " + xoauth2("ya29.short-token");
    FakePop3Server server;
    secure(server).Reply(line, "+ " + kChallenge401).Reply("", "-ERR [AUTH] Invalid credentials").Expect("QUIT");
    run(server, *client(server, TIdPOP3::kAuthXOAuth2), "[AUTH] Invalid credentials (OAuth2 status: 401)",
        {line, "", "QUIT"});
}

TEST_F(Sasl, OAuthBearerErrorChallengeIsAnsweredWithCtrlA) {
    const std::string token(2000, 'x');
    FakePop3Server server;
    const std::string response = oauthBearer(server.Port(), token);
    secure(server)
        .Reply("AUTH OAUTHBEARER", "+ ")
        .Reply(response, "+ " + kChallengeInvalid)
        .Reply("AQ==", "-ERR [AUTH] Authentication failed.")
        .Expect("QUIT");
    run(server, *client(server, TIdPOP3::kAuthOAuthBearer, token),
        "[AUTH] Authentication failed. (OAuth2 status: invalid_token)", {"AUTH OAUTHBEARER", response, "AQ==", "QUIT"});
}

TEST_F(Sasl, RefusedAuthCommandNeedsNoResponse) {
    FakePop3Server server;
    secure(server).Reply("AUTH XOAUTH2", "-ERR [SYS/PERM] mechanism not enabled").Expect("QUIT");
    run(server, *client(server, TIdPOP3::kAuthXOAuth2, std::string(300, 'z')), "[SYS/PERM] mechanism not enabled",
        {"AUTH XOAUTH2", "QUIT"});
}

// A challenge no mechanism here expects is cancelled with "*"; a server that goes on
// challenging loses the connection instead of holding the login forever.
TEST_F(Sasl, UnexpectedChallengesAreCancelled) {
    const std::string plain = "AUTH PLAIN AGpvZQBzZWNyZXQ=";
    FakePop3Server server;
    secure(server).Reply(plain, "+ Zm9v").Reply("*", "-ERR cancelled").Expect("QUIT");
    run(server, *client(server, TIdPOP3::kAuthPlain), "cancelled", {plain, "*", "QUIT"});

    FakePop3Server endless;
    const std::string line = "AUTH XOAUTH2 " + xoauth2("ya29.short-token");
    secure(endless).Reply(line, "+ " + kChallenge401).Reply("", "+ " + kChallenge401).Reply("*", "+ again");
    endless.Start();
    auto c = client(endless, TIdPOP3::kAuthXOAuth2);
    EXPECT_THROW(c->Connect(5000), EIdException);
    EXPECT_FALSE(c->IsConnected());
    endless.Join();
    EXPECT_EQ(endless.Received(), (Lines{line, "", "*"}));
}

TEST_F(Sasl, OAuth2WithoutTlsOrUnknownMethodSendsNothing) {
    struct Case {
        int security;
        int auth;
        const char* error;
    };
    for (const Case& k : {Case{TIdPOP3::kSecurityNone, TIdPOP3::kAuthXOAuth2,
                               "OAuth2 sign-in needs a TLS connection: choose SSL/TLS or STARTTLS for this account."},
                          Case{TIdPOP3::kSecurityNone, TIdPOP3::kAuthOAuthBearer,
                               "OAuth2 sign-in needs a TLS connection: choose SSL/TLS or STARTTLS for this account."},
                          Case{TIdPOP3::kSecurityTls, 4, "Unknown sign-in method 4."},
                          Case{TIdPOP3::kSecurityTls, -1, "Unknown sign-in method -1."}}) {
        FakePop3Server server;
        server.SendLine("+OK ready");
        server.Start();
        auto c = client(server, k.auth, "ya29.short-token", k.security);
        try {
            c->Connect(5000);
            ADD_FAILURE() << "connected";
        } catch (const EIdException& e) {
            EXPECT_STREQ(e.what(), k.error);
        }
        server.Stop();
        EXPECT_EQ(server.Sessions(), 0) << k.error;
        EXPECT_EQ(server.Received(), Lines{}) << k.error;
        EXPECT_TRUE(c->AccessToken.empty());
    }
}

TEST(OAuthErrorStatus, ReadsTheStatusMember) {
    struct Case {
        std::string json;
        std::string status;
    };
    for (const Case& k : {Case{R"({"status":"401","schemes":"bearer"})", "401"},
                          Case{R"({ "scope" : "mail", "status" : "invalid_token" })", "invalid_token"},
                          Case{R"({"status":400})", "400"}, Case{R"({"status":"a\"b"})", "a\"b"},
                          Case{"{\"status\":\"bad\x01\x7f\"}", "bad"}, Case{R"({"schemes":"bearer"})", ""},
                          Case{"not json at all", ""}}) {
        EXPECT_EQ(OAuthErrorStatus(EncodeBase64(k.json)), k.status) << k.json;
    }
    EXPECT_EQ(OAuthErrorStatus("not base64"), "");
    EXPECT_EQ(OAuthErrorStatus(EncodeBase64("{\"status\":\"" + std::string(500, 's') + "\"}")).size(), 64u);
}

} // namespace
} // namespace qm
