#pragma once

#include "engine/CheckHost.h"

#include <condition_variable>
#include <functional>
#include <mutex>

class QObject;

namespace qm {

// The session workers' way onto the window's thread: each call is queued to the event loop as a
// blocking queued call, so the worker waits until the main thread has run it. Once closed (the
// window is going away), no call is taken any more and calls still queued are dropped unrun, so
// no worker is left waiting for an event loop that will not run again.
class QtMainThreadInvoker : public IMainThreadInvoker {
public:
    // Created on the main thread; calls run on that thread.
    QtMainThreadInvoker();
    ~QtMainThreadInvoker() override;
    QtMainThreadInvoker(const QtMainThreadInvoker&) = delete;
    QtMainThreadInvoker& operator=(const QtMainThreadInvoker&) = delete;

    bool invokeOnMainThread(const std::function<void()>& fn) override;

    // Main thread, after every call that ran (e.g. to show what the call changed).
    void setAfterCall(std::function<void()> afterCall);

    // Main thread: takes no more calls and releases every worker waiting in a queued one.
    void Close();
    bool IsClosed() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_idle;
    bool m_closed = false;
    int m_inFlight = 0; // workers between taking a call and its return
    QObject* m_context = nullptr;
    std::function<void()> m_afterCall;
};

} // namespace qm
