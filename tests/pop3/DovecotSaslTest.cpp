// SASL logins against a real Dovecot started for the test, with an OAuth2 passdb whose token
// check goes to an introspection responder on loopback: a good token logs in over XOAUTH2 and
// OAUTHBEARER and the mailbox is counted, a bad token is refused with the server's text, and
// PLAIN logs in with the password.

#include "DovecotServer.h"
#include "IntrospectionServer.h"
#include "TestPki.h"
#include "pop3/IdExceptions.h"
#include "pop3/IdPOP3.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace qm {
namespace {

using test::DovecotServer;
using test::IntrospectionServer;
using test::ScopedCaFile;

const std::string kGoodToken = "ya29.a0Af-good-token-" + std::string(1500, 'g');

class DovecotSasl : public ::testing::Test {
protected:
    DovecotSasl()
        : m_introspection(kGoodToken, "qmtest"), m_dovecot(DovecotServer::Certificate::Trusted, m_introspection.Url()) {
        m_dovecot.AddMessages(3);
    }

    std::unique_ptr<TIdPOP3> client(int auth, const std::string& token) {
        auto c = std::make_unique<TIdPOP3>();
        c->Host = "localhost";
        c->Port = m_dovecot.Pop3sPort();
        c->Security = TIdPOP3::kSecurityTls;
        c->Username = m_dovecot.User();
        c->Password = m_dovecot.Password();
        c->Auth = auth;
        c->AccessToken = token;
        return c;
    }

    IntrospectionServer m_introspection;
    DovecotServer m_dovecot;
    ScopedCaFile m_trust{m_dovecot.Pki().CaFile()};
};

TEST_F(DovecotSasl, GoodTokenLogsInAndTheMailboxIsCounted) {
    for (const int auth : {TIdPOP3::kAuthXOAuth2, TIdPOP3::kAuthOAuthBearer}) {
        auto c = client(auth, kGoodToken);
        c->Connect(10000);
        EXPECT_EQ(c->MessageCount(), 3) << auth;
        c->Disconnect();
    }
    EXPECT_EQ(m_introspection.TokensSeen(), (std::vector<std::string>{kGoodToken, kGoodToken})) << m_dovecot.Log();
}

TEST_F(DovecotSasl, BadTokenIsRefusedWithTheServersText) {
    // Dovecot answers with an error challenge whose status differs between the two mechanisms.
    const std::pair<int, std::string> cases[] = {
        {TIdPOP3::kAuthXOAuth2, "[AUTH] Authentication failed. (OAuth2 status: 401)"},
        {TIdPOP3::kAuthOAuthBearer, "[AUTH] Authentication failed. (OAuth2 status: invalid_token)"},
    };
    for (const auto& [auth, error] : cases) {
        auto c = client(auth, "ya29.revoked");
        try {
            c->Connect(10000);
            ADD_FAILURE() << "logged in with a bad token";
        } catch (const EIdProtocolReplyError& e) {
            EXPECT_EQ(std::string(e.what()), error);
        }
        EXPECT_FALSE(c->IsConnected());
    }
    EXPECT_EQ(m_introspection.TokensSeen(), (std::vector<std::string>{"ya29.revoked", "ya29.revoked"}));
}

TEST_F(DovecotSasl, PlainLogsInWithThePassword) {
    auto c = client(TIdPOP3::kAuthPlain, "");
    c->Port = m_dovecot.Pop3Port();
    c->Security = TIdPOP3::kSecurityNone;
    c->Connect(10000);
    EXPECT_EQ(c->MessageCount(), 3);
    c->Disconnect();

    auto wrong = client(TIdPOP3::kAuthPlain, "");
    wrong->Password = "not-the-password";
    EXPECT_THROW(wrong->Connect(10000), EIdProtocolReplyError);
    EXPECT_TRUE(m_introspection.TokensSeen().empty());
}

} // namespace
} // namespace qm
