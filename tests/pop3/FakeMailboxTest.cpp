// The fake server's mailbox mode, which other tests rely on to behave like a POP3 server:
// login, counts, TOP and RETR with dot-stuffing, deletions committed by QUIT only, overrides.

#include "FakePop3Server.h"
#include "ScriptedClientSupport.h"
#include "TestPaths.h"
#include "TestPki.h"
#include "pop3/IdExceptions.h"
#include "pop3/IdMessage.h"
#include "pop3/IdPOP3.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace qm {
namespace {

using test::clientFor;
using test::FakeMailbox;
using test::FakePop3Server;
using Lines = std::vector<std::string>;

FakeMailbox threeMessages() {
    FakeMailbox mb;
    mb.user = "joe";
    mb.password = "secret";
    mb.messages = {
        "From: one@example.com\r\nSubject: first\r\n\r\nbody 1\r\n",
        "From: two@example.com\nSubject: second\n\n.starts with a dot\n.\nlast\n",
        "From: three@example.com\r\nSubject: third\r\n\r\n",
    };
    return mb;
}

TEST(FakeMailbox, SessionAndDeletionOnQuit) {
    FakePop3Server server;
    server.ServeMailbox(threeMessages());
    server.Start();
    auto client = clientFor(server);
    client->Connect(5000);
    ASSERT_EQ(client->MessageCount(), 3);
    TIdMessage msg;
    EXPECT_TRUE(client->FetchHeader(3, msg));
    EXPECT_EQ(msg.Subject, "third");
    msg.Clear();
    EXPECT_TRUE(client->FetchMessage(2, msg));
    EXPECT_EQ(msg.Body, (Lines{".starts with a dot", ".", "last"}));
    EXPECT_TRUE(client->DeleteMessage(2));
    EXPECT_FALSE(client->DeleteMessage(2));
    EXPECT_FALSE(client->FetchMessage(2, msg));
    EXPECT_FALSE(client->DeleteMessage(4));
    EXPECT_EQ(server.Deleted(), std::set<int>{}); // nothing before QUIT
    client->Disconnect();
    server.Join();
    EXPECT_EQ(server.Deleted(), std::set<int>{2});
    EXPECT_EQ(server.Received(), (Lines{"USER joe", "PASS secret", "STAT", "TOP 3 0", "RETR 2", "DELE 2", "DELE 2",
                                        "RETR 2", "DELE 4", "QUIT"}));
}

TEST(FakeMailbox, NoQuitNoDeletion) {
    FakePop3Server server;
    server.ServeMailbox(threeMessages());
    server.Start();
    auto client = clientFor(server);
    client->Connect(5000);
    EXPECT_TRUE(client->DeleteMessage(1));
    client->Abort();
    client->Disconnect();
    server.Join();
    EXPECT_EQ(server.Deleted(), std::set<int>{});
}

TEST(FakeMailbox, WrongPasswordAndOverrides) {
    FakeMailbox mb = threeMessages();
    mb.overrides["TOP 2 0"] = "-ERR message 2 is locked";
    FakePop3Server server;
    server.ServeMailbox(mb);
    server.Start();
    {
        auto client = clientFor(server, "wrong");
        EXPECT_THROW(client->Connect(5000), EIdProtocolReplyError);
    }
    server.Join(1);
    auto client = clientFor(server);
    client->Connect(5000);
    TIdMessage msg;
    EXPECT_FALSE(client->FetchHeader(2, msg));
    EXPECT_EQ(client->LastCmdResult().TextWithCrLf(), " message 2 is locked\r\n");
    EXPECT_TRUE(client->FetchHeader(1, msg));
    client->Disconnect();
    server.Join(2);
    EXPECT_EQ(server.Sessions(), 2);
}

TEST(FakeMailbox, StlsWhenGivenACertificate) {
    const std::string folder = std::string(QM_TEST_TMP_DIR) + "/mailbox-" + std::to_string(::getpid());
    {
        test::TestPki pki(folder);
        test::ScopedCaFile trust(pki.CaFile());
        FakePop3Server server;
        server.SetTls(pki.Server());
        server.ServeMailbox(threeMessages());
        server.Start();
        auto client = clientFor(server);
        client->Host = "localhost";
        client->Security = TIdPOP3::kSecuritySTLS;
        client->Connect(5000);
        EXPECT_EQ(client->MessageCount(), 3);
        client->Disconnect();
        server.Join();
        EXPECT_EQ(server.Received(), (Lines{"STLS", "USER joe", "PASS secret", "STAT", "QUIT"}));
    }
    std::filesystem::remove_all(folder);
}

} // namespace
} // namespace qm
