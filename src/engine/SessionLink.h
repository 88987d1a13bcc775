#pragma once

#include "engine/CheckHost.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace qm {

// What the workers of a check cycle share with it: the synchronised call to the cycle's report
// on the main thread, and a count of the workers still alive. Held by shared_ptr, so it outlives
// the cycle for as long as a worker still runs. Once closed, no call reaches the report again.
class SessionLink {
public:
    SessionLink(std::shared_ptr<IMainThreadInvoker> invoker, ISessionReport* report);

    // Worker side: runs fn(report) on the main thread while the caller waits. Returns false, fn
    // not having run, once the link is closed or the main thread no longer takes calls. An
    // exception fn throws on the main thread is rethrown here, on the worker.
    bool Call(const std::function<void(ISessionReport&)>& fn);
    // Worker side: the id the calls of the calling thread are announced with (CallsFrom) from now
    // on; 0, the default, announces none.
    static void SetCaller(int workerId);

    // Main thread: no further call reaches the report (calls already queued do nothing).
    void Close();
    bool IsOpen() const { return m_open.load(); }

    // Worker side: deletion records whose report no longer got through because the main thread
    // closed the link after the session's QUIT. The cycle writes them once its workers are gone.
    void KeepUnreported(int accountRow, std::vector<DeletionRecord> records);
    std::vector<std::pair<int, std::vector<DeletionRecord>>> TakeUnreported();

    // Runs `body` on a thread of its own that counts as live until its very last statement: by
    // then `body` and what it holds are gone, and so is the thread's OpenSSL state, so a program
    // that leaves once no thread is live leaves nothing of them behind. Throws when no thread can
    // be started (it then does not count).
    static void StartThread(const std::shared_ptr<SessionLink>& link, std::function<void()> body);

    // Live worker threads.
    void ThreadStarted();
    void ThreadEnded();
    int LiveThreads() const;
    // Waits until no worker thread is alive or the time has passed; true when none is alive.
    bool WaitForThreads(std::chrono::milliseconds limit);

private:
    std::shared_ptr<IMainThreadInvoker> m_invoker;
    ISessionReport* m_report;
    std::atomic<bool> m_open{true};

    mutable std::mutex m_mutex;
    std::condition_variable m_threadsDone;
    int m_liveThreads = 0;
    std::vector<std::pair<int, std::vector<DeletionRecord>>> m_unreported;
};

} // namespace qm
