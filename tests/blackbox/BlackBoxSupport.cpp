#include "BlackBoxSupport.h"

#include "TestPaths.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>

#include <csignal>

namespace qm::test {

Installation::Installation(const QString& display)
    : m_dir(QStringLiteral(QM_TEST_TMP_DIR "/bb-XXXXXX")), m_display(display) {
    QFile::copy(QStringLiteral(QM_QUILLMERE_EXE), file("quillmere"));
    QDir(folder()).mkdir(QStringLiteral("runtime"));
    QFile::setPermissions(file("runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QDir(folder()).mkdir(QStringLiteral("config"));
    m_env = QProcessEnvironment::systemEnvironment();
    m_env.insert(QStringLiteral("DISPLAY"), m_display);
    m_env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    m_env.insert(QStringLiteral("XDG_RUNTIME_DIR"), file("runtime"));
    m_env.insert(QStringLiteral("XDG_CONFIG_HOME"), file("config"));
    m_env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("disabled:"));
}

QProcess* Installation::start(const QString& display) {
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment env = m_env;
    if (!display.isEmpty()) {
        env.insert(QStringLiteral("DISPLAY"), display);
    }
    process->setProcessEnvironment(env);
    process->setWorkingDirectory(QDir::tempPath());
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->setStandardOutputFile(QProcess::nullDevice());
    process->start(file("quillmere"), {});
    process->waitForStarted(10000);
    m_processes.push_back(std::move(process));
    return m_processes.back().get();
}

int Installation::visibleWindows(const QString& title) const {
    QProcess search;
    search.setProcessEnvironment(m_env);
    search.start(QStringLiteral("xdotool"),
                 {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), title});
    search.waitForFinished(10000);
    const QByteArray out = search.readAllStandardOutput().trimmed();
    return out.isEmpty() ? 0 : static_cast<int>(out.split('\n').size());
}

std::string readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.readAll().toStdString();
}

void writeFile(const QString& path, const std::string& bytes) {
    QFile file(path);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

std::string defaultSettingsFile() {
    return "[Main]\r\nInterval=5\r\nExecuting=0\r\nLanguage=EN\r\nFromAddress=\r\nSubject=\r\nUseFrom=0\r\n"
           "UseSubject=0\r\nAttach=0\r\nWriteToFile=0\r\nOverwrite=0\r\nFileName=messages.txt\r\n"
           "AntiSpamListEnabled=1\r\nAntiSpamSubjListEnabled=1\r\nCheckNewVersion=1\r\n\r\n";
}

bool waitFor(const std::function<bool()>& pred, int timeoutMs) {
    QDeadlineTimer limit(timeoutMs);
    while (!pred()) {
        if (limit.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(50);
    }
    return true;
}

} // namespace qm::test
