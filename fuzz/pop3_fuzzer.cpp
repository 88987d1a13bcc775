// The POP3 client against a server that sends hostile bytes: greeting, replies and multi-line
// answers come from the input, played over a loopback connection. The session either goes
// through or fails with one of the client's own exceptions, and never waits past its time-out.
#include "pop3/IdExceptions.h"
#include "pop3/IdMessage.h"
#include "pop3/IdPOP3.h"
#include "pop3/Sasl.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <thread>

namespace {

struct Listener {
    int fd = -1;
    int port = 0;
    Listener() {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(fd, 4) != 0 ||
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            __builtin_trap();
        }
        port = ntohs(address.sin_port);
    }
};

// Sends the script to one client, then ends the server's side and reads until the client closes.
void Serve(int listenFd, std::string_view script) {
    const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
        return;
    }
    timeval limit{2, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    while (!script.empty()) {
        const ssize_t n = ::send(fd, script.data(), script.size(), MSG_NOSIGNAL);
        if (n <= 0) {
            break;
        }
        script.remove_prefix(static_cast<std::size_t>(n));
    }
    ::shutdown(fd, SHUT_WR);
    char sink[4096];
    while (::recv(fd, sink, sizeof sink, 0) > 0) {
    }
    ::close(fd);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const Listener listener;
    if (size == 0) {
        return 0;
    }
    // First byte: APOP, RETR or TOP, how many messages to read, whether to delete them, SASL
    // PLAIN, and whether the fetches are pipelined.
    const unsigned flags = data[0];
    const std::string_view script(reinterpret_cast<const char*>(data + 1), size - 1);
    std::thread server(Serve, listener.fd, script);

    qm::TIdPOP3 client;
    client.Host = "127.0.0.1";
    client.Port = listener.port;
    client.Username = "user";
    client.Password = "secret";
    client.APOP = (flags & 1) != 0;
    client.Auth = (flags & 64) != 0 ? qm::TIdPOP3::kAuthPlain : qm::TIdPOP3::kAuthUserPass;
    // The OAuth2 error challenge is read before any TLS is involved: fed the script directly.
    (void)qm::OAuthErrorStatus(script);
    client.ReadTimeout = 2000;
    try {
        client.Connect(2000);
        const int count = client.MessageCount();
        const int reads = static_cast<int>((flags >> 2) & 7);
        const bool whole = (flags & 2) != 0;
        const bool deletes = (flags & 32) != 0;
        if ((flags & 128) != 0) {
            // Pipelined: every fetch sent ahead with its LIST, a DELE sent as soon as its
            // message is read and the LIST has named it.
            const int last = std::max(count - reads + 1, 1);
            for (int k = count; k >= last; --k) {
                client.QueueFetch(k, whole);
                client.QueueListing(k);
            }
            client.SendQueued();
            int deletions = 0;
            for (int k = count; k >= last; --k) {
                qm::TIdMessage message;
                const bool fetched = client.ReadFetchReply(message, whole);
                client.ReadListingReply(k, fetched);
                if (fetched && deletes) {
                    client.QueueDelete(k);
                    client.SendQueued();
                    ++deletions;
                }
            }
            while (deletions-- > 0) {
                (void)client.ReadDeleteReply();
            }
        } else {
            for (int k = count; k >= 1 && k > count - reads; --k) {
                qm::TIdMessage message;
                const bool fetched = whole ? client.FetchMessage(k, message) : client.FetchHeader(k, message);
                if (fetched && deletes) {
                    (void)client.DeleteMessage(k);
                }
            }
        }
    } catch (const qm::EIdException&) {
        // Refused, malformed or cut-off answers end the session with the client's own errors.
    }
    client.Disconnect();
    server.join();
    return 0;
}
