#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

namespace qm::test {

// The first line a started process writes to its standard output, without the line end; empty
// when none came within the limit or the process ended first.
QString firstOutputLine(QProcess& process, int timeoutMs = 20000);

// A private X server for the run (Xvfb picks a free display and tells us which).
class XServer {
public:
    explicit XServer(const QString& screen = QStringLiteral("1024x768x24"));
    ~XServer();
    bool running() const;
    QString display() const { return m_display; }
    // This environment with Qt programs pointed at this server, on X11, without a session bus.
    QProcessEnvironment clientEnvironment() const;

private:
    QProcess m_process;
    QString m_display;
};

} // namespace qm::test
