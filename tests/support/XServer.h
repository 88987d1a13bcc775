#pragma once

#include <QProcess>
#include <QString>

namespace qm::test {

// A private X server for the run (Xvfb picks a free display and tells us which).
class XServer {
public:
    explicit XServer(const QString& screen = QStringLiteral("1024x768x24"));
    ~XServer();
    bool running() const;
    QString display() const { return m_display; }

private:
    QProcess m_process;
    QString m_display;
};

} // namespace qm::test
