// TLS on the POP3 connection against a loopback server with generated certificates: TLS on
// connect and STLS, trusted through SSL_CERT_FILE; untrusted or misnamed certificates, a refused
// STLS and injected plain text are failed connects that never fall back to plain text.

#include "FakePop3Server.h"
#include "SuitePki.h"
#include "pop3/IdExceptions.h"
#include "pop3/IdMessage.h"
#include "pop3/IdPOP3.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace qm {
namespace {

using test::FakePop3Server;
using test::TestPki;
using Lines = std::vector<std::string>;

class Tls : public test::SuitePkiTest {
protected:
    std::unique_ptr<TIdPOP3> clientFor(const FakePop3Server& server, int security, const char* host = "localhost") {
        auto client = std::make_unique<TIdPOP3>();
        client->Host = host;
        client->Port = server.Port();
        client->Username = "joe";
        client->Password = "secret";
        client->Security = security;
        return client;
    }

    // Expects a failed connect with exactly this message.
    static void expectRefused(TIdPOP3& client, const std::string& message) {
        try {
            client.Connect(5000);
            ADD_FAILURE() << "connected";
        } catch (const EIdTLSError& e) {
            EXPECT_EQ(std::string(e.what()), message);
        }
        EXPECT_FALSE(client.IsConnected());
    }
};

FakePop3Server& sessionAfterTls(FakePop3Server& server) {
    return server.Reply("USER joe", "+OK")
        .Reply("PASS secret", "+OK")
        .Reply("STAT", "+OK 1 50")
        .Expect("TOP 1 0")
        .Send("+OK\r\nSubject: over TLS\r\n\r\n.\r\n")
        .Expect("QUIT");
}

TEST_F(Tls, TlsOnConnect) {
    for (const char* host : {"localhost", "127.0.0.1"}) {
        FakePop3Server server;
        server.SetTls(Pki().Server());
        server.SetImplicitTls(true);
        sessionAfterTls(server.SendLine("+OK secure"));
        server.Start();
        auto client = clientFor(server, TIdPOP3::kSecurityTls, host);
        client->Connect(5000);
        EXPECT_TRUE(client->IOHandler()->TlsActive());
        EXPECT_EQ(client->MessageCount(), 1);
        TIdMessage msg;
        EXPECT_TRUE(client->FetchHeader(1, msg));
        EXPECT_EQ(msg.Subject, "over TLS");
        client->Disconnect();
        server.Join();
        EXPECT_EQ(server.Received(), (Lines{"USER joe", "PASS secret", "STAT", "TOP 1 0", "QUIT"})) << host;
        EXPECT_EQ(server.Failures(), Lines{}) << host;
        // The name goes out as SNI; an address never does.
        EXPECT_EQ(server.TlsServerNames(), Lines{host == std::string("localhost") ? "localhost" : ""}) << host;
    }
}

TEST_F(Tls, StlsAfterGreeting) {
    FakePop3Server server;
    server.SetTls(Pki().Server());
    sessionAfterTls(server.SendLine("+OK plain greeting").Reply("STLS", "+OK begin TLS").StartTls());
    server.Start();
    auto client = clientFor(server, TIdPOP3::kSecuritySTLS);
    client->Connect(5000);
    EXPECT_TRUE(client->IOHandler()->TlsActive());
    EXPECT_EQ(client->MessageCount(), 1);
    TIdMessage msg;
    EXPECT_TRUE(client->FetchHeader(1, msg));
    client->Disconnect();
    server.Join();
    EXPECT_EQ(server.Received(), (Lines{"STLS", "USER joe", "PASS secret", "STAT", "TOP 1 0", "QUIT"}));
    EXPECT_EQ(server.Failures(), Lines{});
}

TEST_F(Tls, CertificateRefusals) {
    const struct {
        test::TlsIdentity (TestPki::*identity)() const;
        const char* host;
        const char* message;
    } rows[] = {
        {&TestPki::SelfSigned, "localhost", "TLS: certificate verify failed: self-signed certificate"},
        {&TestPki::WrongHost, "localhost", "TLS: certificate verify failed: hostname mismatch"},
        {&TestPki::WrongHost, "127.0.0.1", "TLS: certificate verify failed: IP address mismatch"},
    };
    for (const auto& row : rows) {
        for (const int security : {TIdPOP3::kSecurityTls, TIdPOP3::kSecuritySTLS}) {
            FakePop3Server server;
            server.SetTls((Pki().*row.identity)());
            if (security == TIdPOP3::kSecurityTls) {
                server.SetImplicitTls(true);
                server.SendLine("+OK secure");
            } else {
                server.SendLine("+OK plain").Reply("STLS", "+OK").StartTls();
            }
            sessionAfterTls(server);
            server.Start();
            auto client = clientFor(server, security, row.host);
            expectRefused(*client, row.message);
            client->Disconnect();
            server.Join();
            // Not a word in plain text after the refusal: no USER, no PASS, no QUIT.
            const Lines expected = security == TIdPOP3::kSecurityTls ? Lines{} : Lines{"STLS"};
            EXPECT_EQ(server.Received(), expected) << row.message;
        }
    }
}

TEST_F(Tls, UntrustedWithoutTheTestAuthority) {
    // The system store alone does not know the test authority.
    ::unsetenv("SSL_CERT_FILE");
    FakePop3Server server;
    server.SetTls(Pki().Server());
    server.SetImplicitTls(true);
    server.SendLine("+OK secure");
    server.Start();
    auto client = clientFor(server, TIdPOP3::kSecurityTls);
    expectRefused(*client, "TLS: certificate verify failed: unable to get local issuer certificate");
    client->Disconnect();
}

TEST_F(Tls, RefusedStlsIsAFailedConnect) {
    FakePop3Server server;
    server.SendLine("+OK plain only").Reply("STLS", "-ERR not here").Expect("QUIT");
    server.Start();
    auto client = clientFor(server, TIdPOP3::kSecuritySTLS);
    expectRefused(*client, "TLS: the server refused STLS: not here");
    server.Join();
    EXPECT_EQ(server.Received(), (Lines{"STLS", "QUIT"}));
}

TEST_F(Tls, PlainTextInjectedBeforeTheHandshakeIsRefused) {
    // A man in the middle appends a reply to "+OK": it must not be read as the server's word.
    FakePop3Server server;
    server.SetTls(Pki().Server());
    server.SendLine("+OK plain").Expect("STLS").Send("+OK begin\r\n+OK injected\r\n").StartTls();
    server.Start();
    auto client = clientFor(server, TIdPOP3::kSecuritySTLS);
    expectRefused(*client, "TLS: the server sent data before the TLS handshake");
    client->Disconnect();
    server.Join();
    EXPECT_EQ(server.Received(), Lines{"STLS"});
}

TEST_F(Tls, PlainServerOnTlsPortIsNoFallback) {
    FakePop3Server server;
    server.SendLine("+OK I speak plain text").ExpectAny();
    server.Start();
    auto client = clientFor(server, TIdPOP3::kSecurityTls);
    try {
        client->Connect(5000);
        FAIL() << "connected";
    } catch (const EIdTLSError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("TLS: ", 0), 0u) << e.what();
    }
    client->Disconnect();
    server.Join();
    // The server saw only the TLS hello, never the login.
    for (const auto& line : server.Received()) {
        EXPECT_EQ(line.find("USER"), std::string::npos);
        EXPECT_EQ(line.find("PASS"), std::string::npos);
    }
}

TEST_F(Tls, UnknownSecuritySettingIsRefusedBeforeConnecting) {
    FakePop3Server server;
    server.SendLine("+OK plain").ExpectAny();
    server.Start();
    for (const int security : {3, -1}) {
        auto client = clientFor(server, security);
        expectRefused(*client, "TLS: unknown security setting " + std::to_string(security));
    }
    EXPECT_EQ(server.Sessions(), 0);
}

TEST_F(Tls, SilentServerBoundsTheHandshake) {
    FakePop3Server server;
    server.Stall();
    server.Start();
    auto client = clientFor(server, TIdPOP3::kSecurityTls);
    EXPECT_THROW(client->Connect(300), EIdReadTimeout);
    EXPECT_FALSE(client->IsConnected());
    client->Disconnect();
}

TEST_F(Tls, PeerGoneMidSessionIsAnError) {
    FakePop3Server server;
    server.SetTls(Pki().Server());
    server.SetImplicitTls(true);
    server.SendLine("+OK secure").Reply("USER joe", "+OK").Reply("PASS secret", "+OK").Expect("STAT").Close();
    server.Start();
    auto client = clientFor(server, TIdPOP3::kSecurityTls);
    client->Connect(5000);
    EXPECT_THROW(client->MessageCount(), EIdException);
    EXPECT_FALSE(client->IsConnected());
    client->Disconnect();
}

} // namespace
} // namespace qm
