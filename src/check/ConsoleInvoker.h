#pragma once

#include "engine/CheckHost.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace qm {

// The console checker's main thread: a queue of calls from the workers, run one at a time by
// RunUntil on the thread that owns the check cycle, each caller waiting until its call has run.
class ConsoleInvoker : public IMainThreadInvoker {
public:
    ConsoleInvoker() = default;
    ~ConsoleInvoker() override;

    bool invokeOnMainThread(const std::function<void()>& fn) override;

    // Main thread: runs queued calls until done() answers true (checked before waiting and
    // after every call).
    void RunUntil(const std::function<bool()>& done);

    // Main thread: takes no more calls; waiting callers whose calls have not run get false.
    void Close();

private:
    struct Call {
        const std::function<void()>* fn = nullptr;
        bool finished = false;
        bool ran = false;
    };

    std::mutex m_mutex;
    std::condition_variable m_queued;
    std::condition_variable m_finished;
    std::deque<Call*> m_queue;
    bool m_closed = false;
};

} // namespace qm
