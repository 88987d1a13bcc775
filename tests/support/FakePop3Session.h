#pragma once

// One accepted connection of the fake POP3 server, plain or TLS, with a line reader.
// Internal to the fake server's sources.

#include "FakePop3Server.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <sys/socket.h>

#include <cstddef>
#include <optional>
#include <string>

namespace qm::test {

// A client line longer than this ends the session; the server's memory stays bounded.
constexpr std::size_t kMaxClientLine = 1 << 20;

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

} // namespace qm::test
