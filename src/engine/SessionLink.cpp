#include "engine/SessionLink.h"

#include <openssl/crypto.h>

#include <exception>
#include <thread>
#include <utility>

namespace qm {

namespace {
thread_local int t_caller = 0;
} // namespace

void SessionLink::SetCaller(int workerId) {
    t_caller = workerId;
}

SessionLink::SessionLink(std::shared_ptr<IMainThreadInvoker> invoker, ISessionReport* report)
    : m_invoker(std::move(invoker)), m_report(report) {}

bool SessionLink::Call(const std::function<void(ISessionReport&)>& fn) {
    if (!m_open.load() || !m_invoker) {
        return false;
    }
    bool ran = false;
    std::exception_ptr failure;
    const int caller = t_caller;
    const bool invoked = m_invoker->invokeOnMainThread([&] {
        // Checked again on the main thread: Close() runs there, so once it has run, a call that
        // was already waiting in the queue can no longer reach a report that may be gone.
        if (!m_open.load()) {
            return;
        }
        ran = true;
        try {
            if (caller != 0) {
                m_report->CallsFrom(caller);
            }
            fn(*m_report);
        } catch (...) {
            failure = std::current_exception(); // handed back to the worker, never to the main loop
        }
    });
    if (!invoked || !ran) {
        return false;
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
    return true;
}

void SessionLink::Close() {
    m_open.store(false);
}

void SessionLink::KeepUnreported(int accountRow, std::vector<DeletionRecord> records) {
    const std::lock_guard lock(m_mutex);
    m_unreported.emplace_back(accountRow, std::move(records));
}

std::vector<std::pair<int, std::vector<DeletionRecord>>> SessionLink::TakeUnreported() {
    const std::lock_guard lock(m_mutex);
    return std::exchange(m_unreported, {});
}

void SessionLink::StartThread(const std::shared_ptr<SessionLink>& link, std::function<void()> body) {
    link->ThreadStarted();
    try {
        std::thread([link, body = std::move(body)]() mutable {
            body();
            body = nullptr;
            // Otherwise freed only as the thread ends, after it counted as ended: too late for a
            // program that is already leaving.
            OPENSSL_thread_stop();
            link->ThreadEnded();
        }).detach();
    } catch (...) {
        link->ThreadEnded();
        throw;
    }
}

void SessionLink::ThreadStarted() {
    const std::lock_guard lock(m_mutex);
    ++m_liveThreads;
}

void SessionLink::ThreadEnded() {
    const std::lock_guard lock(m_mutex);
    --m_liveThreads;
    m_threadsDone.notify_all();
}

int SessionLink::LiveThreads() const {
    const std::lock_guard lock(m_mutex);
    return m_liveThreads;
}

bool SessionLink::WaitForThreads(std::chrono::milliseconds limit) {
    std::unique_lock lock(m_mutex);
    return m_threadsDone.wait_for(lock, limit, [this] { return m_liveThreads == 0; });
}

} // namespace qm
