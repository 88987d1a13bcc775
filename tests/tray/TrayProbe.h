#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace qm::test {

// The tray program of the X11 tests, run under a given display; reads what it reports.
class TrayProbe {
public:
    ~TrayProbe();

    bool start(const QProcessEnvironment& env);
    void stop();

    // The next reported line that starts with prefix; lines before it are passed over.
    // Empty (and a test failure) when none comes in time.
    QString waitForLine(const char* prefix);

    // Writes one line to the program's standard input.
    void send(const QByteArray& line) { m_process.write(line + '\n'); m_process.waitForBytesWritten(); }

    // Whether the program ends of itself, with a normal exit, in time.
    bool finishes() { return m_process.waitForFinished(20000) && m_process.exitStatus() == QProcess::NormalExit; }

    // Every line read so far.
    const QStringList& seen() const { return m_seen; }

private:
    QProcess m_process;
    QStringList m_seen;
};

} // namespace qm::test
