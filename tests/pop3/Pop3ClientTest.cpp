// The POP3 client in scripted conversations with a loopback server: the exact commands sent,
// the reply mapping, -ERR at every step, hostile replies, and what happens after a fetch fails.

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

// Runs a session function, then checks that the client sent exactly `wire`.
template <typename Session> void expectWire(FakePop3Server& server, Session session, const Lines& wire) {
    server.Start();
    auto client = clientFor(server);
    session(*client);
    client->Disconnect();
    server.Join();
    EXPECT_EQ(server.Received(), wire);
    EXPECT_EQ(server.Failures(), Lines{});
}

TEST(Pop3Session, EmptyMailboxEndsWithQuit) {
    FakePop3Server server;
    loginScript(server).Reply("STAT", "+OK 0 0").Expect("QUIT");
    expectWire(server,
               [](TIdPOP3& c) {
                   c.Connect(5000);
                   EXPECT_EQ(c.MessageCount(), 0);
               },
               {"USER joe", "PASS secret", "STAT", "QUIT"});
}

TEST(Pop3Session, HeadersFromHighestDown) {
    FakePop3Server server;
    loginScript(server)
        .Reply("STAT", "+OK 2 320")
        .Expect("TOP 2 0")
        .Send("+OK\r\nFrom: b@example.com\r\nSubject: two\r\n\tfolded\r\n\r\n.\r\n")
        .Expect("TOP 1 0")
        .Send("+OK\r\nFrom: a@example.com\r\nSubject: one\r\n\r\n.\r\n")
        .Expect("QUIT");
    expectWire(server,
               [](TIdPOP3& c) {
                   c.Connect(5000);
                   const int count = c.MessageCount();
                   ASSERT_EQ(count, 2);
                   TIdMessage msg;
                   EXPECT_TRUE(c.FetchHeader(2, msg));
                   EXPECT_EQ(msg.Headers.Lines(), (Lines{"From: b@example.com", "Subject: two", "\tfolded"}));
                   EXPECT_EQ(msg.From.Address, "b@example.com");
                   msg.Clear();
                   EXPECT_TRUE(c.FetchHeader(1, msg));
                   EXPECT_EQ(msg.Subject, "one");
               },
               {"USER joe", "PASS secret", "STAT", "TOP 2 0", "TOP 1 0", "QUIT"});
}

TEST(Pop3Session, RetrDeleAndQuit) {
    FakePop3Server server;
    loginScript(server)
        .Reply("STAT", "+OK 1 100")
        .Expect("RETR 1")
        .Send("+OK 100 octets\r\nFrom: x@y.z\r\nSubject: s\r\n\r\nline one\r\n..dot stuffed\r\n.\r\n")
        .Reply("DELE 1", "+OK marked")
        .Expect("QUIT");
    expectWire(server,
               [](TIdPOP3& c) {
                   c.Connect(5000);
                   ASSERT_EQ(c.MessageCount(), 1);
                   TIdMessage msg;
                   EXPECT_TRUE(c.FetchMessage(1, msg));
                   EXPECT_EQ(msg.Subject, "s");
                   EXPECT_EQ(msg.Body, (Lines{"line one", ".dot stuffed"}));
                   EXPECT_TRUE(c.DeleteMessage(1));
               },
               {"USER joe", "PASS secret", "STAT", "RETR 1", "DELE 1", "QUIT"});
}

TEST(Pop3Session, RetrOfHeaderOnlyMessageReadsNoBody) {
    FakePop3Server server;
    // No empty line before ".": the answer ends with the header. Waiting for a body would
    // run into the time-out, since the server says nothing until it gets the next command.
    loginScript(server)
        .Expect("RETR 1")
        .Send("+OK\r\nSubject: only a header\r\n.\r\n")
        .Reply("DELE 1", "+OK")
        .Expect("QUIT");
    expectWire(server,
               [](TIdPOP3& c) {
                   c.ReadTimeout = 60000;
                   c.Connect(5000);
                   TIdMessage msg;
                   EXPECT_TRUE(c.FetchMessage(1, msg));
                   EXPECT_EQ(msg.Subject, "only a header");
                   EXPECT_TRUE(msg.Body.empty());
                   EXPECT_TRUE(c.DeleteMessage(1));
               },
               {"USER joe", "PASS secret", "RETR 1", "DELE 1", "QUIT"});
}

TEST(Pop3Session, StatCounts) {
    const struct {
        const char* reply;
        int count; // -1: conversion error
        const char* error;
    } rows[] = {
        {"+OK 3 4521", 3, nullptr},
        {"+OK 0 0", 0, nullptr},
        {"+OK", 0, nullptr},
        {"+ok 7 1", 7, nullptr},
        {"+OK 5", -1, "'' is not a valid integer value"},
        {"+OK x 12", -1, "'x' is not a valid integer value"},
        {"+OK  3 12", -1, "'' is not a valid integer value"},
    };
    for (const auto& row : rows) {
        FakePop3Server server;
        loginScript(server).Reply("STAT", row.reply).Expect("QUIT");
        server.Start();
        auto client = clientFor(server);
        client->Connect(5000);
        if (row.count >= 0) {
            EXPECT_EQ(client->MessageCount(), row.count) << row.reply;
        } else {
            try {
                client->MessageCount();
                ADD_FAILURE() << row.reply;
            } catch (const EIdException& e) {
                EXPECT_STREQ(e.what(), row.error) << row.reply;
            }
        }
        client->Disconnect();
        server.Join();
    }
}

TEST(Pop3Session, ReplyMapping) {
    const struct {
        const char* greeting;
        bool accepted;
        const char* message;
    } rows[] = {
        {"+OK POP3 ready", true, nullptr},
        {"+ok lower case", true, nullptr},
        {"+OK", true, nullptr},
        {"* OK POP3 ready", false, "Unrecognized POP3 Response Header:\n\" POP3 ready\r\n\""},
        {"+OKAY", false, "Unrecognized POP3 Response Header:\n\"Y\r\n\""},
        {"OK", false, "Unrecognized POP3 Response Header:\n\"\r\n\""},
        {"-ERR go away", false, " go away\r\n"},
    };
    for (const auto& row : rows) {
        FakePop3Server server;
        server.SendLine(row.greeting).Reply("USER joe", "+OK").Reply("PASS secret", "+OK");
        server.Start();
        auto client = clientFor(server);
        if (row.accepted) {
            EXPECT_NO_THROW(client->Connect(5000)) << row.greeting;
            EXPECT_EQ(client->LastCmdResult().NumericCode(), 1);
            EXPECT_EQ(client->LastCmdResult().TextCode(), "1");
        } else {
            try {
                client->Connect(5000);
                ADD_FAILURE() << row.greeting;
            } catch (const EIdException& e) {
                EXPECT_STREQ(e.what(), row.message) << row.greeting;
            }
            // A failed connect has said QUIT and closed.
            EXPECT_FALSE(client->IsConnected());
        }
        client->Disconnect();
        server.Join();
        const Lines expected = row.accepted ? Lines{"USER joe", "PASS secret", "QUIT"} : Lines{"QUIT"};
        EXPECT_EQ(server.Received(), expected) << row.greeting;
    }
}

TEST(Pop3Session, LoginRejectedSendsQuitOnce) {
    for (const bool atUser : {true, false}) {
        FakePop3Server server;
        server.SendLine("+OK ready");
        if (atUser) {
            server.Reply("USER joe", "-ERR no such user");
        } else {
            server.Reply("USER joe", "+OK").Reply("PASS secret", "-ERR [AUTH] wrong password");
        }
        server.Start();
        auto client = clientFor(server);
        try {
            client->Connect(5000);
            ADD_FAILURE() << "logged in";
        } catch (const EIdProtocolReplyError& e) {
            EXPECT_EQ(e.ReplyErrorCode(), 2);
            EXPECT_STREQ(e.what(), atUser ? " no such user\r\n" : " [AUTH] wrong password\r\n");
        }
        client->Disconnect(); // the worker's own clean-up must not send a second QUIT
        server.Join();
        const Lines expected = atUser ? Lines{"USER joe", "QUIT"} : Lines{"USER joe", "PASS secret", "QUIT"};
        EXPECT_EQ(server.Received(), expected);
    }
}

TEST(Pop3Session, ErrOnEachTransactionCommand) {
    FakePop3Server server;
    loginScript(server)
        .Reply("STAT", "-ERR mailbox locked")
        .Reply("RETR 3", "-ERR no such message")
        .Reply("TOP 2 0", "-ERR no such message")
        .Reply("DELE 1", "-ERR already deleted")
        .Expect("QUIT");
    expectWire(server,
               [](TIdPOP3& c) {
                   c.Connect(5000);
                   try {
                       c.MessageCount();
                       ADD_FAILURE() << "STAT accepted";
                   } catch (const EIdProtocolReplyError& e) {
                       EXPECT_STREQ(e.what(), " mailbox locked\r\n");
                   }
                   TIdMessage msg;
                   EXPECT_FALSE(c.FetchMessage(3, msg));
                   EXPECT_EQ(msg.Headers.Count(), 0u);
                   EXPECT_FALSE(c.FetchHeader(2, msg));
                   EXPECT_FALSE(c.DeleteMessage(1));
               },
               {"USER joe", "PASS secret", "STAT", "RETR 3", "TOP 2 0", "DELE 1", "QUIT"});
}

TEST(Pop3Session, ApopLogin) {
    // The digest of the RFC 1939 example.
    EXPECT_EQ(TIdPOP3::ApopDigest("<1896.697170952@dbc.mtview.ca.us>", "tanstaaf"), "c4c9334bac560ecc979e58001b3e22fb");
    FakePop3Server server;
    server.SendLine("+OK POP3 server ready <1896.697170952@dbc.mtview.ca.us> more")
        .Reply("APOP joe c4c9334bac560ecc979e58001b3e22fb", "+OK")
        .Expect("QUIT");
    expectWire(server,
               [](TIdPOP3& c) {
                   c.APOP = true;
                   c.Password = "tanstaaf";
                   c.Connect(5000);
               },
               {"APOP joe c4c9334bac560ecc979e58001b3e22fb", "QUIT"});
}

TEST(Pop3Session, ApopWithoutTimestamp) {
    FakePop3Server server;
    server.SendLine("+OK POP3 server ready").Expect("QUIT");
    server.Start();
    auto client = clientFor(server);
    client->APOP = true;
    try {
        client->Connect(5000);
        FAIL() << "logged in";
    } catch (const EIdException& e) {
        EXPECT_STREQ(e.what(), "Server do not support APOP (no timestamp)");
    }
    server.Join();
    EXPECT_EQ(server.Received(), Lines{"QUIT"});
}

} // namespace
} // namespace qm
