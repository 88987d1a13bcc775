#include "pop3/TlsSession.h"

#include "pop3/IdExceptions.h"
#include "pop3/IdStack.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <cerrno>

namespace qm {

namespace {

std::string lastOpenSslReason() {
    const unsigned long code = ERR_peek_last_error();
    ERR_clear_error();
    if (code == 0) {
        return {};
    }
    const char* reason = ERR_reason_error_string(code);
    if (reason != nullptr) {
        return reason;
    }
    char buffer[256];
    ERR_error_string_n(code, buffer, sizeof buffer);
    return buffer;
}

} // namespace

TlsSession::TlsSession(int fd, const std::string& host) {
    m_ctx = SSL_CTX_new(TLS_client_method());
    if (m_ctx == nullptr) {
        throw EIdTLSError("TLS: cannot create the TLS context: " + lastOpenSslReason());
    }
    SSL_CTX_set_min_proto_version(m_ctx, TLS1_2_VERSION);
    // Reads SSL_CERT_FILE and SSL_CERT_DIR when set, the system store otherwise.
    if (SSL_CTX_set_default_verify_paths(m_ctx) != 1) {
        ERR_clear_error();
    }
    SSL_CTX_set_verify(m_ctx, SSL_VERIFY_PEER, nullptr);
    SSL_CTX_set_mode(m_ctx, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);

    m_ssl = SSL_new(m_ctx);
    if (m_ssl == nullptr || SSL_set_fd(m_ssl, fd) != 1) {
        throw EIdTLSError("TLS: cannot create the TLS session: " + lastOpenSslReason());
    }
    if (TIdStack::IsDottedAddress(host)) {
        if (X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(m_ssl), host.c_str()) != 1) {
            throw EIdTLSError("TLS: cannot check the address " + host);
        }
    } else {
        // SNI and the name check; an empty name would disable the check, so it is refused.
        if (host.empty() || SSL_set_tlsext_host_name(m_ssl, host.c_str()) != 1 ||
            SSL_set1_host(m_ssl, host.c_str()) != 1) {
            ERR_clear_error();
            throw EIdTLSError("TLS: cannot check the host name \"" + host + "\"");
        }
    }
    SSL_set_connect_state(m_ssl);
}

TlsSession::~TlsSession() {
    if (m_ssl != nullptr) {
        SSL_free(m_ssl);
    }
    if (m_ctx != nullptr) {
        SSL_CTX_free(m_ctx);
    }
}

TlsSession::Result TlsSession::Map(int rc, const char* during) {
    if (rc > 0) {
        return Result::Ok;
    }
    const int err = SSL_get_error(m_ssl, rc);
    switch (err) {
    case SSL_ERROR_WANT_READ:
        return Result::WantRead;
    case SSL_ERROR_WANT_WRITE:
        return Result::WantWrite;
    case SSL_ERROR_ZERO_RETURN:
        return Result::Closed;
    default:
        break;
    }
    m_failed = true;
    const long verify = SSL_get_verify_result(m_ssl);
    std::string reason = lastOpenSslReason();
    if (verify != X509_V_OK) {
        m_error = "TLS: certificate verify failed: " + std::string(X509_verify_cert_error_string(verify));
    } else if (!reason.empty()) {
        m_error = "TLS: " + reason;
    } else if (err == SSL_ERROR_SYSCALL && errno != 0) {
        m_error = "TLS: " + TIdStack::SocketErrorMessage(TIdStack::TranslateErrno(errno));
    } else {
        // A peer that closes in the middle of the TLS stream, without close_notify.
        m_error = std::string("TLS: the server closed the connection during ") + during;
    }
    return Result::Error;
}

TlsSession::Result TlsSession::Handshake() {
    ERR_clear_error();
    errno = 0;
    return Map(SSL_do_handshake(m_ssl), "the handshake");
}

TlsSession::Result TlsSession::Read(char* buffer, std::size_t size, std::size_t& received) {
    ERR_clear_error();
    errno = 0;
    received = 0;
    const Result r = Map(SSL_read_ex(m_ssl, buffer, size, &received), "a read");
    return r;
}

TlsSession::Result TlsSession::Write(const char* data, std::size_t size, std::size_t& sent) {
    ERR_clear_error();
    errno = 0;
    sent = 0;
    return Map(SSL_write_ex(m_ssl, data, size, &sent), "a write");
}

void TlsSession::Shutdown() {
    if (!m_failed) {
        ERR_clear_error();
        SSL_shutdown(m_ssl);
        ERR_clear_error();
    }
}

} // namespace qm
