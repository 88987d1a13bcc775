#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;
class QLocalSocket;

namespace qm {

// Keeps one monitor per user: the first process holds a lock file in the per-user runtime folder
// and listens on a local socket beside it; a later process asks it to show its main window.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // Unprotected: no private runtime folder could be had; the process runs without the lock
    // (unprotectedReason says why) rather than refusing to start.
    enum class Role { Primary, Secondary, Unprotected };

    // The one request a later process may send; anything else on the socket is ignored.
    static constexpr const char* kShowRequest = "show\n";
    static constexpr const char* kShowReply = "ok\n";

    // key: the base name, e.g. "qmLodestar"; runtimeDir empty means the per-user runtime folder.
    explicit SingleInstance(const QString& key, const QString& runtimeDir = QString(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // Takes the lock. Primary: this process is the only one. Secondary: another one runs (or the
    // lock cannot be taken for any other reason, which counts as a running instance).
    // Needs no application object, so a later process can leave before creating one.
    Role acquire();

    // Primary only, after the application object exists: starts answering show requests.
    bool listen();

    // Secondary: asks the running process to show its window, waiting at most timeoutMs in all.
    // Returns whether the running process confirmed the request.
    bool requestShow(int timeoutMs = 800);

    QString lockPath() const { return m_lockPath; }
    QString unprotectedReason() const { return m_unprotectedReason; }

    // The folder for the lock and the socket: Qt's runtime folder, or else `fallback`, created
    // with mode 0700 and used only when it is a folder of this user that nobody else may enter.
    // Empty, with the reason in `why`, when neither will do.
    static QString PrivateRuntimeDir(const QString& qtRuntimeDir, const QString& fallback, QString* why);
    QString serverPath() const { return m_serverPath; }

    // Name part shared by the lock and the socket: the key and the numeric user id.
    static QString instanceName(const QString& key);

signals:
    void showRequested();

private:
    void onNewConnection();
    void onReadyRead(QLocalSocket* socket);

    QString m_lockPath;
    QString m_serverPath;
    QString m_unprotectedReason;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
    int m_openConnections = 0;
};

} // namespace qm
