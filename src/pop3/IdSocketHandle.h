#pragma once

// One IPv4 stream socket with its peer and local addresses. The socket is non-blocking: every
// wait is done by the I/O handler, which can be woken from another thread.

#include <string>

namespace qm {

class TIdSocketHandle {
public:
    TIdSocketHandle() = default;
    ~TIdSocketHandle();
    TIdSocketHandle(const TIdSocketHandle&) = delete;
    TIdSocketHandle& operator=(const TIdSocketHandle&) = delete;

    // Throws EIdInvalidSocket.
    void AllocateSocket();
    // Throws EIdCouldNotBindSocket. An empty ip means any local address, port 0 any port.
    void Bind(const std::string& ip, int port);
    void SetPeer(const std::string& ip, int port);
    // Starts the connect to the peer; returns 0 when done at once, else the errno value
    // (EINPROGRESS while the connect is under way).
    int BeginConnect();
    // The outcome of a finished connect: 0 or the errno value.
    int PendingError() const;
    void UpdateBindingLocal();
    void ShutdownSending();
    void CloseSocket();

    int Handle() const { return m_handle; }
    bool HandleAllocated() const { return m_handle >= 0; }
    const std::string& PeerIP() const { return m_peerIP; }
    int PeerPort() const { return m_peerPort; }
    const std::string& IP() const { return m_ip; }
    int Port() const { return m_port; }

private:
    int m_handle = -1;
    std::string m_peerIP;
    int m_peerPort = 0;
    std::string m_ip;
    int m_port = 0;
};

} // namespace qm
