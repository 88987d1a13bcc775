#include "DovecotServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace fs = std::filesystem;

namespace qm::test {

namespace {

constexpr const char* kDovecot = "/usr/sbin/dovecot";
constexpr const char* kDovecotImap = "/usr/lib/dovecot/imap";
constexpr const char* kMailUser = "qmtestmail";
// Start-up and shut-down guards; a healthy server needs a fraction of a second.
constexpr auto kStartGuard = std::chrono::seconds(30);
constexpr auto kStopGuard = std::chrono::seconds(10);

std::uint16_t freeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        throw std::runtime_error("Dovecot fixture: no free port");
    }
    ::close(fd);
    return ntohs(addr.sin_port);
}

bool accepts(std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    return ok;
}

// Runs a program and waits for it; returns its exit status (-1 when it could not run).
int run(const std::vector<std::string>& argv, const std::string& logFile) {
    const pid_t pid = ::fork();
    if (pid < 0) {
        return -1;
    }
    if (pid == 0) {
        const int log = ::open(logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (log >= 0) {
            ::dup2(log, 1);
            ::dup2(log, 2);
        }
        std::vector<char*> args;
        for (const auto& a : argv) {
            args.push_back(const_cast<char*>(a.c_str()));
        }
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out) {
        throw std::runtime_error("Dovecot fixture: cannot write " + path);
    }
}

// A process that has exited but is not reaped yet (a zombie) counts as gone.
bool alive(pid_t pid) {
    if (pid <= 0 || (::kill(pid, 0) != 0 && errno != EPERM)) {
        return false;
    }
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const auto close = line.rfind(')');
    return close == std::string::npos || close + 2 >= line.size() || line[close + 2] != 'Z';
}

} // namespace

DovecotServer::DovecotServer(Certificate certificate, std::string oauthIntrospectionUrl)
    : m_certificate(certificate), m_oauthIntrospectionUrl(std::move(oauthIntrospectionUrl)) {
    if (::access(kDovecot, X_OK) != 0 || ::access(kDovecotImap, X_OK) != 0) {
        throw std::runtime_error(
            "Dovecot is not installed (Debian packages dovecot-pop3d, dovecot-imapd): the test cannot run");
    }
    char pattern[] = "/tmp/qm-dovecot-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        throw std::runtime_error("Dovecot fixture: mkdtemp failed");
    }
    m_folder = pattern;
    try {
        Start();
    } catch (...) {
        Stop();
        throw;
    }
}

DovecotServer::~DovecotServer() {
    Stop();
}

void DovecotServer::Start() {
    // Dovecot's helper processes run as other users and must reach their files.
    ::chmod(m_folder.c_str(), 0755);
    m_pki = std::make_unique<TestPki>(m_folder + "/pki");
    for (const auto& entry : fs::directory_iterator(m_folder + "/pki")) {
        ::chmod(entry.path().c_str(), 0644);
    }

    std::string mailUser;
    if (::geteuid() == 0) {
        // Dovecot will not serve mail as root: the mail belongs to a system user.
        if (::getpwnam(kMailUser) == nullptr &&
            run({"/usr/sbin/useradd", "--system", "--no-create-home", "--shell", "/usr/sbin/nologin", kMailUser},
                m_folder + "/useradd.log") != 0) {
            throw std::runtime_error("Dovecot fixture: cannot create the system user " + std::string(kMailUser));
        }
        const passwd* pw = ::getpwnam(kMailUser);
        if (pw == nullptr) {
            throw std::runtime_error("Dovecot fixture: no user " + std::string(kMailUser));
        }
        m_mailUid = pw->pw_uid;
        m_mailGid = pw->pw_gid;
    } else {
        m_mailUid = ::geteuid();
        m_mailGid = ::getegid();
        const passwd* pw = ::getpwuid(m_mailUid);
        mailUser = pw != nullptr ? pw->pw_name : "";
    }

    CreateMailbox("qmtest");

    // Four distinct ports: a port the kernel hands out twice in a row would clash.
    std::vector<std::uint16_t> ports;
    while (ports.size() < 4) {
        const std::uint16_t port = freeLoopbackPort();
        if (std::find(ports.begin(), ports.end(), port) == ports.end()) {
            ports.push_back(port);
        }
    }
    m_pop3sPort = ports[1];
    m_imapPort = ports[2];
    m_imapsPort = ports[3];
    m_pop3Port = ports[0];
    const std::string& f = m_folder;
    const TlsIdentity identity = m_certificate == Certificate::Trusted     ? m_pki->Server()
                                 : m_certificate == Certificate::WrongHost ? m_pki->WrongHost()
                                                                           : m_pki->SelfSigned();
    std::ostringstream conf;
    conf << "base_dir = " << f << "/run\n"
         << "state_dir = " << f << "/state\n"
         << "log_path = " << f << "/dovecot.log\n"
         << "info_log_path = " << f << "/dovecot.log\n"
         << "protocols = pop3 imap\n"
         << "listen = 127.0.0.1\n"
         << "ssl = yes\n"
         << "ssl_cert = <" << identity.certFile << "\n"
         << "ssl_key = <" << identity.keyFile << "\n"
         << "disable_plaintext_auth = no\n"
         << "auth_mechanisms = plain" << (m_oauthIntrospectionUrl.empty() ? "" : " xoauth2 oauthbearer") << "\n"
         << "auth_failure_delay = 0 secs\n"
         << "first_valid_uid = " << m_mailUid << "\n"
         << "first_valid_gid = " << m_mailGid << "\n"
         << "mail_location = maildir:~/Maildir\n"
         << "pop3_uidl_format = %08Xu%08Xv\n"
         // The junk and trash folders a spam action needs, announced with SPECIAL-USE.
         << "namespace inbox {\n  inbox = yes\n"
         << "  mailbox Junk {\n    special_use = \\Junk\n    auto = create\n  }\n"
         << "  mailbox Trash {\n    special_use = \\Trash\n    auto = create\n  }\n}\n";
    if (!mailUser.empty()) {
        conf << "default_internal_user = " << mailUser << "\n"
             << "default_login_user = " << mailUser << "\n";
    }
    // With OAuth2 on, each passdb answers only its own mechanisms: a token is never tried as a password.
    conf << "passdb {\n  driver = passwd-file\n"
         << (m_oauthIntrospectionUrl.empty() ? "" : "  mechanisms = plain login\n")
         << "  args = scheme=PLAIN username_format=%u " << f << "/users\n}\n";
    if (!m_oauthIntrospectionUrl.empty()) {
        writeFile(f + "/oauth2.conf", "introspection_mode = auth\nintrospection_url = " + m_oauthIntrospectionUrl +
                                          "\nusername_attribute = username\nactive_attribute = active\n"
                                          "active_value = true\n");
        ::chmod((f + "/oauth2.conf").c_str(), 0644);
        conf << "passdb {\n  driver = oauth2\n  mechanisms = xoauth2 oauthbearer\n  args = " << f
             << "/oauth2.conf\n}\n";
    }
    conf << "userdb {\n  driver = passwd-file\n  args = username_format=%u " << f << "/users\n}\n"
         << "service pop3-login {\n"
         << "  inet_listener pop3 {\n    address = 127.0.0.1\n    port = " << m_pop3Port << "\n  }\n"
         << "  inet_listener pop3s {\n    address = 127.0.0.1\n    port = " << m_pop3sPort << "\n    ssl = yes\n  }\n"
         << "  service_count = 0\n}\n"
         << "service imap-login {\n"
         << "  inet_listener imap {\n    address = 127.0.0.1\n    port = " << m_imapPort << "\n  }\n"
         << "  inet_listener imaps {\n    address = 127.0.0.1\n    port = " << m_imapsPort << "\n    ssl = yes\n  }\n"
         << "  service_count = 0\n}\n"
         << "service anvil {\n  unix_listener anvil-auth-penalty {\n    mode = 0\n  }\n}\n";
    writeFile(f + "/dovecot.conf", conf.str());
    Launch();
}

void DovecotServer::Launch() {
    const std::string& f = m_folder;
    if (run({kDovecot, "-c", f + "/dovecot.conf"}, f + "/dovecot.log") != 0) {
        throw std::runtime_error("Dovecot did not start:\n" + Log());
    }
    const auto until = std::chrono::steady_clock::now() + kStartGuard;
    for (;;) {
        std::ifstream pidFile(f + "/run/master.pid");
        if (m_masterPid <= 0 && pidFile >> m_masterPid) {
            // the master is up; wait for its listeners
        }
        if (m_masterPid > 0 && accepts(m_pop3Port) && accepts(m_pop3sPort) && accepts(m_imapPort) &&
            accepts(m_imapsPort)) {
            return;
        }
        if (std::chrono::steady_clock::now() > until) {
            throw std::runtime_error("Dovecot did not open its ports:\n" + Log());
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void DovecotServer::Restart() {
    Kill();
    Launch();
}

void DovecotServer::Stop() {
    Kill();
    if (!m_folder.empty() && std::getenv("QM_KEEP_DOVECOT") == nullptr) {
        std::error_code ignored;
        fs::remove_all(m_folder, ignored);
    }
}

void DovecotServer::Kill() {
    if (m_masterPid > 0) {
        // Its mail processes outlive the master for as long as their clients stay: they go too.
        std::vector<pid_t> children;
        for (const auto& entry : fs::directory_iterator("/proc")) {
            std::ifstream stat(entry.path() / "stat");
            std::string line;
            std::getline(stat, line);
            const auto close = line.rfind(')');
            std::istringstream rest(close == std::string::npos ? std::string() : line.substr(close + 2));
            std::string state;
            pid_t parent = 0;
            if (rest >> state >> parent && parent == m_masterPid) {
                children.push_back(static_cast<pid_t>(std::atoi(entry.path().filename().c_str())));
            }
        }
        ::kill(m_masterPid, SIGTERM);
        for (const pid_t child : children) {
            ::kill(child, SIGKILL);
        }
        const auto until = std::chrono::steady_clock::now() + kStopGuard;
        while (alive(m_masterPid) && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (alive(m_masterPid)) {
            ::kill(m_masterPid, SIGKILL);
        }
        m_masterPid = -1;
        std::error_code ignored;
        fs::remove(m_folder + "/run/master.pid", ignored); // a restart reads the new one
    }
}

void DovecotServer::CreateMailbox(const std::string& user) {
    Mailbox mailbox;
    mailbox.user = user;
    mailbox.home = m_folder + "/home" + (m_mailboxes.empty() ? "" : "-" + user);
    mailbox.maildir = mailbox.home + "/Maildir";
    for (const char* sub : {"", "/new", "/cur", "/tmp"}) {
        fs::create_directories(mailbox.maildir + sub);
    }
    for (const std::string& dir : {mailbox.home, mailbox.maildir, mailbox.maildir + "/new", mailbox.maildir + "/cur",
                                   mailbox.maildir + "/tmp"}) {
        ::chmod(dir.c_str(), 0700);
        if (::chown(dir.c_str(), m_mailUid, m_mailGid) != 0 && ::geteuid() == 0) {
            throw std::runtime_error("Dovecot fixture: chown " + dir);
        }
    }
    m_mailboxes.push_back(std::move(mailbox));
    WriteUsersFile();
}

void DovecotServer::WriteUsersFile() const {
    std::string users;
    for (const Mailbox& mailbox : m_mailboxes) {
        users += mailbox.user + ":{PLAIN}" + m_password + ":" + std::to_string(m_mailUid) + ":" +
                 std::to_string(m_mailGid) + "::" + mailbox.home + "::\n";
    }
    // Renamed into place: the running server rereads the file and never sees half of it.
    const std::string temp = m_folder + "/users.new";
    writeFile(temp, users);
    ::chmod(temp.c_str(), 0644);
    fs::rename(temp, m_folder + "/users");
}

int DovecotServer::AddUser() {
    CreateMailbox("qmtest" + std::to_string(m_mailboxes.size() + 1));
    return Users() - 1;
}

void DovecotServer::AddMessage(const std::string& raw, int user, bool seen) {
    const std::string& maildir = m_mailboxes.at(static_cast<std::size_t>(user)).maildir;
    const std::string name = NewMessageName(raw.size());
    const std::string temp = maildir + "/tmp/" + name;
    writeFile(temp, raw);
    if (::chown(temp.c_str(), m_mailUid, m_mailGid) != 0 && ::geteuid() == 0) {
        throw std::runtime_error("Dovecot fixture: chown " + temp);
    }
    // A message already read sits in cur with the S flag in its name (maildir info "2,S").
    fs::rename(temp, seen ? maildir + "/cur/" + name + ":2,S" : maildir + "/new/" + name);
}

std::string DovecotServer::NewMessageName(std::size_t size) {
    ++m_messageSerial;
    return "1700000000.M" + std::to_string(m_messageSerial) + "P" + std::to_string(::getpid()) +
           ".qmtest,S=" + std::to_string(size);
}

void DovecotServer::CopyMessages(int from, int to) {
    const std::string& source = m_mailboxes.at(static_cast<std::size_t>(from)).maildir;
    const std::string& target = m_mailboxes.at(static_cast<std::size_t>(to)).maildir;
    for (const char* sub : {"/new", "/cur"}) {
        for (const auto& entry : fs::directory_iterator(source + sub)) {
            if (entry.is_regular_file()) {
                fs::create_hard_link(entry.path(), target + "/new/" + NewMessageName(entry.file_size()));
            }
        }
    }
}

void DovecotServer::AddMessages(int count, int user) {
    const std::string& to = UserName(user);
    for (int i = 1; i <= count; ++i) {
        const std::string n = std::to_string(i);
        AddMessage("From: Sender " + n + " <sender" + n + "@example.com>\r\n" + "To: " + to + "@localhost\r\n" +
                       "Subject: Test message " + n + "\r\n" + "Date: Mon, 6 Nov 2023 10:00:00 +0000\r\n" +
                       "Message-ID: <" + n + "@qmtest>\r\n\r\n" + "Body of message " + n + "\r\n.leading dot\r\n",
                   user);
    }
}

int DovecotServer::MessagesOnDisk(int user, const std::string& folder) const {
    return static_cast<int>(MessageFiles(user, folder).size());
}

std::vector<std::string> DovecotServer::MessageFiles(int user, const std::string& folder) const {
    // Maildir++: a folder other than INBOX is the subfolder "." + its name.
    const std::string maildir =
        m_mailboxes.at(static_cast<std::size_t>(user)).maildir + (folder.empty() ? "" : "/." + folder);
    std::vector<std::string> names;
    for (const char* sub : {"/new", "/cur"}) {
        std::error_code missing;
        for (const auto& entry : fs::directory_iterator(maildir + sub, missing)) {
            if (entry.is_regular_file()) {
                names.push_back(std::string(sub + 1) + "/" + entry.path().filename().string());
            }
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string DovecotServer::Log() const {
    std::ifstream in(m_folder + "/dovecot.log");
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

} // namespace qm::test
