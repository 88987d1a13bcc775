#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

namespace qm::test {

// trayer as the system tray of a test display. Now and then it quits on its own while starting,
// before any program has docked, so start() gives it a few tries.
class TrayHost {
public:
    ~TrayHost() { kill(); }

    // True once the tray owns the tray selection of env's display; otherwise failure() says why.
    bool start(const QProcessEnvironment& env);
    // Ends it at once, as a crashing tray would.
    void kill();
    const QString& failure() const { return m_failure; }

private:
    bool ownsSelection() const;

    QProcessEnvironment m_env;
    QProcess m_process;
    QString m_failure;
};

} // namespace qm::test
