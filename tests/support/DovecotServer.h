#pragma once

// A private Dovecot POP3 and IMAP server for integration tests, started on free loopback ports
// with its own configuration, certificates, users file and maildir in a temporary folder; no
// system configuration is read. IMAP has a Junk and a Trash folder, created on first use and marked
// \Junk and \Trash (SPECIAL-USE). Requires the Debian packages dovecot-pop3d and dovecot-imapd:
// without them the constructor throws, so a test that needs Dovecot fails instead of passing
// unnoticed.
//
//     qm::test::DovecotServer dovecot;          // started, ports open
//     dovecot.AddMessages(300);                 // generated messages in the maildir
//     qm::test::ScopedCaFile trust(dovecot.Pki().CaFile());
//     client.Host = "localhost"; client.Port = dovecot.Pop3Port();   // plain, and STLS
//     ... or dovecot.Pop3sPort() for TLS on connect
//     EXPECT_EQ(dovecot.MessagesOnDisk(), 300);
//     const int second = dovecot.AddUser();     // another mailbox: dovecot.UserName(second)
//
// Runs as root (the mail is owned by a system user "qmtestmail", created when missing) or as an
// ordinary user (the mail and the server run as that user). Stopped by its master PID.

#include "TestPki.h"

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

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
    std::uint16_t ImapPort() const { return m_imapPort; }   // plain, STARTTLS offered
    std::uint16_t ImapsPort() const { return m_imapsPort; } // TLS on connect
    const std::string& User() const { return m_mailboxes.front().user; }
    // Every user has this password.
    const std::string& Password() const { return m_password; }
    const TestPki& Pki() const { return *m_pki; }
    const std::string& Folder() const { return m_folder; }

    // Adds a user with an empty mailbox of its own ("qmtest2", "qmtest3", ...), e.g. for many
    // accounts checked at once (Dovecot limits the sessions of one user from one address).
    // Returns its number for the calls below; User() is number 0.
    int AddUser();
    int Users() const { return static_cast<int>(m_mailboxes.size()); }
    const std::string& UserName(int user) const { return m_mailboxes.at(static_cast<std::size_t>(user)).user; }

    // Puts one raw message (CR LF or LF lines) into the user's maildir; seen: marked read.
    void AddMessage(const std::string& raw, int user = 0, bool seen = false);
    // Adds count generated messages, numbered from 1 in their subjects ("Test message 1", ...).
    void AddMessages(int count, int user = 0);
    // Gives user `to` every message user `from` holds now, as hard links: quick for big mailboxes,
    // and safe, since the server renames and removes message files but never rewrites them.
    void CopyMessages(int from, int to);
    // Messages in the user's maildir now (new and cur), e.g. after DELE and QUIT; folder: an IMAP
    // folder other than INBOX ("Junk").
    int MessagesOnDisk(int user = 0, const std::string& folder = {}) const;
    // Their file names, "new/..." or "cur/..." with the maildir flags after ":2,", sorted.
    std::vector<std::string> MessageFiles(int user = 0, const std::string& folder = {}) const;
    // Ends the server with its sessions and starts it again on the same ports and mailboxes.
    void Restart();
    // Ends the server with its sessions; Restart brings it back.
    void Kill();
    // The server's log so far, for failure messages.
    std::string Log() const;

private:
    struct Mailbox {
        std::string user;
        std::string home;
        std::string maildir;
    };

    void Start();
    void Stop();
    void Launch();
    void CreateMailbox(const std::string& user);
    void WriteUsersFile() const;
    std::string NewMessageName(std::size_t size);

    Certificate m_certificate;
    std::string m_oauthIntrospectionUrl;
    std::string m_folder;
    std::vector<Mailbox> m_mailboxes;
    std::string m_password = "pop3-test-pass";
    std::unique_ptr<TestPki> m_pki;
    std::uint16_t m_pop3Port = 0;
    std::uint16_t m_pop3sPort = 0;
    std::uint16_t m_imapPort = 0;
    std::uint16_t m_imapsPort = 0;
    uid_t m_mailUid = 0;
    gid_t m_mailGid = 0;
    pid_t m_masterPid = -1;
    int m_messageSerial = 0;
};

} // namespace qm::test
