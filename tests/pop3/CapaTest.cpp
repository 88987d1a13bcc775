// CAPA after the greeting and again after STLS, and what its answer and the login's response
// codes tell the session.

#include "FakePop3Server.h"
#include "ScriptedClientSupport.h"
#include "SuitePki.h"
#include "pop3/IdExceptions.h"
#include "pop3/IdPOP3.h"
#include "pop3/Pop3Capabilities.h"
#include "pop3/Pop3UniqueIds.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace qm {
namespace {

using test::FakePop3Server;
using Lines = std::vector<std::string>;

TEST(Capabilities, ParsedFromTheListAndTheReplyText) {
    struct Row {
        Lines lines;
        bool pipelining;
        int loginDelay; // -1: none
    };
    for (const Row& row : std::vector<Row>{{{"TOP", "USER", "PIPELINING"}, true, -1},
                                           {{"pipelining", "LOGIN-DELAY 900"}, true, 900},
                                           {{"LOGIN-DELAY 300 USER"}, false, 300},
                                           {{"LOGIN-DELAY soon", "PIPELINING-NOT"}, false, -1},
                                           {{"LOGIN-DELAY -5", "  PIPELINING  "}, true, -1},
                                           {{"LOGIN-DELAY 2147483647"}, false, 86400},
                                           {{"LOGIN-DELAY 99999999999"}, false, 86400}}) {
        const Pop3Capabilities caps = ParseCapabilities(row.lines);
        EXPECT_TRUE(caps.announced);
        EXPECT_EQ(caps.pipelining, row.pipelining) << row.lines.front();
        EXPECT_EQ(caps.loginDelaySeconds.value_or(-1), row.loginDelay) << row.lines.front();
    }
    EXPECT_TRUE(ParseCapabilities({"TOP", "uidl"}).uidl);
    EXPECT_FALSE(ParseCapabilities({"UIDL-NOT", "USER"}).uidl);
    EXPECT_EQ(ResponseCode("[LOGIN-DELAY] wait"), "LOGIN-DELAY");
    EXPECT_EQ(ResponseCode(" [sys/temp] try later"), "SYS/TEMP");
    EXPECT_EQ(ResponseCode("wrong password [AUTH]"), "");
    EXPECT_EQ(ResponseCode("[IN-USE"), "");
}

class Capa : public test::SuitePkiTest {};

// What was announced in plain text is forgotten after STLS; only the second answer counts.
TEST(UniqueIds, ListingNamesEachMessageOnceOrNone) {
    struct Row {
        Lines lines;
        int count;
        std::optional<Lines> ids;
    };
    const std::string longest(70, '~');
    for (const Row& row : std::vector<Row>{
             {{"1 abc", "2 x-y.z"}, 2, Lines{"abc", "x-y.z"}},
             {{"2 b"}, 3, Lines{"", "b", ""}}, // a message the listing leaves out has no id
             {{"1 " + longest}, 1, Lines{longest}},
             {{"1 " + longest + "~"}, 1, std::nullopt},
             {{"1 a", "1 b"}, 2, std::nullopt},
             {{"1 a", "2 a"}, 2, std::nullopt},
             {{"3 a"}, 2, std::nullopt},
             {{"0 a"}, 2, std::nullopt},
             {{"1 a b"}, 1, std::nullopt},
             {{"1"}, 1, std::nullopt},
             {{"+1 a"}, 1, std::nullopt},
             {{"1 a", "2 b"}, 1, std::nullopt},
         }) {
        EXPECT_EQ(ParseUniqueIds(row.lines, row.count), row.ids) << row.lines.front();
    }
}

TEST_F(Capa, AskedAfterTheGreetingAndAgainAfterStls) {
    for (const bool secondAnnounces : {false, true}) {
        FakePop3Server server;
        server.SetTls(Pki().Server());
        server.SendLine("+OK ready")
            .Expect("CAPA")
            .Send("+OK\r\nPIPELINING\r\nLOGIN-DELAY 60\r\nSTLS\r\n.\r\n")
            .Reply("STLS", "+OK begin TLS")
            .StartTls()
            .Expect("CAPA")
            .Send(secondAnnounces ? "+OK\r\nPIPELINING\r\n.\r\n" : "-ERR not now\r\n")
            .Reply("USER joe", "+OK")
            .Reply("PASS secret", "+OK")
            .Expect("QUIT");
        server.Start();
        auto client = test::clientFor(server);
        client->Host = "localhost";
        client->Security = TIdPOP3::kSecuritySTLS;
        client->Connect(5000);
        EXPECT_EQ(client->Capabilities().announced, secondAnnounces);
        EXPECT_EQ(client->Capabilities().pipelining, secondAnnounces);
        EXPECT_FALSE(client->Capabilities().loginDelaySeconds);
        client->Disconnect();
        server.Join();
        EXPECT_EQ(server.Received(), (Lines{"CAPA", "STLS", "CAPA", "USER joe", "PASS secret", "QUIT"}));
        EXPECT_EQ(server.Failures(), Lines{});
    }
}

// No answer within the read time-out: no capabilities, and the login goes on as without CAPA.
TEST(CapaWire, SilenceMeansNoCapabilities) {
    FakePop3Server server;
    server.SendLine("+OK ready").Expect("CAPA").Reply("USER joe", "+OK").Reply("PASS secret", "+OK").Expect("QUIT");
    server.Start();
    auto client = test::clientFor(server);
    client->ReadTimeout = 300;
    client->Connect(5000);
    EXPECT_FALSE(client->Capabilities().announced);
    client->Disconnect();
    server.Join();
    EXPECT_EQ(server.Received(), (Lines{"CAPA", "USER joe", "PASS secret", "QUIT"}));
}

TEST(CapaWire, EndlessListEndsTheConnect) {
    std::string list = "+OK\r\n";
    for (int i = 0; i < 100000; ++i) {
        list += "X-CAPABILITY-" + std::to_string(i) + "\r\n";
    }
    FakePop3Server server;
    server.SendLine("+OK ready").Expect("CAPA").Send(list + ".\r\n").Stall();
    server.Start();
    auto client = test::clientFor(server);
    try {
        client->Connect(5000);
        ADD_FAILURE() << "connected";
    } catch (const EIdException& e) {
        EXPECT_EQ(std::string(e.what()), "The server's capability list is longer than 1000 lines.");
    }
    EXPECT_FALSE(client->IsConnected());
}

// Only [LOGIN-DELAY] marks the login as refused for coming too soon; every code keeps its text.
TEST(CapaWire, LoginRefusalsKeepTheServersText) {
    for (const std::string reply : {"-ERR [LOGIN-DELAY] wait 5 minutes", "-ERR [IN-USE] mailbox locked",
                                    "-ERR [SYS/TEMP] try later", "-ERR [AUTH] wrong password"}) {
        FakePop3Server server;
        server.SendLine("+OK ready").Reply("USER joe", "+OK").Reply("PASS secret", reply).Expect("QUIT");
        server.Start();
        auto client = test::clientFor(server);
        try {
            client->Connect(5000);
            ADD_FAILURE() << "connected";
        } catch (const EIdProtocolReplyError& e) {
            EXPECT_EQ(std::string(e.what()), reply.substr(4) + "\r\n");
        }
        EXPECT_EQ(client->LoginDelayed(), reply.find("LOGIN-DELAY") != std::string::npos) << reply;
        server.Join();
    }
}

} // namespace
} // namespace qm
