#pragma once

// A small HTTP responder on a real loopback socket, run in a thread of the test process. It takes
// connections one after another, records each request's bytes (up to the empty line), and then
// answers as told: canned bytes, nothing at all, or an endless stream.

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qm::test {

class HttpResponder {
public:
    enum class Mode {
        Answer,  // send the response bytes, then close (or keep the line open)
        Silent,  // read the request and never answer
        Endless, // send the response bytes, then the repeated bytes until the client leaves
    };

    HttpResponder();
    ~HttpResponder();
    HttpResponder(const HttpResponder&) = delete;
    HttpResponder& operator=(const HttpResponder&) = delete;

    std::uint16_t Port() const { return m_port; }
    // "127.0.0.1:<port>", as the update server override takes it.
    std::string Address() const;

    // Set before Start.
    void Answer(std::string response, bool keepOpen = false);
    // Answers each request with what respond returns for its bytes, then closes.
    void AnswerEach(std::function<std::string(const std::string& request)> respond);
    void Silent();
    void Endless(std::string head, std::string repeated);

    void Start();
    // Ends every connection at once.
    void Stop();

    // The bytes of each request received so far, in order.
    std::vector<std::string> Requests() const;
    // Connections accepted so far.
    int Connections() const;

private:
    void Run();
    void Serve(int fd);
    bool SendAll(int fd, const std::string& bytes);

    int m_listenFd = -1;
    int m_stopFd = -1;
    std::uint16_t m_port = 0;
    Mode m_mode = Mode::Answer;
    std::string m_response;
    std::function<std::string(const std::string&)> m_respond;
    std::string m_repeated;
    bool m_keepOpen = false;
    std::thread m_thread;
    std::atomic<bool> m_stopping{false};
    mutable std::mutex m_mutex;
    std::vector<std::string> m_requests;
};

// Plays an OAuth2 token introspection endpoint for Dovecot ("introspection_mode = auth") and
// starts it: the good token names the user as active, any other token as inactive.
void ServeIntrospection(HttpResponder& http, const std::string& goodToken, const std::string& user);

} // namespace qm::test
