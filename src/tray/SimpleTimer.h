#pragma once

#include <QObject>

#include <functional>

namespace qm {

// A lightweight repeating timer for the tray icon's small jobs (animation, click and exit polling).
// Unlike QTimer, starting an enabled timer restarts its count, and an interval of 0 never starts it.
class TSimpleTimer : public QObject {
public:
    using Handler = std::function<void(TSimpleTimer&)>;

    explicit TSimpleTimer(unsigned interval = 1000, Handler handler = {}, QObject* parent = nullptr);
    ~TSimpleTimer() override;

    // Starts (restarting an enabled timer); false when the interval is 0, leaving the timer disabled.
    bool Start();
    void Stop();

    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool enabled);

    unsigned Interval() const { return m_interval; }
    // An enabled timer restarts with the new interval; interval 0 pauses it but keeps it enabled.
    void SetInterval(unsigned interval);

    void SetHandler(Handler handler);

    bool OneShot() const { return m_oneShot; }
    void SetOneShot(bool oneShot) { m_oneShot = oneShot; }

    // Whether a system timer is counting right now (an enabled timer with interval 0 is not).
    bool Running() const { return m_timerId != 0; }

    // Runs one tick as if the interval had passed.
    void Tick();

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    void killSystemTimer();

    unsigned m_interval;
    Handler m_handler;
    bool m_enabled = false;
    bool m_oneShot = false;
    int m_timerId = 0;
};

} // namespace qm
