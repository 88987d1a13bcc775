#pragma once

// The I/O handler a connection reads and writes through: it owns the socket, performs the
// connect, and carries an optional TLS session. Every wait polls the socket together with the
// connection's abort event, so another thread can end a blocked connect, read or write.

#include "pop3/IdSocketHandle.h"
#include "pop3/TlsSession.h"

#include <cstddef>
#include <memory>
#include <string>

namespace qm {

class TIdIOHandlerSocket {
public:
    // abortFd: an event descriptor that becomes readable when the owner is aborted.
    explicit TIdIOHandlerSocket(int abortFd);

    // Creates a fresh socket handle.
    void Open();
    // Allocates the socket and binds it. Throws EIdInvalidSocket, EIdCouldNotBindSocket.
    void PrepareSocket(const std::string& boundIP, int boundPort);
    // Connects to ip:port. timeoutMs 0 or -1: no limit, failures raise EIdSocketError; otherwise
    // EIdConnectTimeout after the limit and EIdConnectException with the socket error text for a
    // refused or failed connect. Throws EIdClosedSocket when aborted.
    void ConnectTo(const std::string& ip, int port, int timeoutMs);

    // TLS handshake with the peer, which must hold a certificate for `host`. Throws EIdTLSError,
    // EIdReadTimeout when the handshake takes longer than timeoutMs (negative: no limit).
    void StartTls(const std::string& host, int timeoutMs);
    bool TlsActive() const { return m_tls != nullptr; }

    // Outcome of one receive or send.
    struct IoResult {
        long bytes = 0; // > 0 transferred; 0 closed by the peer
        bool timedOut = false;
        int error = 0; // socket error number when the call failed
    };
    // Receives up to size bytes, waiting at most timeoutMs (negative: no limit).
    // Throws EIdTLSError for a broken TLS stream, EIdClosedSocket when aborted.
    IoResult Recv(char* buffer, std::size_t size, int timeoutMs);
    // Sends up to size bytes, waiting at most timeoutMs for room.
    IoResult Send(const char* data, std::size_t size, int timeoutMs);

    // Best-effort close_notify, half-close for sending, then close.
    void Close();
    bool Connected() const { return m_binding.HandleAllocated(); }
    TIdSocketHandle& Binding() { return m_binding; }

    // Waits until the socket is ready for events or the time passes (negative: no limit).
    // Returns false on time-out. Throws EIdClosedSocket when the abort event is set.
    bool Wait(short events, int timeoutMs);

private:
    // One receive or send, repeated until it moves bytes, the peer closes, it fails or the time
    // passes. tlsStep makes the call through the TLS session, plainStep on the bare socket.
    template <typename TlsStep, typename PlainStep>
    IoResult Transfer(short ownEvent, int timeoutMs, TlsStep tlsStep, PlainStep plainStep);

    int m_abortFd;
    TIdSocketHandle m_binding;
    std::unique_ptr<TlsSession> m_tls;
};

} // namespace qm
