// The mailbox mode of the fake server: answers from a list of messages instead of a script.

#include "FakePop3Server.h"
#include "FakePop3Session.h"

#include <cctype>
#include <sstream>

namespace qm::test {

namespace {

// Splits a raw message into lines without their terminators.
std::vector<std::string> messageLines(const std::string& raw) {
    std::vector<std::string> lines;
    std::istringstream in(raw);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
}

std::string dotStuff(const std::string& line) {
    return (!line.empty() && line[0] == '.') ? "." + line : line;
}

} // namespace

void FakePop3Server::RunMailbox(Session& session) {
    const FakeMailbox mb = [this] {
        std::lock_guard lock(m_mutex);
        return m_mailbox;
    }();
    std::set<int> marked;
    bool userGiven = false;
    bool loggedIn = false;
    if (!session.Write(mb.greeting + "\r\n")) {
        return;
    }
    const auto count = static_cast<int>(mb.messages.size());
    auto valid = [&](int n) { return n >= 1 && n <= count && marked.count(n) == 0; };
    while (const auto line = session.ReadLine()) {
        if (mb.overrides.count(*line) == 0 && AnswerCapa(session, *line, mb.capabilities)) {
            continue;
        }
        Record(*line);
        const std::string& cmd = *line;
        if (!mb.closeOn.empty() && cmd == mb.closeOn) {
            return;
        }
        if (auto it = mb.overrides.find(cmd); it != mb.overrides.end()) {
            if (!session.Write(it->second + "\r\n")) {
                return;
            }
            continue;
        }
        std::istringstream words(cmd);
        std::string verb;
        words >> verb;
        for (auto& c : verb) {
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        int n = 0;
        std::string reply;
        if (verb == "QUIT") {
            if (loggedIn) {
                std::lock_guard lock(m_mutex);
                m_deleted.insert(marked.begin(), marked.end());
            }
            session.Write("+OK bye\r\n");
            return;
        } else if (verb == "STLS" && !m_tls.certFile.empty() && !loggedIn) {
            std::string error;
            if (!session.Write("+OK begin TLS\r\n") || !session.StartTls(m_tls, error)) {
                Fail(error.empty() ? "STLS: client went away" : error);
                return;
            }
            continue;
        } else if (verb == "USER" && !loggedIn) {
            userGiven = cmd.size() > 5 && cmd.substr(5) == mb.user;
            reply = "+OK";
        } else if (verb == "PASS" && !loggedIn) {
            loggedIn = userGiven && cmd.size() > 5 && cmd.substr(5) == mb.password;
            reply = loggedIn ? "+OK logged in" : "-ERR authentication failed";
        } else if (!loggedIn) {
            reply = "-ERR log in first";
        } else if (verb == "NOOP") {
            reply = "+OK";
        } else if (verb == "RSET") {
            marked.clear();
            reply = "+OK";
        } else if (verb == "STAT") {
            std::size_t octets = 0;
            int left = 0;
            for (int i = 1; i <= count; ++i) {
                if (valid(i)) {
                    ++left;
                    octets += mb.messages[static_cast<std::size_t>(i - 1)].size();
                }
            }
            reply = "+OK " + std::to_string(left) + " " + std::to_string(octets);
        } else if (verb == "UIDL" && !mb.uids.empty()) {
            std::string out = "+OK\r\n";
            for (int i = 1; i <= count; ++i) {
                out += valid(i) ? std::to_string(i) + " " + mb.uids[static_cast<std::size_t>(i - 1)] + "\r\n" : "";
            }
            if (!session.Write(out + ".\r\n")) {
                return;
            }
            continue;
        } else if (verb == "LIST" && (words >> n) && valid(n)) {
            reply = "+OK " + std::to_string(n) + " " + std::to_string(mb.messages[static_cast<std::size_t>(n - 1)].size());
        } else if (verb == "DELE" && (words >> n) && valid(n)) {
            marked.insert(n);
            reply = "+OK message deleted";
        } else if ((verb == "RETR" || verb == "TOP") && (words >> n) && valid(n)) {
            int bodyLines = -1;
            if (verb == "TOP" && !(words >> bodyLines)) {
                reply = "-ERR syntax";
            } else {
                std::string out = "+OK message follows\r\n";
                bool inBody = false;
                int sent = 0;
                for (const auto& l : messageLines(mb.messages[static_cast<std::size_t>(n - 1)])) {
                    if (inBody && bodyLines >= 0 && sent++ >= bodyLines) {
                        break;
                    }
                    if (!inBody && l.empty()) {
                        inBody = true;
                    }
                    out += dotStuff(l) + "\r\n";
                }
                out += ".\r\n";
                if (!session.Write(out)) {
                    return;
                }
                continue;
            }
        } else {
            reply = "-ERR unknown command or no such message";
        }
        if (!session.Write(reply + "\r\n")) {
            return;
        }
    }
}

void FakePop3Server::Deliver(std::string message, std::string uid) {
    std::lock_guard lock(m_mutex);
    m_mailbox.messages.push_back(std::move(message));
    m_mailbox.uids.push_back(std::move(uid));
}

} // namespace qm::test
