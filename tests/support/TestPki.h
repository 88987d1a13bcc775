#pragma once

// Test certificates made with the OpenSSL API at fixture start: a certificate authority, a
// server certificate it signs for "localhost" and 127.0.0.1, one it signs for another name,
// and a self-signed certificate nobody trusts. All PEM files in one folder.

#include <string>

#include "FakePop3Server.h"

namespace qm::test {

class TestPki {
public:
    // Writes the files into `folder` (created when missing). Throws std::runtime_error on failure.
    explicit TestPki(const std::string& folder);

    const std::string& CaFile() const { return m_caFile; }
    TlsIdentity Server() const { return {m_serverCert, m_serverKey}; }  // localhost, 127.0.0.1
    TlsIdentity WrongHost() const { return {m_wrongCert, m_wrongKey}; } // mail.example.invalid
    TlsIdentity SelfSigned() const { return {m_selfCert, m_selfKey}; }  // localhost, untrusted

private:
    std::string m_caFile, m_serverCert, m_serverKey, m_wrongCert, m_wrongKey, m_selfCert, m_selfKey;
};

// Sets SSL_CERT_FILE for the life of the object (restoring the old value after), so that a client
// verifying against the default store trusts exactly the given file.
class ScopedCaFile {
public:
    explicit ScopedCaFile(const std::string& caFile);
    ~ScopedCaFile();
    ScopedCaFile(const ScopedCaFile&) = delete;
    ScopedCaFile& operator=(const ScopedCaFile&) = delete;

private:
    bool m_had = false;
    std::string m_old;
};

} // namespace qm::test
