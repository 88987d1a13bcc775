#include "pop3/IdSocketHandle.h"

#include "pop3/IdExceptions.h"
#include "pop3/IdStack.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace qm {

TIdSocketHandle::~TIdSocketHandle() {
    CloseSocket();
}

void TIdSocketHandle::AllocateSocket() {
    CloseSocket();
    m_handle = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_handle < 0) {
        m_handle = -1;
        throw EIdInvalidSocket();
    }
}

void TIdSocketHandle::Bind(const std::string& ip, int port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    if (ip.empty()) {
        addr.sin_addr.s_addr = htonl(INADDR_ANY);
    } else if (TIdStack::IsDottedAddress(ip)) {
        addr.sin_addr.s_addr = TIdStack::ToInAddr(ip);
    } else {
        throw EIdCouldNotBindSocket();
    }
    if (::bind(m_handle, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        throw EIdCouldNotBindSocket();
    }
}

void TIdSocketHandle::SetPeer(const std::string& ip, int port) {
    m_peerIP = ip;
    m_peerPort = port;
}

int TIdSocketHandle::BeginConnect() {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(m_peerPort));
    addr.sin_addr.s_addr = TIdStack::ToInAddr(m_peerIP);
    for (;;) {
        if (::connect(m_handle, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
            return 0;
        }
        if (errno != EINTR) {
            return errno;
        }
    }
}

int TIdSocketHandle::PendingError() const {
    int error = 0;
    socklen_t len = sizeof error;
    if (::getsockopt(m_handle, SOL_SOCKET, SO_ERROR, &error, &len) != 0) {
        return errno;
    }
    return error;
}

void TIdSocketHandle::UpdateBindingLocal() {
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    if (::getsockname(m_handle, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
        m_ip = TIdStack::FromInAddr(addr.sin_addr.s_addr);
        m_port = ntohs(addr.sin_port);
    }
}

void TIdSocketHandle::ShutdownSending() {
    if (m_handle >= 0) {
        ::shutdown(m_handle, SHUT_WR);
    }
}

void TIdSocketHandle::CloseSocket() {
    if (m_handle >= 0) {
        ::close(m_handle);
        m_handle = -1;
    }
}

} // namespace qm
