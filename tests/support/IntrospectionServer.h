#pragma once

// A small HTTP responder on loopback that plays an OAuth2 token introspection endpoint for the
// private Dovecot: a GET with "Authorization: Bearer TOKEN" is answered with a JSON object that
// names the user as active when TOKEN is the one good token, and as inactive otherwise. Every
// connection gets one answer and is closed.

#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qm::test {

class IntrospectionServer {
public:
    IntrospectionServer(std::string goodToken, std::string user);
    ~IntrospectionServer();
    IntrospectionServer(const IntrospectionServer&) = delete;
    IntrospectionServer& operator=(const IntrospectionServer&) = delete;

    // The endpoint, e.g. "http://127.0.0.1:40123/introspect".
    std::string Url() const;
    // The bearer token of every request so far, in order ("" for a request without one).
    std::vector<std::string> TokensSeen() const;

private:
    void Run();
    void Answer(int fd);

    std::string m_goodToken;
    std::string m_user;
    int m_listenFd = -1;
    std::uint16_t m_port = 0;
    std::thread m_thread;
    mutable std::mutex m_mutex;
    bool m_stopping = false;
    std::vector<std::string> m_tokens;
};

} // namespace qm::test
