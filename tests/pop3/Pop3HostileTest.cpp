// The POP3 client against servers that misbehave: huge lines, silence, dropped connections,
// answers that never end, and fetches that fail part-way (the rest of the message must be
// dropped so that no reply is ever taken from message content).

#include "FakePop3Server.h"
#include "ScriptedClientSupport.h"
#include "pop3/IdExceptions.h"
#include "pop3/IdMessage.h"
#include "pop3/IdPOP3.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace qm {
namespace {

using test::clientFor;
using test::FakePop3Server;
using test::loginScript;
using Lines = std::vector<std::string>;

// A message body whose second line is too long for a line read, followed by lines that look
// like server replies, then more content.
std::string poisonedMessage(std::size_t restBytes) {
    std::string m = "+OK\r\nFrom: a@b.c\r\nSubject: poisoned\r\n\r\nfirst body line\r\n";
    m += std::string(20000, 'L') + "\r\n";
    m += "-ERR this is message content\r\n+OK so is this\r\n";
    while (m.size() < restBytes) {
        m += "filler filler filler filler filler filler filler filler filler filler\r\n";
    }
    return m;
}

TEST(HostileServer, MegabyteReplyLine) {
    FakePop3Server server;
    server.Send("+OK " + std::string(1 << 20, 'x') + "\r\n").Stall();
    server.Start();
    auto client = clientFor(server);
    try {
        client->Connect(5000);
        FAIL() << "connected";
    } catch (const EIdReadLnMaxLineLengthExceeded& e) {
        EXPECT_STREQ(e.what(), "Max line length exceeded.");
    }
    client->Disconnect();
}

TEST(HostileServer, MultiLineGreetingIsBoundedAsAWhole) {
    FakePop3Server server;
    server.Send("+OK-hello\r\n" + test::MegabyteOfLines()).Stall();
    server.Start();
    auto client = clientFor(server);
    EXPECT_THROW(client->Connect(5000), EIdReadLnMaxLineLengthExceeded);
    EXPECT_FALSE(client->IsConnected());
    client->Disconnect();
}

TEST(HostileServer, GreetingThatNeverComes) {
    FakePop3Server server;
    server.Stall();
    server.Start();
    auto client = clientFor(server);
    try {
        client->Connect(300); // the connect limit also bounds every read
        FAIL() << "connected";
    } catch (const EIdReadTimeout& e) {
        EXPECT_STREQ(e.what(), "Read Timeout");
    }
    EXPECT_EQ(client->ReadTimeout, 300);
    EXPECT_FALSE(client->IsConnected());
    server.Join();
    EXPECT_EQ(server.Received(), Lines{}); // nothing sent, not even QUIT, on the stale line
}

TEST(HostileServer, GreetingInDripsIsBoundedAsAWhole) {
    // Blank lines trickle in faster than the time-out, so no single wait runs out; the reply as
    // a whole must still arrive within the time-out.
    FakePop3Server server;
    for (int i = 0; i < 40; ++i) {
        server.Send("\r\n").Pause(50);
    }
    server.SendLine("+OK finally").Reply("USER joe", "+OK").Reply("PASS secret", "+OK").Stall();
    server.Start();
    auto client = clientFor(server);
    EXPECT_THROW(client->Connect(300), EIdReadTimeout);
    client->Disconnect();
}

TEST(HostileServer, ConnectionDroppedMidMessage) {
    FakePop3Server server;
    loginScript(server).Expect("RETR 1").Send("+OK\r\nSubject: cut\r\n\r\nbody begins\r\nand then").Close();
    server.Start();
    auto client = clientFor(server);
    client->Connect(5000);
    TIdMessage msg;
    EXPECT_THROW(client->FetchMessage(1, msg), EIdConnClosedGracefully);
    // Every later command fails the same way; no QUIT goes out on the dead line.
    EXPECT_THROW(client->DeleteMessage(1), EIdException);
    EXPECT_FALSE(client->IsConnected());
    client->Disconnect();
    server.Join();
    EXPECT_EQ(server.Received(), (Lines{"USER joe", "PASS secret", "RETR 1"}));
}

TEST(HostileServer, TopAnswerThatStopsIsBoundedByTheTimeout) {
    FakePop3Server server;
    loginScript(server).Expect("TOP 1 0").Send("+OK\r\nSubject: and then nothing\r\n").Stall();
    server.Start();
    auto client = clientFor(server);
    client->Connect(300);
    TIdMessage msg;
    EXPECT_THROW(client->FetchHeader(1, msg), EIdReadTimeout);
    EXPECT_THROW(client->DeleteMessage(1), EIdException);
    client->Disconnect();
    server.Join();
    EXPECT_EQ(server.Received(), (Lines{"USER joe", "PASS secret", "TOP 1 0"}));
}

TEST(HostileServer, TopAnswerThatNeverEndsIsBounded) {
    // Header lines without end: the header is capped, the rest cannot be dropped within the
    // time-out, so the connection is given up instead of reading content as replies.
    FakePop3Server server;
    std::string flood;
    for (int i = 0; flood.size() < (6u << 20); ++i) {
        flood += "X-Flood-" + std::to_string(i) + ": " + std::string(100, 'f') + "\r\n";
    }
    loginScript(server).Expect("TOP 1 0").Send("+OK\r\n" + flood).Stall();
    server.Start();
    auto client = clientFor(server);
    client->Connect(500);
    TIdMessage msg;
    EXPECT_THROW(client->FetchHeader(1, msg), EIdException);
    EXPECT_THROW(client->DeleteMessage(1), EIdException);
    client->Disconnect();
    server.Join();
    EXPECT_EQ(server.Received(), (Lines{"USER joe", "PASS secret", "TOP 1 0"}));
}

TEST(HostileServer, RestOfAFailedFetchIsDroppedBeforeTheNextCommand) {
    FakePop3Server server;
    loginScript(server)
        .Expect("RETR 2")
        .Send(poisonedMessage(200000) + ".\r\n")
        .Reply("DELE 1", "+OK marked")
        .Expect("QUIT");
    server.Start();
    auto client = clientFor(server);
    client->Connect(5000);
    TIdMessage msg;
    EXPECT_THROW(client->FetchMessage(2, msg), EIdReadLnMaxLineLengthExceeded);
    // Without dropping the rest, DELE would take "-ERR this is message content" as its reply.
    EXPECT_TRUE(client->DeleteMessage(1));
    EXPECT_EQ(client->LastCmdResult().Text(), Lines{"marked"});
    client->Disconnect();
    server.Join();
    EXPECT_EQ(server.Received(), (Lines{"USER joe", "PASS secret", "RETR 2", "DELE 1", "QUIT"}));
    EXPECT_EQ(server.Failures(), Lines{});
}

TEST(HostileServer, RestIsDroppedBeforeQuitSoDeletionsCommit) {
    // Closing with more unread than the socket buffers hold would reset the connection while
    // the server is still sending, before it reads QUIT.
    FakePop3Server server;
    loginScript(server)
        .Reply("DELE 2", "+OK")
        .Expect("RETR 1")
        .Send(poisonedMessage(32u << 20) + ".\r\n")
        .Expect("QUIT");
    server.Start();
    auto client = clientFor(server);
    client->Connect(5000);
    EXPECT_TRUE(client->DeleteMessage(2));
    TIdMessage msg;
    EXPECT_THROW(client->FetchMessage(1, msg), EIdReadLnMaxLineLengthExceeded);
    client->Disconnect();
    server.Join();
    EXPECT_EQ(server.Received(), (Lines{"USER joe", "PASS secret", "DELE 2", "RETR 1", "QUIT"}));
    EXPECT_EQ(server.Failures(), Lines{});
}

TEST(HostileServer, RestThatNeverEndsClosesTheConnection) {
    FakePop3Server server;
    loginScript(server).Expect("RETR 1").Send(poisonedMessage(1000)).Stall();
    server.Start();
    auto client = clientFor(server);
    client->Connect(300);
    TIdMessage msg;
    EXPECT_THROW(client->FetchMessage(1, msg), EIdReadLnMaxLineLengthExceeded);
    EXPECT_THROW(client->DeleteMessage(1), EIdException);
    EXPECT_FALSE(client->IsConnected());
    client->Disconnect();
    server.Join();
    EXPECT_EQ(server.Received(), (Lines{"USER joe", "PASS secret", "RETR 1"}));
}

TEST(HostileServer, HeaderThatFailsToParseNeedsNoDrain) {
    // The whole answer was read before parsing failed: the next command goes out at once.
    FakePop3Server server;
    loginScript(server)
        .Expect("TOP 1 0")
        .Send("+OK\r\nFrom: <a@b.c>@d\r\n\r\n.\r\n")
        .Reply("DELE 1", "+OK")
        .Expect("QUIT");
    server.Start();
    auto client = clientFor(server);
    client->Connect(5000);
    TIdMessage msg;
    EXPECT_THROW(client->FetchHeader(1, msg), EIdException);
    EXPECT_TRUE(client->DeleteMessage(1));
    client->Disconnect();
    server.Join();
    EXPECT_EQ(server.Received(), (Lines{"USER joe", "PASS secret", "TOP 1 0", "DELE 1", "QUIT"}));
}

TEST(HostileServer, GarbageAndNulBytes) {
    FakePop3Server server;
    server.Send(std::string("+OK\0ready\r\n", 11))
        .Reply("USER joe", "+OK")
        .Reply("PASS secret", "+OK")
        .Expect("TOP 1 0")
        .Send(std::string("+OK\r\nSubject: a\0b\r\n\r\n.\r\n", 24))
        .Reply("TOP 2 0", "HTTP/1.1 400 Bad Request")
        .Expect("QUIT");
    server.Start();
    auto client = clientFor(server);
    client->Connect(5000);
    TIdMessage msg;
    EXPECT_TRUE(client->FetchHeader(1, msg));
    EXPECT_EQ(msg.Headers.Lines(), Lines{std::string("Subject: a\0b", 12)});
    try {
        client->FetchHeader(2, msg);
        FAIL() << "garbage accepted";
    } catch (const EIdException& e) {
        EXPECT_STREQ(e.what(), "Unrecognized POP3 Response Header:\n\"/1.1 400 Bad Request\r\n\"");
    }
    client->Disconnect();
    server.Join();
    EXPECT_EQ(server.Received(), (Lines{"USER joe", "PASS secret", "TOP 1 0", "TOP 2 0", "QUIT"}));
}

TEST(HostileServer, AbortEndsAFetchBlockedWithoutTimeLimit) {
    FakePop3Server server;
    loginScript(server).Expect("RETR 1").Send("+OK\r\nSubject: slow\r\n").Stall();
    server.Start();
    auto client = clientFor(server);
    client->Connect(0); // no time limit at all: only Abort can end the read
    std::thread aborter([&] {
        while (server.Received().size() < 3) {
            std::this_thread::yield();
        }
        client->Abort();
    });
    TIdMessage msg;
    EXPECT_THROW(client->FetchMessage(1, msg), EIdClosedSocket);
    aborter.join();
    client->Disconnect();
    server.Join();
    EXPECT_EQ(server.Received(), (Lines{"USER joe", "PASS secret", "RETR 1"}));
}

} // namespace
} // namespace qm
