#include "HttpResponder.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace qm::test {

namespace {

constexpr std::size_t kMaxRequest = 16 * 1024;

} // namespace

HttpResponder::HttpResponder() {
    m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    m_stopFd = ::eventfd(0, EFD_CLOEXEC);
    if (m_listenFd < 0 || m_stopFd < 0) {
        throw std::runtime_error("http responder: socket");
    }
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (::bind(m_listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(m_listenFd, 16) != 0 ||
        ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        throw std::runtime_error("http responder: bind/listen");
    }
    m_port = ntohs(addr.sin_port);
}

HttpResponder::~HttpResponder() {
    Stop();
    ::close(m_listenFd);
    ::close(m_stopFd);
}

std::string HttpResponder::Address() const {
    return "127.0.0.1:" + std::to_string(m_port);
}

void HttpResponder::Answer(std::string response, bool keepOpen) {
    m_mode = Mode::Answer;
    m_response = std::move(response);
    m_keepOpen = keepOpen;
}

void HttpResponder::AnswerEach(std::function<std::string(const std::string& request)> respond) {
    m_mode = Mode::Answer;
    m_respond = std::move(respond);
    m_keepOpen = false;
}

void HttpResponder::Silent() {
    m_mode = Mode::Silent;
}

void HttpResponder::Endless(std::string head, std::string repeated) {
    m_mode = Mode::Endless;
    m_response = std::move(head);
    m_repeated = std::move(repeated);
}

void HttpResponder::Start() {
    m_thread = std::thread([this] { Run(); });
}

void HttpResponder::Stop() {
    if (!m_stopping.exchange(true)) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = ::write(m_stopFd, &one, sizeof one);
    }
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

std::vector<std::string> HttpResponder::Requests() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

int HttpResponder::Connections() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_requests.size());
}

void HttpResponder::Run() {
    for (;;) {
        pollfd fds[2] = {{m_listenFd, POLLIN, 0}, {m_stopFd, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 || (fds[1].revents & POLLIN) != 0) {
            return;
        }
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_requests.emplace_back();
        }
        Serve(fd);
        ::close(fd);
    }
}

void HttpResponder::Serve(int fd) {
    // Waits for the client or for Stop; false when the responder should leave the connection.
    auto wait = [&](short events) {
        pollfd fds[2] = {{fd, events, 0}, {m_stopFd, POLLIN, 0}};
        return ::poll(fds, 2, -1) > 0 && (fds[1].revents & POLLIN) == 0;
    };
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < kMaxRequest) {
        if (!wait(POLLIN)) {
            return;
        }
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
            return;
        }
        request.append(buffer, static_cast<std::size_t>(n));
        std::lock_guard<std::mutex> lock(m_mutex);
        m_requests.back() = request;
    }
    if (m_mode != Mode::Silent && !SendAll(fd, m_respond ? m_respond(request) : m_response)) {
        return;
    }
    if (m_mode == Mode::Endless) {
        while (SendAll(fd, m_repeated)) {
        }
        return;
    }
    if (m_mode == Mode::Answer && !m_keepOpen) {
        ::shutdown(fd, SHUT_WR);
    }
    // Until the client leaves: whatever it still sends is dropped.
    while (wait(POLLIN) && ::recv(fd, buffer, sizeof buffer, 0) > 0) {
    }
}

bool HttpResponder::SendAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        pollfd fds[2] = {{fd, POLLOUT, 0}, {m_stopFd, POLLIN, 0}};
        if (::poll(fds, 2, -1) <= 0 || (fds[1].revents & POLLIN) != 0) {
            return false;
        }
        const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Plays an OAuth2 token introspection endpoint for Dovecot ("introspection_mode = auth"): the
// good token names the user as active, any other token as inactive.
void ServeIntrospection(HttpResponder& http, const std::string& goodToken, const std::string& user) {
    http.AnswerEach([goodToken, user](const std::string& request) {
        const bool good = request.find("\r\nAuthorization: Bearer " + goodToken + "\r\n") != std::string::npos;
        const std::string body =
            good ? "{\"active\":\"true\",\"username\":\"" + user + "\"}" : "{\"active\":\"false\"}";
        return "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
               "\r\nConnection: close\r\n\r\n" + body;
    });
    http.Start();
}

} // namespace qm::test
