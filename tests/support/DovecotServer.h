#pragma once

// A private Dovecot POP3 server for integration tests, started on free loopback ports with its
// own configuration, certificates, users file and maildir in a temporary folder; no system
// configuration is read. Requires the Debian package dovecot-pop3d: without it the constructor
// throws, so a test that needs Dovecot fails instead of passing unnoticed.
//
//     qm::test::DovecotServer dovecot;          // started, ports open
//     dovecot.AddMessages(300);                 // generated messages in the maildir
//     qm::test::ScopedCaFile trust(dovecot.Pki().CaFile());
//     client.Host = "localhost"; client.Port = dovecot.Pop3Port();   // plain, and STLS
//     ... or dovecot.Pop3sPort() for TLS on connect
//     EXPECT_EQ(dovecot.MessagesOnDisk(), 300);
//
// Runs as root (the mail is owned by a system user "qmtestmail", created when missing) or as an
// ordinary user (the mail and the server run as that user). Stopped by its master PID.

#include "TestPki.h"

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>

namespace qm::test {

class DovecotServer {
public:
    // The certificate the server presents on its TLS listeners.
    enum class Certificate {
        Trusted,    // signed by the test authority for localhost and 127.0.0.1
        WrongHost,  // signed by the test authority for another name
        SelfSigned, // for localhost, trusted by nobody
    };

    // Throws std::runtime_error with the server's log when it cannot start. With an introspection
    // URL the server also offers XOAUTH2 and OAUTHBEARER and checks their tokens there (GET with
    // the token as "Authorization: Bearer").
    explicit DovecotServer(Certificate certificate = Certificate::Trusted, std::string oauthIntrospectionUrl = {});
    ~DovecotServer();
    DovecotServer(const DovecotServer&) = delete;
    DovecotServer& operator=(const DovecotServer&) = delete;

    std::uint16_t Pop3Port() const { return m_pop3Port; }   // plain, STLS offered
    std::uint16_t Pop3sPort() const { return m_pop3sPort; } // TLS on connect
    const std::string& User() const { return m_user; }
    const std::string& Password() const { return m_password; }
    const TestPki& Pki() const { return *m_pki; }
    const std::string& Folder() const { return m_folder; }

    // Puts one raw message (CR LF or LF lines) into the maildir.
    void AddMessage(const std::string& raw);
    // Adds count generated messages, numbered from 1 in their subjects ("Test message 1", ...).
    void AddMessages(int count);
    // Messages in the maildir now (new and cur), e.g. after DELE and QUIT.
    int MessagesOnDisk() const;
    // The server's log so far, for failure messages.
    std::string Log() const;

private:
    void Start();
    void Stop();

    Certificate m_certificate;
    std::string m_oauthIntrospectionUrl;
    std::string m_folder;
    std::string m_maildir;
    std::string m_user = "qmtest";
    std::string m_password = "pop3-test-pass";
    std::unique_ptr<TestPki> m_pki;
    std::uint16_t m_pop3Port = 0;
    std::uint16_t m_pop3sPort = 0;
    uid_t m_mailUid = 0;
    gid_t m_mailGid = 0;
    pid_t m_masterPid = -1;
    int m_messageSerial = 0;
};

} // namespace qm::test
