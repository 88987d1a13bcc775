#include "IntrospectionServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace qm::test {

namespace {

// A request head larger than this is not an introspection request.
constexpr std::size_t kMaxRequest = 64 * 1024;
constexpr int kReadGuardMs = 10000;

std::string headerValue(const std::string& head, const std::string& name) {
    std::size_t at = 0;
    while ((at = head.find("\r\n", at)) != std::string::npos) {
        at += 2;
        if (head.compare(at, name.size(), name) == 0 && head.size() > at + name.size() &&
            head[at + name.size()] == ':') {
            std::size_t begin = at + name.size() + 1;
            while (begin < head.size() && head[begin] == ' ') {
                ++begin;
            }
            return head.substr(begin, head.find("\r\n", begin) - begin);
        }
    }
    return std::string();
}

} // namespace

IntrospectionServer::IntrospectionServer(std::string goodToken, std::string user)
    : m_goodToken(std::move(goodToken)), m_user(std::move(user)) {
    m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (m_listenFd < 0 || ::bind(m_listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(m_listenFd, 16) != 0 || ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        throw std::runtime_error("introspection server: cannot listen on loopback");
    }
    m_port = ntohs(addr.sin_port);
    m_thread = std::thread([this] { Run(); });
}

IntrospectionServer::~IntrospectionServer() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    ::shutdown(m_listenFd, SHUT_RDWR);
    m_thread.join();
    ::close(m_listenFd);
}

std::string IntrospectionServer::Url() const {
    return "http://127.0.0.1:" + std::to_string(m_port) + "/introspect";
}

std::vector<std::string> IntrospectionServer::TokensSeen() const {
    const std::lock_guard lock(m_mutex);
    return m_tokens;
}

void IntrospectionServer::Run() {
    for (;;) {
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        {
            const std::lock_guard lock(m_mutex);
            if (m_stopping) {
                if (fd >= 0) {
                    ::close(fd);
                }
                return;
            }
        }
        if (fd < 0) {
            continue;
        }
        Answer(fd);
        ::close(fd);
    }
}

void IntrospectionServer::Answer(int fd) {
    std::string head;
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < kMaxRequest) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, kReadGuardMs) <= 0) {
            return;
        }
        char chunk[4096];
        const long n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0) {
            return;
        }
        head.append(chunk, static_cast<std::size_t>(n));
    }
    const std::string authorization = headerValue(head, "Authorization");
    const std::string bearer = "Bearer ";
    const std::string token = authorization.rfind(bearer, 0) == 0 ? authorization.substr(bearer.size()) : "";
    {
        const std::lock_guard lock(m_mutex);
        m_tokens.push_back(token);
    }
    const std::string body = token == m_goodToken && !token.empty()
                                 ? "{\"active\":\"true\",\"username\":\"" + m_user + "\"}"
                                 : "{\"active\":\"false\"}";
    const std::string response =
        "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
        "\r\nConnection: close\r\n\r\n" + body;
    ::send(fd, response.data(), response.size(), MSG_NOSIGNAL);
}

} // namespace qm::test
