// Reading lines and replies from a real loopback peer: terminators, limits, replies, a peer that
// closes or stalls, and a read aborted from another thread.

#include "FakePop3Server.h"
#include "pop3/IdExceptions.h"
#include "pop3/IdTCPClient.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace qm {
namespace {

using test::FakePop3Server;

std::unique_ptr<TIdTCPClient> connectTo(const FakePop3Server& server, int readTimeoutMs = 10000) {
    auto client = std::make_unique<TIdTCPClient>();
    client->Host = "127.0.0.1";
    client->Port = server.Port();
    client->ReadTimeout = readTimeoutMs; // only a broken client waits that long
    client->Connect(5000);
    return client;
}

TEST(ReadLine, TerminatorsAndBytes) {
    const struct {
        std::string wire;
        std::vector<std::string> lines;
    } rows[] = {
        {"abc\r\n", {"abc"}},
        {"abc\n", {"abc"}},
        {"a\rb\r\n", {"a\rb"}},
        {"abc\r\r\n", {"abc\r"}},
        {"\r\n\n", {"", ""}},
        {std::string("a\0b\r\n", 5), {std::string("a\0b", 3)}},
        {"\xff\xfe\x80\r\n", {"\xff\xfe\x80"}},
        {"one\r\ntwo\nthree\r\n", {"one", "two", "three"}},
    };
    for (const auto& row : rows) {
        FakePop3Server server;
        server.Send(row.wire).Stall();
        server.Start();
        auto client = connectTo(server);
        for (const auto& expected : row.lines) {
            EXPECT_EQ(client->ReadLine(), expected);
        }
        client->Disconnect();
    }
}

TEST(ReadLine, LinesSplitAcrossReceives) {
    // One line arrives in pieces; another is larger than one receive.
    FakePop3Server server;
    const std::string big(40000, 'b');
    server.Send("par").Expect("go").Send("tial\r").Expect("go").Send("\nnext\r\n").Send(big + "\r\n").Stall();
    server.Start();
    auto client = connectTo(server);
    client->MaxLineLength = 0; // no limit
    client->WriteLine("go");
    client->WriteLine("go");
    EXPECT_EQ(client->ReadLine(), "partial");
    EXPECT_EQ(client->ReadLine(), "next");
    EXPECT_EQ(client->ReadLine(), big);
    client->Disconnect();
}

TEST(ReadLine, MaxLineLengthBoundary) {
    const struct {
        std::size_t length;
        bool accepted;
    } rows[] = {{16383, true}, {16384, true}, {16385, false}, {1u << 20, false}};
    for (const auto& row : rows) {
        FakePop3Server server;
        server.Send(std::string(row.length, 'x') + "\r\n").SendLine("after").Stall();
        server.Start();
        auto client = connectTo(server);
        if (row.accepted) {
            EXPECT_EQ(client->ReadLine().size(), row.length);
            EXPECT_EQ(client->ReadLine(), "after");
        } else {
            try {
                client->ReadLine();
                ADD_FAILURE() << row.length << " accepted";
            } catch (const EIdReadLnMaxLineLengthExceeded& e) {
                EXPECT_STREQ(e.what(), "Max line length exceeded.");
            }
            // Memory stays bounded: no more than the limit and one receive were buffered.
            EXPECT_LE(client->InputBufferSize(), 16384u + 32768u + 2u);
        }
        client->Disconnect();
    }
}

TEST(ReadLine, SplitModeReturnsPieces) {
    FakePop3Server server;
    server.Send("abcdefghij\r\n").Stall();
    server.Start();
    auto client = connectTo(server);
    client->MaxLineLength = 4;
    client->MaxLineAction = maSplit;
    EXPECT_EQ(client->ReadLine(), "abcd");
    EXPECT_EQ(client->ReadLine(), "efgh");
    EXPECT_EQ(client->ReadLine(), "ij");
    client->Disconnect();
}

TEST(ReadLine, OtherTerminatorKeepsCr) {
    FakePop3Server server;
    server.Send("a\r\nb;c;").Stall();
    server.Start();
    auto client = connectTo(server);
    EXPECT_EQ(client->ReadLine(";"), "a\r\nb");
    EXPECT_EQ(client->ReadLine(";"), "c");
    client->Disconnect();
}

TEST(ReadLine, AsciiFilterClearsBitSeven) {
    FakePop3Server server;
    server.Send("\xc1\xe2\r\n").Stall();
    server.Start();
    auto client = connectTo(server);
    client->ASCIIFilter = true;
    EXPECT_EQ(client->ReadLine(), "Ab");
    client->Disconnect();
}

TEST(PeerClose, LastLineThenClosedGracefully) {
    FakePop3Server server;
    server.Send("+OK x\r\n").Close();
    server.Start();
    auto client = connectTo(server);
    EXPECT_EQ(client->ReadLine(), "+OK x");
    try {
        client->ReadLine();
        FAIL() << "no exception";
    } catch (const EIdConnClosedGracefully& e) {
        EXPECT_STREQ(e.what(), "Connection Closed Gracefully.");
    }
    EXPECT_TRUE(client->ClosedGracefully());
    EXPECT_FALSE(client->IsConnected());
    EXPECT_THROW(client->WriteLine("QUIT"), EIdConnClosedGracefully);
}

TEST(PeerClose, IncompleteLineIsLost) {
    FakePop3Server server;
    server.Send("+OK no end").Close();
    server.Start();
    auto client = connectTo(server);
    EXPECT_THROW(client->ReadLine(), EIdConnClosedGracefully);
}

TEST(ReadTimeout, StalledPeerEndsTheReadAndTheConnection) {
    FakePop3Server server;
    server.Send("partial").Stall();
    server.Start();
    auto client = connectTo(server, 200);
    try {
        client->ReadLine();
        FAIL() << "no exception";
    } catch (const EIdReadTimeout& e) {
        EXPECT_STREQ(e.what(), "Read Timeout");
    }
    // What would arrive late must never be read as the answer to the next command.
    EXPECT_FALSE(client->IsConnected());
}

TEST(ReadTimeout, ExplicitLimitReturnsEmptyLine) {
    FakePop3Server server;
    server.Stall();
    server.Start();
    auto client = connectTo(server, 0);
    EXPECT_EQ(client->ReadLine("\n", 100), "");
    EXPECT_TRUE(client->ReadLnTimedOut());
    EXPECT_TRUE(client->IsConnected());
    client->Disconnect();
}

TEST(Abort, FromAnotherThreadEndsABlockedRead) {
    FakePop3Server server;
    server.Stall();
    server.Start();
    auto client = connectTo(server, 0); // no time limit: only the abort can end the read
    std::thread aborter([&] {
        // Wait until the server holds the session, then abort; the read may block before or
        // after this point, both must end.
        while (server.Sessions() == 0) {
            std::this_thread::yield();
        }
        client->Abort();
    });
    try {
        client->ReadLine();
        ADD_FAILURE() << "read returned";
    } catch (const EIdClosedSocket& e) {
        EXPECT_STREQ(e.what(), "Disconnected.");
    }
    aborter.join();
    EXPECT_FALSE(client->IsConnected());
    client->Disconnect();
}

TEST(ReadReply, Parsing) {
    const struct {
        std::string wire;
        std::string textCode;
        int numericCode;
        std::vector<std::string> text;
    } rows[] = {
        {"+OK 2 320\r\n", "+OK", 0, {"2 320"}},
        {"-ERR bad login\r\n", "-ERR", 0, {" bad login"}},
        {"+OK\r\n", "+OK", 0, {""}},
        {"\r\n  \r\n+OK hi\r\n", "+OK", 0, {"hi"}},
        {"  +OK padded  \r\n", "+OK", 0, {"padded"}},
        {"250 done\r\n", "250", 250, {"done"}},
        {"250-first\r\n250-second\r\n250 last\r\n", "250", 250, {"first", "second", "last"}},
        {"250-first\r\nxx\r\n", "250", 250, {"first", ""}},
        {"abc-one\r\nABC two\r\n", "abc", 0, {"one", "two"}},
        // A NUL is a control character: trimmed off the code like a space.
        {std::string("+OK\0x\r\n", 7), "+OK", 0, {"x"}},
    };
    for (const auto& row : rows) {
        FakePop3Server server;
        server.Send(row.wire).Stall();
        server.Start();
        auto client = connectTo(server);
        client->ReadReply();
        EXPECT_EQ(client->LastCmdResult().TextCode(), row.textCode) << row.wire;
        EXPECT_EQ(client->LastCmdResult().NumericCode(), row.numericCode) << row.wire;
        EXPECT_EQ(client->LastCmdResult().Text(), row.text) << row.wire;
        client->Disconnect();
    }
}

TEST(ReadReply, CheckReplyAndSendCmd) {
    FakePop3Server server;
    server.Reply("HELO", "250 fine").Reply("BAD", "550 no such thing");
    server.Start();
    auto client = connectTo(server);
    EXPECT_EQ(client->SendCommand("HELO", {250}), 250);
    try {
        client->SendCommand("BAD", {250, 251});
        FAIL() << "no exception";
    } catch (const EIdProtocolReplyError& e) {
        EXPECT_EQ(e.ReplyErrorCode(), 550);
        EXPECT_STREQ(e.what(), "no such thing\r\n");
    }
    EXPECT_EQ(client->CheckReply(550, {}), 550);
    client->Disconnect();
    server.Join();
    EXPECT_EQ(server.Received(), (std::vector<std::string>{"HELO", "BAD"}));
}

TEST(ReadReply, EndlessContinuationIsBounded) {
    FakePop3Server server;
    std::string flood;
    for (int i = 0; i < 12000; ++i) {
        flood += "123-more\r\n";
    }
    server.Send(flood).Stall();
    server.Start();
    auto client = connectTo(server);
    EXPECT_THROW(client->ReadReply(), EIdException);
    client->Disconnect();
}

TEST(WriteText, ExactBytesOnTheWire) {
    FakePop3Server server;
    server.ExpectAny().ExpectAny().ExpectAny();
    server.Start();
    auto client = connectTo(server);
    client->WriteText("");
    client->WriteLine("USER joe");
    client->WriteText("PA");
    client->WriteText("SS x\r\n");
    client->WriteLine(std::string(100000, 'z'));
    client->Disconnect();
    server.Join();
    const auto received = server.Received();
    ASSERT_EQ(received.size(), 3u);
    EXPECT_EQ(received[0], "USER joe");
    EXPECT_EQ(received[1], "PASS x");
    EXPECT_EQ(received[2], std::string(100000, 'z'));
}

} // namespace
} // namespace qm
