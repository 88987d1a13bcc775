// The POP3 client against a real Dovecot server started for the test: plain, TLS on connect
// and STLS with the test authority, refused certificates, a mailbox of a few hundred messages
// counted exactly, and deletions that take effect on QUIT only.

#include "DovecotServer.h"
#include "TestPki.h"
#include "pop3/IdExceptions.h"
#include "pop3/IdMessage.h"
#include "pop3/IdPOP3.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace qm {
namespace {

using test::DovecotServer;
using test::ScopedCaFile;

std::unique_ptr<TIdPOP3> clientFor(const DovecotServer& dovecot, int security, const char* host = "localhost") {
    auto client = std::make_unique<TIdPOP3>();
    client->Host = host;
    client->Port = security == TIdPOP3::kSecurityTls ? dovecot.Pop3sPort() : dovecot.Pop3Port();
    client->Username = dovecot.User();
    client->Password = dovecot.Password();
    client->Security = security;
    return client;
}

TEST(Dovecot, FewHundredMessagesCountedExactly) {
    DovecotServer dovecot;
    dovecot.AddMessages(300);
    auto client = clientFor(dovecot, TIdPOP3::kSecurityNone);
    client->Connect(10000);
    ASSERT_EQ(client->MessageCount(), 300);
    TIdMessage msg;
    for (int n : {300, 150, 1}) {
        msg.Clear();
        ASSERT_TRUE(client->FetchHeader(n, msg));
        EXPECT_EQ(msg.Subject, "Test message " + std::to_string(n));
        EXPECT_EQ(msg.From.Address, "sender" + std::to_string(n) + "@example.com");
    }
    msg.Clear();
    ASSERT_TRUE(client->FetchMessage(7, msg));
    EXPECT_EQ(msg.Subject, "Test message 7");
    EXPECT_EQ(msg.Body, (std::vector<std::string>{"Body of message 7", ".leading dot"}));
    client->Disconnect();
}

TEST(Dovecot, DeleteThenQuitRemovesTheMessages) {
    DovecotServer dovecot;
    dovecot.AddMessages(20);
    {
        auto client = clientFor(dovecot, TIdPOP3::kSecurityNone);
        client->Connect(10000);
        // Dovecot announces pipelining: the checks against it take the pipelined path.
        EXPECT_TRUE(client->Capabilities().pipelining);
        ASSERT_EQ(client->MessageCount(), 20);
        for (int n : {20, 13, 2}) {
            EXPECT_TRUE(client->DeleteMessage(n));
        }
        // Deleting twice in one session is refused.
        EXPECT_FALSE(client->DeleteMessage(13));
        client->Disconnect();
    }
    // QUIT is not waited for: the server commits once it has read it. A new session sees the
    // committed state, since Dovecot serialises sessions of one mailbox.
    auto again = clientFor(dovecot, TIdPOP3::kSecurityNone);
    again->Connect(10000);
    EXPECT_EQ(again->MessageCount(), 17);
    again->Disconnect();
    EXPECT_EQ(dovecot.MessagesOnDisk(), 17);
}

TEST(Dovecot, DeletionsWithoutQuitAreKept) {
    DovecotServer dovecot;
    dovecot.AddMessages(5);
    {
        auto client = clientFor(dovecot, TIdPOP3::kSecurityNone);
        client->Connect(10000);
        EXPECT_TRUE(client->DeleteMessage(1));
        client->Abort(); // the session ends without QUIT
        client->Disconnect();
    }
    auto again = clientFor(dovecot, TIdPOP3::kSecurityNone);
    again->Connect(10000);
    EXPECT_EQ(again->MessageCount(), 5);
    again->Disconnect();
}

TEST(Dovecot, WrongPasswordIsRejected) {
    DovecotServer dovecot;
    auto client = clientFor(dovecot, TIdPOP3::kSecurityNone);
    client->Password = "wrong";
    try {
        client->Connect(10000);
        FAIL() << "logged in";
    } catch (const EIdProtocolReplyError& e) {
        EXPECT_EQ(e.ReplyErrorCode(), 2);
        EXPECT_NE(std::string(e.what()).find("Authentication failed"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(client->IsConnected());
}

TEST(Dovecot, TlsOnConnectAndStls) {
    DovecotServer dovecot;
    dovecot.AddMessages(3);
    ScopedCaFile trust(dovecot.Pki().CaFile());
    for (const int security : {TIdPOP3::kSecurityTls, TIdPOP3::kSecuritySTLS}) {
        for (const char* host : {"localhost", "127.0.0.1"}) {
            auto client = clientFor(dovecot, security, host);
            client->Connect(10000);
            EXPECT_TRUE(client->IOHandler()->TlsActive()) << security << host;
            EXPECT_EQ(client->MessageCount(), 3) << security << host;
            TIdMessage msg;
            EXPECT_TRUE(client->FetchMessage(2, msg));
            EXPECT_EQ(msg.Subject, "Test message 2");
            client->Disconnect();
        }
    }
}

TEST(Dovecot, UntrustedCertificateRefused) {
    DovecotServer dovecot(DovecotServer::Certificate::SelfSigned);
    ScopedCaFile trust(dovecot.Pki().CaFile());
    for (const int security : {TIdPOP3::kSecurityTls, TIdPOP3::kSecuritySTLS}) {
        auto client = clientFor(dovecot, security);
        try {
            client->Connect(10000);
            ADD_FAILURE() << "connected";
        } catch (const EIdTLSError& e) {
            EXPECT_STREQ(e.what(), "TLS: certificate verify failed: self-signed certificate");
        }
        EXPECT_FALSE(client->IsConnected());
    }
}

TEST(Dovecot, WrongHostNameRefused) {
    DovecotServer dovecot(DovecotServer::Certificate::WrongHost);
    ScopedCaFile trust(dovecot.Pki().CaFile());
    auto client = clientFor(dovecot, TIdPOP3::kSecuritySTLS);
    try {
        client->Connect(10000);
        FAIL() << "connected";
    } catch (const EIdTLSError& e) {
        EXPECT_STREQ(e.what(), "TLS: certificate verify failed: hostname mismatch");
    }
}

} // namespace
} // namespace qm
