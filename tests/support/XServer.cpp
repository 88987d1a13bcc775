#include "XServer.h"

#include <QDeadlineTimer>

namespace qm::test {

QString firstOutputLine(QProcess& process, int timeoutMs) {
    QByteArray out;
    QDeadlineTimer limit(timeoutMs);
    while (!out.contains('\n') && !limit.hasExpired() && process.state() == QProcess::Running) {
        process.waitForReadyRead(200);
        out += process.readAllStandardOutput();
    }
    if (!out.contains('\n'))
        return {};
    return QString::fromLatin1(out.left(out.indexOf('\n')).trimmed());
}

XServer::XServer(const QString& screen) {
    // -displayfd: Xvfb chooses a free display number and writes it to stdout once it accepts clients.
    m_process.start(QStringLiteral("Xvfb"),
                    {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
                     screen, QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    if (!m_process.waitForStarted(10000))
        return;
    const QString number = firstOutputLine(m_process);
    if (!number.isEmpty())
        m_display = QLatin1Char(':') + number;
}

XServer::~XServer() {
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QProcessEnvironment XServer::clientEnvironment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("disabled:"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    return env;
}

bool XServer::running() const {
    return m_process.state() == QProcess::Running && !m_display.isEmpty();
}

} // namespace qm::test
