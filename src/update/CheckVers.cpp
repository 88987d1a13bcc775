#include "update/CheckVers.h"

#include "text/AsciiText.h"

#include <thread>

namespace qm {

std::int64_t VersionNumber(std::string_view text) {
    std::int64_t value = 0;
    bool digits = false;
    for (char c : TrimControls(text)) {
        if (c == '.') {
            continue;
        }
        if (c < '0' || c > '9') {
            return 0;
        }
        digits = true;
        value = value * 10 + (c - '0');
        if (value > INT32_MAX) {
            return 0;
        }
    }
    return digits ? value : 0;
}

std::string NewerVersion(std::string_view published, std::string_view local) {
    if (VersionNumber(local) < VersionNumber(published)) {
        return std::string(TrimControls(published));
    }
    return {};
}

CheckVers::CheckVers(Job job, Sink sink) : m_job(std::move(job)), m_sink(std::move(sink)) {}

std::shared_ptr<CheckVers> CheckVers::Start(Job job, Sink sink) {
    std::shared_ptr<CheckVers> check(new CheckVers(std::move(job), std::move(sink)));
    // The thread keeps the check alive until it has finished; nobody waits for it.
    std::thread([check] { check->Run(); }).detach();
    return check;
}

void CheckVers::Cancel() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_cancelled = true;
    m_sink = nullptr;
    if (m_client != nullptr) {
        m_client->Abort();
    }
}

void CheckVers::Run() {
    THttpGet client;
    client.Host = m_job.server.host;
    client.Port = m_job.server.port;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_cancelled) {
            m_finished = true;
            return;
        }
        m_client = &client;
    }
    const std::string published = client.Get(VersionRequest(m_job.server, m_job.path), m_job.limits);
    const std::string newer = NewerVersion(published, m_job.localVersion);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_client = nullptr;
        if (!newer.empty() && m_sink) {
            m_sink(newer);
        }
        m_sink = nullptr;
    }
    m_finished = true;
}

} // namespace qm
