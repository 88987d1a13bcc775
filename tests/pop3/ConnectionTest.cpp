// The line connection against a real loopback peer: lines, replies, limits, closes, time-outs,
// connects that are refused or never answered, and the socket error texts.

#include "FakePop3Server.h"
#include "pop3/IdExceptions.h"
#include "pop3/IdStack.h"
#include "pop3/IdTCPClient.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <thread>
#include <vector>

namespace qm {
namespace {

using test::FakePop3Server;

// A loopback socket bound to a free port; listening only when asked.
class LoopbackSocket {
public:
    explicit LoopbackSocket(bool listening, int backlog = 0) {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        EXPECT_EQ(::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        EXPECT_EQ(::getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &len), 0);
        m_port = ntohs(addr.sin_port);
        if (listening) {
            EXPECT_EQ(::listen(m_fd, backlog), 0);
        }
    }
    ~LoopbackSocket() {
        for (int fd : m_fillers) {
            ::close(fd);
        }
        ::close(m_fd);
    }
    int Port() const { return m_port; }
    // Fills the accept queue, so further connection requests are dropped unanswered.
    void FillBacklog() {
        for (int i = 0; i < 8; ++i) {
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            sockaddr_in addr{};
            addr.sin_family = AF_INET;
            addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            addr.sin_port = htons(static_cast<std::uint16_t>(m_port));
            ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
            m_fillers.push_back(fd);
        }
    }

private:
    int m_fd = -1;
    int m_port = 0;
    std::vector<int> m_fillers;
};

std::unique_ptr<TIdTCPClient> connectTo(const FakePop3Server& server, int timeoutMs = 5000) {
    auto client = std::make_unique<TIdTCPClient>();
    client->Host = "127.0.0.1";
    client->Port = server.Port();
    client->ReadTimeout = 10000; // only a broken client would get there
    client->Connect(timeoutMs);
    return client;
}

// --- socket layer --------------------------------------------------------------------------

TEST(SocketErrorText, TableRows) {
    const struct {
        int number;
        const char* text;
    } rows[] = {
        {10004, "Interrupted system call."},
        {10035, "Operation would block. "},
        {10038, "Socket operation on non-socket."},
        {10053, "Software caused connection abort."},
        {10054, "Connection reset by peer."},
        {10058, "Cannot send or receive after socket is closed."},
        {10060, "Connection timed out."},
        {10061, "Connection refused."},
        {10065, "No route to host."},
        {10066, "Directory not empty"},
        {11001, "Host not found."},
        {11002, ""},
        {10000, ""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(TIdStack::SocketErrorText(row.number), row.text) << row.number;
    }
    EXPECT_EQ(TIdStack::SocketErrorMessage(10061), "Socket Error # 10061\r\nConnection refused.");
    EXPECT_EQ(TIdStack::SocketErrorMessage(12345), "Socket Error # 12345\r\n");
}

TEST(SocketErrorText, ErrnoMapsToSocketNumbers) {
    const struct {
        int err;
        int number;
    } rows[] = {
        {ECONNREFUSED, 10061}, {ECONNRESET, 10054}, {ETIMEDOUT, 10060},   {EHOSTUNREACH, 10065},
        {ENETUNREACH, 10051},  {EADDRINUSE, 10048}, {EPIPE, 10058},       {ECONNABORTED, 10053},
        {EBADF, 10009},        {ENOTSOCK, 10038},   {EINPROGRESS, 10036}, {EMFILE, 10024},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(TIdStack::TranslateErrno(row.err), row.number) << row.err;
    }
    try {
        TIdStack::RaiseErrno(ECONNREFUSED);
        FAIL() << "no exception";
    } catch (const EIdSocketError& e) {
        EXPECT_EQ(e.LastError(), 10061);
        EXPECT_STREQ(e.what(), "Socket Error # 10061\r\nConnection refused.");
    }
}

TEST(HostResolution, DottedAddressRule) {
    const struct {
        const char* host;
        bool dotted;
    } rows[] = {
        {"127.0.0.1", true},  {"0.0.0.0", true},     {"255.255.255.255", true}, {"010.1.1.1", true},
        {"256.1.1.1", false}, {"1.2.3", false},      {"1.2.3.4.5", false},      {"1..3.4", false},
        {"1.2.3.", false},    {"a.b.c.d", false},    {"1.2.3.-4", false},       {"", false},
        {" 1.2.3.4", false},  {"1.2.3.1000", false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(TIdStack::IsDottedAddress(row.host), row.dotted) << row.host;
    }
}

TEST(HostResolution, LocalhostInAnyCaseAndLookups) {
    TIdTCPClient keepStack;
    TIdStack* stack = TIdStack::Instance();
    ASSERT_NE(stack, nullptr);
    for (const char* host : {"LOCALHOST", "localhost", "LocalHost"}) {
        EXPECT_EQ(stack->ResolveHost(host), "127.0.0.1") << host;
    }
    EXPECT_EQ(stack->ResolveHost("10.1.2.3"), "10.1.2.3");
    // Not a dotted address, so it goes to the resolver, which finds no such name.
    for (const char* host : {"256.1.1.1", "no-such-host.invalid"}) {
        try {
            stack->ResolveHost(host);
            ADD_FAILURE() << host << " resolved";
        } catch (const EIdSocketError& e) {
            // 11001 where a resolver answers "no such name", 11002 where none can be reached.
            EXPECT_TRUE(e.LastError() == 11001 || e.LastError() == 11002) << host << " " << e.LastError();
            if (e.LastError() == 11001) {
                EXPECT_STREQ(e.what(), "Socket Error # 11001\r\nHost not found.");
            }
        }
    }
}

TEST(SocketStack, LivesWhileComponentsLive) {
    ASSERT_EQ(TIdComponent::InstanceCount(), 0);
    EXPECT_EQ(TIdStack::Instance(), nullptr);
    {
        TIdTCPClient a;
        EXPECT_NE(TIdStack::Instance(), nullptr);
        {
            TIdTCPClient b;
            EXPECT_EQ(TIdComponent::InstanceCount(), 2);
        }
        EXPECT_NE(TIdStack::Instance(), nullptr);
    }
    EXPECT_EQ(TIdStack::Instance(), nullptr);

    // Components made and freed on many threads at once leave the count balanced.
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([] {
            for (int i = 0; i < 200; ++i) {
                TIdTCPClient c;
                ASSERT_NE(TIdStack::Instance(), nullptr);
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    EXPECT_EQ(TIdComponent::InstanceCount(), 0);
    EXPECT_EQ(TIdStack::Instance(), nullptr);
}

// --- connect -------------------------------------------------------------------------------

TEST(Connect, RefusedWithinTimeLimitIsConnectException) {
    LoopbackSocket held(false); // bound, never listening: the connection is refused
    TIdTCPClient client;
    client.Host = "127.0.0.1";
    client.Port = held.Port();
    try {
        client.Connect(5000);
        FAIL() << "connected";
    } catch (const EIdConnectException& e) {
        EXPECT_STREQ(e.what(), "Socket Error # 10061\r\nConnection refused.");
    }
    EXPECT_FALSE(client.IsConnected());
}

TEST(Connect, RefusedWithoutTimeLimitIsSocketError) {
    LoopbackSocket held(false);
    for (int limit : {0, -1}) {
        TIdTCPClient client;
        client.Host = "localhost";
        client.Port = held.Port();
        try {
            client.Connect(limit);
            ADD_FAILURE() << "connected";
        } catch (const EIdSocketError& e) {
            EXPECT_EQ(e.LastError(), 10061);
            EXPECT_STREQ(e.what(), "Socket Error # 10061\r\nConnection refused.");
        }
    }
}

TEST(Connect, UnansweredConnectGivesUpAtTheLimit) {
    LoopbackSocket blackhole(true, 0);
    blackhole.FillBacklog();
    TIdTCPClient client;
    client.Host = "127.0.0.1";
    client.Port = blackhole.Port();
    try {
        client.Connect(300);
        FAIL() << "connected";
    } catch (const EIdConnectTimeout& e) {
        EXPECT_STREQ(e.what(), "Connect timed out.");
    }
    EXPECT_FALSE(client.IsConnected());
}

TEST(Connect, UnknownHostIsSocketError) {
    TIdTCPClient client;
    client.Host = "no-such-host.invalid";
    client.Port = 110;
    EXPECT_THROW(client.Connect(1000), EIdSocketError);
}

TEST(Connect, BindToBusyPortFails) {
    FakePop3Server server;
    LoopbackSocket busy(true, 4);
    TIdTCPClient client;
    client.Host = "127.0.0.1";
    client.Port = server.Port();
    client.BoundIP = "127.0.0.1";
    client.BoundPort = busy.Port();
    try {
        client.Connect(1000);
        FAIL() << "connected";
    } catch (const EIdCouldNotBindSocket& e) {
        EXPECT_STREQ(e.what(), "Could not bind socket. Address and port are already in use.");
    }
}

TEST(Connect, AlreadyConnectedAndReconnectAfterDisconnect) {
    FakePop3Server server;
    server.SendLine("first").Expect("one");
    server.Start();
    auto client = connectTo(server);
    EXPECT_THROW(client->Connect(1000), EIdAlreadyConnected);
    EXPECT_EQ(client->ReadLine(), "first");
    client->WriteLine("one");
    client->Disconnect();
    client->Disconnect(); // harmless when already closed
    EXPECT_FALSE(client->IsConnected());
    EXPECT_THROW(client->WriteLine("x"), EIdConnClosedGracefully);

    server.Join(1);
    client->Connect(1000); // the script runs again on the new connection
    EXPECT_EQ(client->ReadLine(), "first");
    client->WriteLine("one");
    client->Disconnect();
    server.Join(2);
    EXPECT_TRUE(server.Failures().empty());
}

TEST(Connect, PortOutOfRangeIsRefusedNotWrapped) {
    FakePop3Server server; // 65536 + its port would land on it if the number were cut to 16 bits
    server.Stall();
    server.Start();
    for (const int port : {65536 + server.Port(), -1}) {
        TIdTCPClient client;
        client.Host = "127.0.0.1";
        client.Port = port;
        try {
            client.Connect(1000);
            ADD_FAILURE() << port << " connected";
        } catch (const EIdSocketError& e) {
            EXPECT_EQ(e.LastError(), 10022) << port;
        }
    }
    server.Stop();
    EXPECT_EQ(server.Sessions(), 0);
}

TEST(Connect, NotConnectedBeforeConnect) {
    TIdTCPClient client;
    EXPECT_FALSE(client.IsConnected());
    EXPECT_THROW(client.ReadLine(), EIdConnClosedGracefully);
    client.Disconnect();
}

} // namespace
} // namespace qm
