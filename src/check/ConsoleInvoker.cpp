#include "check/ConsoleInvoker.h"

namespace qm {

ConsoleInvoker::~ConsoleInvoker() {
    Close();
}

bool ConsoleInvoker::invokeOnMainThread(const std::function<void()>& fn) {
    Call call;
    call.fn = &fn;
    std::unique_lock lock(m_mutex);
    if (m_closed) {
        return false;
    }
    m_queue.push_back(&call);
    m_queued.notify_one();
    m_finished.wait(lock, [&] { return call.finished; });
    return call.ran;
}

void ConsoleInvoker::RunUntil(const std::function<bool()>& done) {
    std::unique_lock lock(m_mutex);
    for (;;) {
        lock.unlock();
        if (done()) {
            return;
        }
        lock.lock();
        m_queued.wait(lock, [&] { return !m_queue.empty() || m_closed; });
        if (m_closed) {
            return;
        }
        Call* call = m_queue.front();
        m_queue.pop_front();
        lock.unlock();
        try {
            (*call->fn)();
        } catch (...) {
            // A call that throws has still run; the caller learns nothing more from us.
        }
        lock.lock();
        call->ran = true;
        call->finished = true;
        m_finished.notify_all();
    }
}

void ConsoleInvoker::Close() {
    const std::lock_guard lock(m_mutex);
    m_closed = true;
    for (Call* call : m_queue) {
        call->finished = true;
        call->ran = false;
    }
    m_queue.clear();
    m_finished.notify_all();
    m_queued.notify_all();
}

} // namespace qm
