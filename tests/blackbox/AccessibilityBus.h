#pragma once

#include <QProcess>
#include <QString>

namespace qm::test {

// A private D-Bus session bus on which the accessibility bus (at-spi-bus-launcher and the
// registry) is started on demand, for programs shown on `display`. Its sockets and the
// launcher's files live in `folder`, so runs side by side never meet.
class AccessibilityBus {
public:
    AccessibilityBus(const QString& display, const QString& folder);
    // Ends the session bus; the accessibility bus and its registry end with it.
    ~AccessibilityBus();
    bool running() const { return m_process.state() == QProcess::Running && !m_address.isEmpty(); }
    QString address() const { return m_address; }

private:
    QProcess m_process;
    QString m_address;
};

} // namespace qm::test
