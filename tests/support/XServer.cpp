#include "XServer.h"

#include <QDeadlineTimer>

namespace qm::test {

XServer::XServer(const QString& screen) {
    // -displayfd: Xvfb chooses a free display number and writes it to stdout once it accepts clients.
    m_process.start(QStringLiteral("Xvfb"),
                    {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
                     screen, QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    if (!m_process.waitForStarted(10000))
        return;
    QByteArray out;
    QDeadlineTimer limit(20000);
    while (!out.contains('\n') && !limit.hasExpired() && m_process.state() == QProcess::Running) {
        m_process.waitForReadyRead(200);
        out += m_process.readAllStandardOutput();
    }
    if (out.contains('\n'))
        m_display = QLatin1Char(':') + QString::fromLatin1(out.trimmed());
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
