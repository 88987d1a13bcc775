#pragma once

#include <QObject>

class QSocketNotifier;

namespace qm {

// Turns SIGTERM and SIGINT into a Qt signal on the main thread. The handler only writes the
// signal number into a pipe; all work happens in the event loop.
class SignalWatcher : public QObject {
    Q_OBJECT
public:
    explicit SignalWatcher(QObject* parent = nullptr);
    ~SignalWatcher() override;

    // Whether the handlers are installed.
    bool isActive() const { return m_notifier != nullptr; }

signals:
    void terminationRequested(int signalNumber);

private:
    void onReadable();

    QSocketNotifier* m_notifier = nullptr;
};

} // namespace qm
