#include "TrayProbe.h"

#include "TestPaths.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

namespace qm::test {

namespace {
constexpr int kWaitMs = 20000;
}

TrayProbe::~TrayProbe() {
    stop();
}

bool TrayProbe::start(const QProcessEnvironment& env) {
    m_process.setProcessEnvironment(env);
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.setStandardErrorFile(QProcess::nullDevice());
    m_process.start(QStringLiteral(QM_BUILD_DIR "/xembed_tray_probe"), {});
    return m_process.waitForStarted(kWaitMs);
}

void TrayProbe::stop() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(kWaitMs);
    }
    m_seen.clear();
}

QString TrayProbe::waitForLine(const char* prefix) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < kWaitMs) {
        while (m_process.canReadLine()) {
            const QString line = QString::fromLocal8Bit(m_process.readLine()).trimmed();
            m_seen.append(line);
            if (line.startsWith(QString::fromLatin1(prefix)))
                return line;
        }
        if (m_process.state() == QProcess::NotRunning)
            break;
        m_process.waitForReadyRead(200);
    }
    ADD_FAILURE() << "no " << prefix << " after: " << m_seen.join(QStringLiteral(" | ")).toStdString();
    return {};
}

} // namespace qm::test
