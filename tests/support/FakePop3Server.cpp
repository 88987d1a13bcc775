#include "FakePop3Server.h"
#include "FakePop3Session.h"

#include <algorithm>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>

namespace qm::test {

namespace {
// Join gives up after this long; only a broken test ever gets there.
constexpr auto kJoinGuard = std::chrono::seconds(60);
} // namespace

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
    if (::bind(m_listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(m_listenFd, SOMAXCONN) != 0 ||
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
    const bool scriptedCapa = std::any_of(m_script.begin(), m_script.end(), [](const Step& step) {
        return step.kind == Step::kExpect && step.text == "CAPA";
    });
    for (const Step& step : m_script) {
        switch (step.kind) {
        case Step::kSend:
            if (!session.Write(step.text)) {
                return; // the client went away; what it sent is recorded
            }
            break;
        case Step::kExpect:
        case Step::kExpectAny: {
            auto line = session.ReadLine();
            while (line && !scriptedCapa && AnswerCapa(session, *line, {})) {
                line = session.ReadLine();
            }
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
        if (m_mailboxMode || !AnswerCapa(session, *line, {})) {
            Record(*line);
        }
    }
}

bool FakePop3Server::AnswerCapa(Session& session, const std::string& line,
                                const std::vector<std::string>& capabilities) {
    if (line != "CAPA") {
        return false;
    }
    {
        std::lock_guard lock(m_mutex);
        ++m_capaRequests;
    }
    std::string answer = "-ERR unknown command\r\n";
    if (!capabilities.empty()) {
        answer = "+OK capability list follows\r\n";
        for (const std::string& capability : capabilities) {
            answer += capability + "\r\n";
        }
        answer += ".\r\n";
    }
    session.Write(answer);
    return true;
}

int FakePop3Server::CapaRequests() const {
    std::lock_guard lock(m_mutex);
    return m_capaRequests;
}

} // namespace qm::test
