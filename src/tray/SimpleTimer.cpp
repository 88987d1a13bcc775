#include "tray/SimpleTimer.h"

#include <QTimerEvent>

#include <limits>

namespace qm {

TSimpleTimer::TSimpleTimer(unsigned interval, Handler handler, QObject* parent)
    : QObject(parent), m_interval(interval), m_handler(std::move(handler)) {}

TSimpleTimer::~TSimpleTimer() {
    killSystemTimer();
}

bool TSimpleTimer::Start() {
    if (m_enabled)
        Stop();
    if (m_interval == 0)
        return false;
    // QObject timers take an int; longer intervals are clamped rather than wrapped negative.
    const unsigned capped = std::min<unsigned>(m_interval, std::numeric_limits<int>::max());
    m_timerId = startTimer(static_cast<int>(capped), Qt::PreciseTimer);
    m_enabled = m_timerId != 0;
    return m_enabled;
}

void TSimpleTimer::Stop() {
    killSystemTimer();
    m_enabled = false;
}

void TSimpleTimer::SetEnabled(bool enabled) {
    if (enabled)
        Start();
    else
        Stop();
}

void TSimpleTimer::SetInterval(unsigned interval) {
    if (interval == m_interval)
        return;
    m_interval = interval;
    if (!m_enabled)
        return;
    if (interval == 0) {
        killSystemTimer();
        return;
    }
    Start();
}

void TSimpleTimer::SetHandler(Handler handler) {
    m_handler = std::move(handler);
    if (!m_handler && m_enabled)
        killSystemTimer();
}

void TSimpleTimer::Tick() {
    if (m_oneShot)
        Stop();
    if (m_handler)
        m_handler(*this);
}

void TSimpleTimer::timerEvent(QTimerEvent* event) {
    if (event->timerId() != m_timerId) {
        QObject::timerEvent(event);
        return;
    }
    Tick();
}

void TSimpleTimer::killSystemTimer() {
    if (m_timerId != 0) {
        killTimer(m_timerId);
        m_timerId = 0;
    }
}

} // namespace qm
