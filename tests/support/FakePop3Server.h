#pragma once

// A scriptable POP3 server on a real loopback socket, run in a thread of the test process.
//
// Script mode: the test lists what the server sends and which client lines it expects, in order.
//
//     qm::test::FakePop3Server server;
//     server.SendLine("+OK ready")
//         .Reply("USER joe", "+OK")
//         .Reply("PASS secret", "+OK")
//         .Reply("STAT", "+OK 0 0")
//         .Expect("QUIT");
//     server.Start();
//     ... connect a client to 127.0.0.1:server.Port() and run the session ...
//     server.Join();                     // waits until the client has closed
//     EXPECT_EQ(server.Received(), (std::vector<std::string>{"USER joe", "PASS secret", "STAT", "QUIT"}));
//     EXPECT_TRUE(server.Failures().empty());
//
// CAPA is answered "-ERR" and left out of Received() (CapaRequests() counts it), so a script
// written for a client that does not ask reads the same; a script that Expects "CAPA" itself
// answers it as it likes, and then CAPA is recorded like any other line.
//
// Every line the client sends is recorded (without CR LF), also after the script has ended: when
// the script runs out, the server keeps reading and recording silently until the client closes.
// A client line that differs from an Expect is recorded, noted in Failures() and closes the
// connection at once, so a wrong wire sequence never passes unnoticed.
//
// Mailbox mode (ServeMailbox) answers USER, PASS, STAT, LIST n, TOP, RETR, DELE, NOOP, RSET, STLS and QUIT
// from a list of messages, for tests that care about the session's decisions more than about a
// fixed script. Deletions take effect on QUIT, as on a real server (Deleted()).
//
// The server accepts connections one after another; each runs the script (or the mailbox) anew.
// Stop() (also run by the destructor) ends everything at once, also a session that stalls.

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <variant>
#include <vector>

namespace qm::test {

// Server certificate and key (PEM files) used for TLS.
struct TlsIdentity {
    std::string certFile;
    std::string keyFile;
};

// A mailbox for ServeMailbox. Messages are whole raw messages (header, empty line, body) with
// lines ending in CR LF or LF; the server dot-stuffs them on the wire.
struct FakeMailbox {
    std::string greeting = "+OK fake POP3 server ready";
    std::string user = "user";
    std::string password = "secret";
    std::vector<std::string> messages;
    // A client line listed here is answered with the given raw line (CR LF added) instead of the
    // normal answer, e.g. {"TOP 2 0", "-ERR no such message"}.
    std::map<std::string, std::string> overrides;
    // A client line after which the connection is closed without an answer (empty: none).
    std::string closeOn;
    // The answer to CAPA, one capability a line (e.g. "PIPELINING"); empty: CAPA is refused.
    std::vector<std::string> capabilities;
    // The unique-id of each message, for UIDL; empty: UIDL is refused.
    std::vector<std::string> uids;
};

// Lines of 16,000 bytes after `prefix`, each ending in CR LF, together past one mebibyte: more
// than any reply but a message may take.
inline std::string MegabyteOfLines(const std::string& prefix = "") {
    std::string lines;
    while (lines.size() <= (1u << 20)) {
        lines += prefix + std::string(16000, 'x') + "\r\n";
    }
    return lines;
}

class FakePop3Server {
public:
    FakePop3Server();
    ~FakePop3Server();
    FakePop3Server(const FakePop3Server&) = delete;
    FakePop3Server& operator=(const FakePop3Server&) = delete;

    std::uint16_t Port() const { return m_port; }

    // --- script steps (added before Start) ---
    FakePop3Server& Send(std::string bytes);    // raw bytes exactly as given
    FakePop3Server& SendLine(std::string line); // line + CR LF
    FakePop3Server& Expect(std::string line);   // read one client line; it must equal `line`
    FakePop3Server& ExpectAny();                // read and record one client line, whatever it is
    FakePop3Server& Reply(std::string expected, std::string replyLine); // Expect + SendLine
    FakePop3Server& Stall();                 // end of script: send nothing, keep the line open
    FakePop3Server& Close();                 // close the connection now
    FakePop3Server& StartTls();              // TLS handshake as server (needs SetTls)
    FakePop3Server& Pause(int milliseconds); // wait before the next step (a slow server)

    // TLS identity for StartTls and for implicit TLS.
    void SetTls(TlsIdentity identity);
    // Every accepted connection begins with a TLS handshake (POP3S).
    void SetImplicitTls(bool on) { m_implicitTls = on; }

    // Mailbox mode instead of a script.
    void ServeMailbox(FakeMailbox mailbox);
    // Mailbox mode: a message arrives, for the sessions that begin after this.
    void Deliver(std::string message, std::string uid);

    void Start();
    // Waits until `sessions` connections have ended (the client closed, or the script closed the
    // connection). Gives up after a generous guard time, noting a failure, so a test never hangs.
    void Join(int sessions = 1);
    // Ends everything now: closes the listening socket and any open connection, joins the thread.
    void Stop();

    std::vector<std::string> Received() const; // every client line, in order, over all sessions
    std::vector<std::string> Failures() const; // script mismatches and server-side errors
    std::set<int> Deleted() const;             // mailbox mode: message numbers removed by QUIT
    // CAPA commands answered without the script (see above).
    int CapaRequests() const;
    // Connections accepted so far.
    int Sessions() const;
    // The server name (SNI) the client asked for in each TLS handshake; "" when it sent none.
    std::vector<std::string> TlsServerNames() const;

    struct Step {
        enum Kind { kSend, kExpect, kExpectAny, kStall, kClose, kStartTls, kPause } kind;
        std::string text;
    };

private:
    class Session;
    void Run();
    void RunScript(Session& session);
    void RunMailbox(Session& session);
    void DrainRest(Session& session);
    void Record(const std::string& line);
    // Answers a CAPA the script leaves to the server; false for any other line.
    bool AnswerCapa(Session& session, const std::string& line, const std::vector<std::string>& capabilities);
    void Fail(const std::string& what);

    int m_listenFd = -1;
    std::uint16_t m_port = 0;
    std::vector<Step> m_script;
    bool m_mailboxMode = false;
    FakeMailbox m_mailbox;
    bool m_implicitTls = false;
    TlsIdentity m_tls;
    std::thread m_thread;

    mutable std::mutex m_mutex;
    bool m_stopping = false;
    int m_sessionFd = -1;
    int m_sessions = 0;
    int m_sessionsDone = 0;
    std::vector<std::string> m_received;
    int m_capaRequests = 0;
    std::vector<std::string> m_failures;
    std::set<int> m_deleted;
    std::vector<std::string> m_tlsServerNames;
};

} // namespace qm::test
