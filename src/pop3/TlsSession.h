#pragma once

// The client side of one TLS session (OpenSSL) over a non-blocking socket. The peer certificate
// is verified against the default trust store (SSL_CERT_FILE / SSL_CERT_DIR honoured) and must
// name the host the user typed: a DNS name is checked as a name and sent as SNI, a dotted address
// is checked as an IP address.

#include <cstddef>
#include <string>

using SSL = struct ssl_st;
using SSL_CTX = struct ssl_ctx_st;

namespace qm {

class TlsSession {
public:
    enum class Result { Ok, WantRead, WantWrite, Closed, Error };

    // Throws EIdTLSError when OpenSSL cannot set the session up.
    TlsSession(int fd, const std::string& host);
    ~TlsSession();
    TlsSession(const TlsSession&) = delete;
    TlsSession& operator=(const TlsSession&) = delete;

    Result Handshake();
    Result Read(char* buffer, std::size_t size, std::size_t& received);
    Result Write(const char* data, std::size_t size, std::size_t& sent);
    // Sends close_notify once, without waiting for the peer's.
    void Shutdown();

    // "TLS: " and why the last Error happened, e.g.
    // "TLS: certificate verify failed: self-signed certificate".
    const std::string& ErrorText() const { return m_error; }

private:
    Result Map(int rc, const char* during);

    SSL_CTX* m_ctx = nullptr;
    SSL* m_ssl = nullptr;
    std::string m_error;
    bool m_failed = false;
};

} // namespace qm
