#include "FakePop3Server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <sstream>
#include <stdexcept>

namespace qm::test {

namespace {
// A client line longer than this ends the session; the server's memory stays bounded.
constexpr std::size_t kMaxClientLine = 1 << 20;
// Join gives up after this long; only a broken test ever gets there.
constexpr auto kJoinGuard = std::chrono::seconds(60);
} // namespace

// One accepted connection, plain or TLS, with a line reader.
class FakePop3Server::Session {
public:
    Session(FakePop3Server& server, int fd) : m_server(server), m_fd(fd) {}
    ~Session() {
        if (m_ssl != nullptr) {
            SSL_free(m_ssl);
        }
        if (m_ctx != nullptr) {
            SSL_CTX_free(m_ctx);
        }
    }

    bool StartTls(const TlsIdentity& identity, std::string& error) {
        m_ctx = SSL_CTX_new(TLS_server_method());
        if (m_ctx == nullptr || SSL_CTX_use_certificate_chain_file(m_ctx, identity.certFile.c_str()) != 1 ||
            SSL_CTX_use_PrivateKey_file(m_ctx, identity.keyFile.c_str(), SSL_FILETYPE_PEM) != 1) {
            error = "server TLS setup failed (certificate files)";
            return false;
        }
        m_ssl = SSL_new(m_ctx);
        SSL_set_fd(m_ssl, m_fd);
        if (SSL_accept(m_ssl) != 1) {
            error = "server TLS handshake failed";
            ERR_clear_error();
            return false;
        }
        const char* name = SSL_get_servername(m_ssl, TLSEXT_NAMETYPE_host_name);
        std::lock_guard lock(m_server.m_mutex);
        m_server.m_tlsServerNames.push_back(name != nullptr ? name : "");
        return true;
    }

    bool Write(const std::string& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            long n;
            if (m_ssl != nullptr) {
                n = SSL_write(m_ssl, bytes.data() + done, static_cast<int>(bytes.size() - done));
            } else {
                n = ::send(m_fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            }
            if (n <= 0) {
                ERR_clear_error();
                return false;
            }
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    // One line without CR LF; nothing when the client closed or the line grew too long.
    std::optional<std::string> ReadLine() {
        for (;;) {
            const auto lf = m_buffer.find('\n');
            if (lf != std::string::npos) {
                std::string line = m_buffer.substr(0, lf);
                m_buffer.erase(0, lf + 1);
                if (!line.empty() && line.back() == '\r') {
                    line.pop_back();
                }
                return line;
            }
            if (m_buffer.size() > kMaxClientLine) {
                return std::nullopt;
            }
            char chunk[4096];
            long n;
            if (m_ssl != nullptr) {
                n = SSL_read(m_ssl, chunk, sizeof chunk);
            } else {
                n = ::recv(m_fd, chunk, sizeof chunk, 0);
            }
            if (n <= 0) {
                ERR_clear_error();
                return std::nullopt;
            }
            m_buffer.append(chunk, static_cast<std::size_t>(n));
        }
    }

private:
    FakePop3Server& m_server;
    int m_fd;
    SSL_CTX* m_ctx = nullptr;
    SSL* m_ssl = nullptr;
    std::string m_buffer;
};

FakePop3Server::FakePop3Server() {
    m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listenFd < 0) {
        throw std::runtime_error("fake server: socket");
    }
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    if (::bind(m_listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(m_listenFd, 16) != 0 ||
        ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        ::close(m_listenFd);
        throw std::runtime_error("fake server: bind/listen");
    }
    m_port = ntohs(addr.sin_port);
}

FakePop3Server::~FakePop3Server() {
    Stop();
    ::close(m_listenFd);
}

FakePop3Server& FakePop3Server::Send(std::string bytes) {
    m_script.push_back({Step::kSend, std::move(bytes)});
    return *this;
}
FakePop3Server& FakePop3Server::SendLine(std::string line) {
    return Send(line + "\r\n");
}
FakePop3Server& FakePop3Server::Expect(std::string line) {
    m_script.push_back({Step::kExpect, std::move(line)});
    return *this;
}
FakePop3Server& FakePop3Server::ExpectAny() {
    m_script.push_back({Step::kExpectAny, {}});
    return *this;
}
FakePop3Server& FakePop3Server::Reply(std::string expected, std::string replyLine) {
    Expect(std::move(expected));
    return SendLine(std::move(replyLine));
}
FakePop3Server& FakePop3Server::Stall() {
    m_script.push_back({Step::kStall, {}});
    return *this;
}
FakePop3Server& FakePop3Server::Close() {
    m_script.push_back({Step::kClose, {}});
    return *this;
}
FakePop3Server& FakePop3Server::StartTls() {
    m_script.push_back({Step::kStartTls, {}});
    return *this;
}
FakePop3Server& FakePop3Server::Pause(int milliseconds) {
    m_script.push_back({Step::kPause, std::to_string(milliseconds)});
    return *this;
}
void FakePop3Server::SetTls(TlsIdentity identity) {
    m_tls = std::move(identity);
}
void FakePop3Server::ServeMailbox(FakeMailbox mailbox) {
    m_mailboxMode = true;
    m_mailbox = std::move(mailbox);
}

void FakePop3Server::Start() {
    m_thread = std::thread([this] { Run(); });
}

void FakePop3Server::Join(int sessions) {
    const auto until = std::chrono::steady_clock::now() + kJoinGuard;
    for (;;) {
        {
            std::lock_guard lock(m_mutex);
            if (m_sessionsDone >= sessions || m_stopping) {
                return;
            }
        }
        if (std::chrono::steady_clock::now() > until) {
            Fail("Join: the sessions did not end");
            Stop();
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void FakePop3Server::Stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        // shutdown() wakes a thread blocked in accept() or recv() on these sockets.
        ::shutdown(m_listenFd, SHUT_RDWR);
        if (m_sessionFd >= 0) {
            ::shutdown(m_sessionFd, SHUT_RDWR);
        }
    }
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

std::vector<std::string> FakePop3Server::Received() const {
    std::lock_guard lock(m_mutex);
    return m_received;
}
std::vector<std::string> FakePop3Server::Failures() const {
    std::lock_guard lock(m_mutex);
    return m_failures;
}
std::set<int> FakePop3Server::Deleted() const {
    std::lock_guard lock(m_mutex);
    return m_deleted;
}
std::vector<std::string> FakePop3Server::TlsServerNames() const {
    std::lock_guard lock(m_mutex);
    return m_tlsServerNames;
}
int FakePop3Server::Sessions() const {
    std::lock_guard lock(m_mutex);
    return m_sessions;
}

void FakePop3Server::Record(const std::string& line) {
    std::lock_guard lock(m_mutex);
    m_received.push_back(line);
}
void FakePop3Server::Fail(const std::string& what) {
    std::lock_guard lock(m_mutex);
    m_failures.push_back(what);
}

void FakePop3Server::Run() {
    for (;;) {
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            return; // Stop() shut the listening socket down
        }
        {
            std::lock_guard lock(m_mutex);
            if (m_stopping) {
                ::close(fd);
                return;
            }
            m_sessionFd = fd;
            ++m_sessions;
        }
        {
            Session session(*this, fd);
            std::string error;
            if (m_implicitTls && !session.StartTls(m_tls, error)) {
                Fail(error);
            } else if (m_mailboxMode) {
                RunMailbox(session);
            } else {
                RunScript(session);
            }
        }
        std::lock_guard lock(m_mutex);
        m_sessionFd = -1;
        ::close(fd);
        ++m_sessionsDone;
    }
}

void FakePop3Server::RunScript(Session& session) {
    for (const Step& step : m_script) {
        switch (step.kind) {
        case Step::kSend:
            if (!session.Write(step.text)) {
                return; // the client went away; what it sent is recorded
            }
            break;
        case Step::kExpect:
        case Step::kExpectAny: {
            const auto line = session.ReadLine();
            if (!line) {
                if (step.kind == Step::kExpect) {
                    Fail("expected \"" + step.text + "\", the client closed");
                }
                return;
            }
            Record(*line);
            if (step.kind == Step::kExpect && *line != step.text) {
                Fail("expected \"" + step.text + "\", got \"" + *line + "\"");
                return;
            }
            break;
        }
        case Step::kStall:
            DrainRest(session);
            return;
        case Step::kClose:
            return;
        case Step::kPause:
            std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(step.text)));
            break;
        case Step::kStartTls: {
            std::string error;
            if (!session.StartTls(m_tls, error)) {
                Fail(error);
                return;
            }
            break;
        }
        }
    }
    DrainRest(session);
}

void FakePop3Server::DrainRest(Session& session) {
    while (const auto line = session.ReadLine()) {
        Record(*line);
    }
}

namespace {

// Splits a raw message into lines without their terminators.
std::vector<std::string> messageLines(const std::string& raw) {
    std::vector<std::string> lines;
    std::istringstream in(raw);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
}

std::string dotStuff(const std::string& line) {
    return (!line.empty() && line[0] == '.') ? "." + line : line;
}

} // namespace

void FakePop3Server::RunMailbox(Session& session) {
    const FakeMailbox& mb = m_mailbox;
    std::set<int> marked;
    bool userGiven = false;
    bool loggedIn = false;
    if (!session.Write(mb.greeting + "\r\n")) {
        return;
    }
    const auto count = static_cast<int>(mb.messages.size());
    auto valid = [&](int n) { return n >= 1 && n <= count && marked.count(n) == 0; };
    while (const auto line = session.ReadLine()) {
        Record(*line);
        const std::string& cmd = *line;
        if (auto it = mb.overrides.find(cmd); it != mb.overrides.end()) {
            if (!session.Write(it->second + "\r\n")) {
                return;
            }
            continue;
        }
        std::istringstream words(cmd);
        std::string verb;
        words >> verb;
        for (auto& c : verb) {
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        int n = 0;
        std::string reply;
        if (verb == "QUIT") {
            if (loggedIn) {
                std::lock_guard lock(m_mutex);
                m_deleted.insert(marked.begin(), marked.end());
            }
            session.Write("+OK bye\r\n");
            return;
        } else if (verb == "STLS" && !m_tls.certFile.empty() && !loggedIn) {
            std::string error;
            if (!session.Write("+OK begin TLS\r\n") || !session.StartTls(m_tls, error)) {
                Fail(error.empty() ? "STLS: client went away" : error);
                return;
            }
            continue;
        } else if (verb == "USER" && !loggedIn) {
            userGiven = cmd.size() > 5 && cmd.substr(5) == mb.user;
            reply = "+OK";
        } else if (verb == "PASS" && !loggedIn) {
            loggedIn = userGiven && cmd.size() > 5 && cmd.substr(5) == mb.password;
            reply = loggedIn ? "+OK logged in" : "-ERR authentication failed";
        } else if (!loggedIn) {
            reply = "-ERR log in first";
        } else if (verb == "NOOP") {
            reply = "+OK";
        } else if (verb == "RSET") {
            marked.clear();
            reply = "+OK";
        } else if (verb == "STAT") {
            std::size_t octets = 0;
            int left = 0;
            for (int i = 1; i <= count; ++i) {
                if (valid(i)) {
                    ++left;
                    octets += mb.messages[static_cast<std::size_t>(i - 1)].size();
                }
            }
            reply = "+OK " + std::to_string(left) + " " + std::to_string(octets);
        } else if (verb == "DELE" && (words >> n) && valid(n)) {
            marked.insert(n);
            reply = "+OK message deleted";
        } else if ((verb == "RETR" || verb == "TOP") && (words >> n) && valid(n)) {
            int bodyLines = -1;
            if (verb == "TOP" && !(words >> bodyLines)) {
                reply = "-ERR syntax";
            } else {
                std::string out = "+OK message follows\r\n";
                bool inBody = false;
                int sent = 0;
                for (const auto& l : messageLines(mb.messages[static_cast<std::size_t>(n - 1)])) {
                    if (inBody && bodyLines >= 0 && sent++ >= bodyLines) {
                        break;
                    }
                    if (!inBody && l.empty()) {
                        inBody = true;
                    }
                    out += dotStuff(l) + "\r\n";
                }
                out += ".\r\n";
                if (!session.Write(out)) {
                    return;
                }
                continue;
            }
        } else {
            reply = "-ERR unknown command or no such message";
        }
        if (!session.Write(reply + "\r\n")) {
            return;
        }
    }
}

} // namespace qm::test
