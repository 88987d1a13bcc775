#pragma once

#include "XServer.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <string>

namespace qm::test {

// An empty folder holding a copy of the monitor, with its own runtime and config folders.
class Installation {
public:
    explicit Installation(const QString& display);
    QString folder() const { return m_dir.path(); }
    QString file(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }
    QProcessEnvironment environment() const { return m_env; }
    // Sets a variable of the environment the copy starts in.
    void setVariable(const QString& name, const QString& value) { m_env.insert(name, value); }
    void setEnvironment(const QProcessEnvironment& env) { m_env = env; }

    // Starts the copy; the process is owned by the installation and killed when it goes.
    // display: another X display than the installation's, e.g. one that does not exist.
    QProcess* start(const QString& display = QString());

    // Titles of the visible windows of the X server whose title holds text.
    int visibleWindows(const QString& title) const;

private:
    QTemporaryDir m_dir;
    QString m_display;
    QProcessEnvironment m_env;
    std::vector<std::unique_ptr<QProcess>> m_processes;
};

std::string readFile(const QString& path);
void writeFile(const QString& path, const std::string& bytes);
std::string defaultSettingsFile();

// Polls (event loop running) until pred holds or the limit passes.
bool waitFor(const std::function<bool()>& pred, int timeoutMs = 20000);

} // namespace qm::test
