#include "app/QtMainThreadInvoker.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <chrono>

namespace qm {

QtMainThreadInvoker::QtMainThreadInvoker() : m_context(new QObject) {}

QtMainThreadInvoker::~QtMainThreadInvoker() {
    Close();
}

void QtMainThreadInvoker::setAfterCall(std::function<void()> afterCall) {
    m_afterCall = std::move(afterCall);
}

bool QtMainThreadInvoker::IsClosed() const {
    const std::lock_guard lock(m_mutex);
    return m_closed;
}

bool QtMainThreadInvoker::invokeOnMainThread(const std::function<void()>& fn) {
    QObject* context = nullptr;
    {
        const std::lock_guard lock(m_mutex);
        if (m_closed) {
            return false;
        }
        context = m_context;
        ++m_inFlight;
    }
    bool ran = false;
    auto call = [this, &fn, &ran] {
        if (IsClosed()) {
            return;
        }
        ran = true;
        try {
            fn();
        } catch (...) {
            // The call has run; what it threw is the caller's business, never the event loop's.
        }
        if (m_afterCall && !IsClosed()) {
            m_afterCall();
        }
    };
    if (QThread::currentThread() == context->thread()) {
        // Already on the main thread: a blocking queued call would wait for itself.
        call();
    } else {
        // Returns when the call has run, or when Close dropped it from the queue.
        QMetaObject::invokeMethod(context, call, Qt::BlockingQueuedConnection);
    }
    {
        const std::lock_guard lock(m_mutex);
        --m_inFlight;
    }
    m_idle.notify_all();
    return ran;
}

void QtMainThreadInvoker::Close() {
    QObject* context = nullptr;
    {
        const std::lock_guard lock(m_mutex);
        if (m_closed) {
            return;
        }
        m_closed = true;
        context = m_context;
        m_context = nullptr;
    }
    if (context == nullptr) {
        return;
    }
    const bool onItsThread = QThread::currentThread() == context->thread();
    // Dropping a queued blocking call releases the worker waiting in it. A worker that took its
    // call just before the close may still be about to queue it, so drop until none is left.
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    std::unique_lock lock(m_mutex);
    while (m_inFlight > 0 && std::chrono::steady_clock::now() < limit) {
        lock.unlock();
        if (onItsThread) {
            QCoreApplication::removePostedEvents(context, QEvent::MetaCall);
        }
        lock.lock();
        m_idle.wait_for(lock, std::chrono::milliseconds(5), [this] { return m_inFlight == 0; });
    }
    const bool idle = m_inFlight == 0;
    lock.unlock();
    if (idle && onItsThread) {
        delete context;
    } else if (idle) {
        context->deleteLater();
    }
    // Otherwise a worker may still post to it: leave the small object alive rather than risk that.
}

} // namespace qm
