#include "pop3/IdIOHandlerSocket.h"

#include "pop3/IdExceptions.h"
#include "pop3/IdStack.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>

namespace qm {

namespace {

using Clock = std::chrono::steady_clock;

// Milliseconds left until deadline, for a wait that started with timeoutMs (negative: none).
int remainingMs(int timeoutMs, Clock::time_point start) {
    if (timeoutMs < 0) {
        return -1;
    }
    const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    return spent >= timeoutMs ? 0 : static_cast<int>(timeoutMs - spent);
}

} // namespace

TIdIOHandlerSocket::TIdIOHandlerSocket(int abortFd) : m_abortFd(abortFd) {}

void TIdIOHandlerSocket::Open() {
    m_tls.reset();
    m_binding.CloseSocket();
}

bool TIdIOHandlerSocket::Wait(short events, int timeoutMs) {
    const auto start = Clock::now();
    for (;;) {
        pollfd fds[2] = {{m_binding.Handle(), events, 0}, {m_abortFd, POLLIN, 0}};
        const int rc = ::poll(fds, 2, remainingMs(timeoutMs, start));
        if (rc < 0 && errno == EINTR) {
            continue;
        }
        if (rc < 0) {
            TIdStack::RaiseErrno(errno);
        }
        if ((fds[1].revents & POLLIN) != 0) {
            throw EIdClosedSocket();
        }
        if (rc == 0) {
            return false;
        }
        // Errors and hang-ups count as ready: the next call reports them.
        return true;
    }
}

void TIdIOHandlerSocket::PrepareSocket(const std::string& boundIP, int boundPort) {
    m_binding.AllocateSocket();
    m_binding.Bind(boundIP, boundPort);
}

void TIdIOHandlerSocket::ConnectTo(const std::string& ip, int port, int timeoutMs) {
    const bool timed = timeoutMs != 0 && timeoutMs != -1;
    m_binding.SetPeer(ip, port);
    int error = m_binding.BeginConnect();
    if (error == EINPROGRESS) {
        if (!Wait(POLLOUT, timed ? timeoutMs : -1)) {
            throw EIdConnectTimeout();
        }
        error = m_binding.PendingError();
    }
    if (error != 0) {
        const int number = TIdStack::TranslateErrno(error);
        if (timed) {
            throw EIdConnectException(TIdStack::SocketErrorMessage(number));
        }
        TIdStack::RaiseErrno(error);
    }
    m_binding.UpdateBindingLocal();
}

void TIdIOHandlerSocket::StartTls(const std::string& host, int timeoutMs) {
    m_tls = std::make_unique<TlsSession>(m_binding.Handle(), host);
    const auto start = Clock::now();
    for (;;) {
        switch (m_tls->Handshake()) {
        case TlsSession::Result::Ok:
            return;
        case TlsSession::Result::WantRead:
            if (!Wait(POLLIN, remainingMs(timeoutMs, start))) {
                throw EIdReadTimeout();
            }
            break;
        case TlsSession::Result::WantWrite:
            if (!Wait(POLLOUT, remainingMs(timeoutMs, start))) {
                throw EIdReadTimeout();
            }
            break;
        case TlsSession::Result::Closed:
            throw EIdTLSError("TLS: the server closed the connection during the handshake");
        case TlsSession::Result::Error:
            throw EIdTLSError(m_tls->ErrorText());
        }
    }
}

// The TLS layer may need the other direction first (a renegotiation or a pending record), so
// its wants decide what to wait for; a plain socket waits for its own direction.
template <typename TlsStep, typename PlainStep>
TIdIOHandlerSocket::IoResult TIdIOHandlerSocket::Transfer(short ownEvent, int timeoutMs, TlsStep tlsStep,
                                                          PlainStep plainStep) {
    const auto start = Clock::now();
    IoResult result;
    for (;;) {
        short waitFor = ownEvent;
        if (m_tls) {
            std::size_t n = 0;
            switch (tlsStep(n)) {
            case TlsSession::Result::Ok:
                result.bytes = static_cast<long>(n);
                return result;
            case TlsSession::Result::Closed:
                return result;
            case TlsSession::Result::WantRead:
                waitFor = POLLIN;
                break;
            case TlsSession::Result::WantWrite:
                waitFor = POLLOUT;
                break;
            case TlsSession::Result::Error:
                throw EIdTLSError(m_tls->ErrorText());
            }
        } else {
            const ssize_t n = plainStep();
            if (n >= 0) {
                result.bytes = n;
                return result;
            }
            if (errno == EINTR) {
                continue;
            }
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                result.error = TIdStack::TranslateErrno(errno);
                return result;
            }
        }
        if (!Wait(waitFor, remainingMs(timeoutMs, start))) {
            result.timedOut = true;
            return result;
        }
    }
}

TIdIOHandlerSocket::IoResult TIdIOHandlerSocket::Recv(char* buffer, std::size_t size, int timeoutMs) {
    return Transfer(
        POLLIN, timeoutMs, [&](std::size_t& n) { return m_tls->Read(buffer, size, n); },
        [&] { return ::recv(m_binding.Handle(), buffer, size, 0); });
}

TIdIOHandlerSocket::IoResult TIdIOHandlerSocket::Send(const char* data, std::size_t size, int timeoutMs) {
    return Transfer(
        POLLOUT, timeoutMs, [&](std::size_t& n) { return m_tls->Write(data, size, n); },
        [&] { return ::send(m_binding.Handle(), data, size, MSG_NOSIGNAL); });
}

void TIdIOHandlerSocket::Close() {
    if (m_tls && m_binding.HandleAllocated()) {
        m_tls->Shutdown();
    }
    m_tls.reset();
    m_binding.ShutdownSending();
    m_binding.CloseSocket();
}

} // namespace qm
