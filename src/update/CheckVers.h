#pragma once

// The version check: one GET of the published version text on a thread of its own, compared with
// the running program's version.

#include "update/HttpGet.h"
#include "update/UpdateServer.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace qm {

// A version text as a number: trimmed (bytes up to and including space removed at both ends),
// every "." deleted, the rest read as a decimal number. Empty text, anything but digits, or a
// number beyond 32 bits counts as 0. So "2.10.0.0" is 21000 and "2.10" is 210.
std::int64_t VersionNumber(std::string_view text);

// The trimmed published text when its number is greater than the local version's; empty otherwise.
std::string NewerVersion(std::string_view published, std::string_view local);

class CheckVers : public std::enable_shared_from_this<CheckVers> {
public:
    struct Job {
        UpdateServer server;
        std::string path = kVersionFilePath;
        std::string localVersion;
        HttpLimits limits;
    };
    // Receives the newer version's text; called on the check's thread.
    using Sink = std::function<void(const std::string& newVersion)>;

    // Starts the check on a thread that ends by itself. The sink is called at most once, and only
    // with a newer version; every failure is silent.
    static std::shared_ptr<CheckVers> Start(Job job, Sink sink);

    // After Cancel returns the sink is never called; a GET still waiting ends at once.
    void Cancel();
    bool Finished() const { return m_finished.load(); }

private:
    CheckVers(Job job, Sink sink);
    void Run();

    const Job m_job;
    std::mutex m_mutex;
    Sink m_sink;
    THttpGet* m_client = nullptr;
    bool m_cancelled = false;
    std::atomic<bool> m_finished{false};
};

} // namespace qm
