#include "platform/gui/SingleInstance.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QTimer>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace qm {

namespace {

// A peer gets this long to send its request before it is dropped.
constexpr int kPeerTimeoutMs = 2000;
// Requests are a few bytes; more than this in the buffer is not a request of ours.
constexpr qint64 kMaxRequestBytes = 64;
// Enough for a burst of starts; more connections at once are refused.
constexpr int kMaxOpenConnections = 8;

// A socket path must fit sun_path; a deep runtime folder gets a short, stable name in /tmp instead.
QString fitSocketPath(const QString& dir, const QString& name) {
    QString path = dir + QLatin1Char('/') + name + QStringLiteral(".socket");
    if (QFile::encodeName(path).size() < static_cast<qsizetype>(sizeof(sockaddr_un::sun_path))) {
        return path;
    }
    const QByteArray hash = QCryptographicHash::hash(QFile::encodeName(dir), QCryptographicHash::Sha1).toHex().left(16);
    return QDir::tempPath() + QLatin1Char('/') + name + QLatin1Char('-') + QString::fromLatin1(hash) +
           QStringLiteral(".socket");
}

} // namespace

QString SingleInstance::instanceName(const QString& key) {
    return key + QLatin1Char('-') + QString::number(::getuid());
}

QString SingleInstance::PrivateRuntimeDir(const QString& qtRuntimeDir, const QString& fallback, QString* why) {
    if (!qtRuntimeDir.isEmpty()) {
        return qtRuntimeDir;
    }
    const QByteArray path = QFile::encodeName(fallback);
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST) {
        *why = QStringLiteral("cannot create %1: %2").arg(fallback, QString::fromLocal8Bit(std::strerror(errno)));
        return QString();
    }
    // A folder in /tmp may have been made by anybody: another user's folder, or one others can
    // write to, would let them plant the lock that keeps the monitor from starting.
    struct stat info {};
    if (::lstat(path.constData(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        *why = QStringLiteral("%1 is not a folder").arg(fallback);
        return QString();
    }
    if (info.st_uid != ::getuid()) {
        *why = QStringLiteral("%1 belongs to another user").arg(fallback);
        return QString();
    }
    if ((info.st_mode & 0077) != 0) {
        *why = QStringLiteral("%1 is open to other users (mode %2)")
                   .arg(fallback, QString::number(info.st_mode & 0777, 8));
        return QString();
    }
    return fallback;
}

SingleInstance::SingleInstance(const QString& key, const QString& runtimeDir, QObject* parent) : QObject(parent) {
    QString dir = runtimeDir;
    if (dir.isEmpty()) {
        dir = PrivateRuntimeDir(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation),
                                QDir::tempPath() + QStringLiteral("/runtime-") + QString::number(::getuid()),
                                &m_unprotectedReason);
    }
    const QString name = instanceName(key);
    m_lockPath = dir + QLatin1Char('/') + name + QStringLiteral(".lock");
    m_serverPath = fitSocketPath(dir, name);
}

SingleInstance::~SingleInstance() {
    if (m_server != nullptr) {
        m_server->close();
    }
}

SingleInstance::Role SingleInstance::acquire() {
    if (!m_unprotectedReason.isEmpty()) {
        return Role::Unprotected;
    }
    QDir().mkpath(QFileInfo(m_lockPath).absolutePath());
    m_lock = std::make_unique<QLockFile>(m_lockPath);
    // Only a dead owner makes the lock stale, never its age: a monitor runs for weeks.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0)) {
        return Role::Primary;
    }
    m_lock.reset();
    return Role::Secondary;
}

bool SingleInstance::listen() {
    if (!m_lock || !m_lock->isLocked()) {
        return false;
    }
    if (m_server == nullptr) {
        m_server = new QLocalServer(this);
        m_server->setMaxPendingConnections(kMaxOpenConnections);
        connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
    }
    // We hold the lock, so a socket file here can only be left over from a process that died.
    QLocalServer::removeServer(m_serverPath);
    return m_server->listen(m_serverPath);
}

void SingleInstance::onNewConnection() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        if (m_openConnections >= kMaxOpenConnections) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++m_openConnections;
        socket->setReadBufferSize(kMaxRequestBytes + 1);
        connect(socket, &QObject::destroyed, this, [this] { --m_openConnections; });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        QTimer::singleShot(kPeerTimeoutMs, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        if (socket->bytesAvailable() > 0) {
            onReadyRead(socket);
        }
    }
}

void SingleInstance::onReadyRead(QLocalSocket* socket) {
    const QByteArray request(kShowRequest);
    const qint64 available = socket->bytesAvailable();
    if (available < request.size()) {
        return;
    }
    const QByteArray data = socket->read(kMaxRequestBytes);
    if (data != request) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    socket->write(kShowReply);
    socket->flush();
    socket->disconnectFromServer();
    emit showRequested();
}

// Plain POSIX on purpose: the later process asks before any Qt application object exists.
bool SingleInstance::requestShow(int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    const QByteArray path = QFile::encodeName(m_serverPath);
    if (path.size() >= static_cast<qsizetype>(sizeof(sockaddr_un::sun_path))) {
        return false;
    }
    auto remainingMs = [&] {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        return static_cast<int>(left > 0 ? left : 0);
    };

    // The running process may have taken the lock but not be listening yet: try again briefly.
    while (true) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            return false;
        }
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::memcpy(addr.sun_path, path.constData(), static_cast<size_t>(path.size()));
        if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0) {
            bool confirmed = false;
            const QByteArray request(kShowRequest);
            if (::send(fd, request.constData(), static_cast<size_t>(request.size()), MSG_NOSIGNAL) == request.size()) {
                QByteArray reply;
                char buffer[16];
                while (reply.size() < 16) {
                    pollfd pfd{fd, POLLIN, 0};
                    const int ready = ::poll(&pfd, 1, remainingMs());
                    if (ready <= 0) {
                        break;
                    }
                    const ssize_t n = ::recv(fd, buffer, sizeof(buffer), 0);
                    if (n <= 0) {
                        break;
                    }
                    reply.append(buffer, n);
                    if (reply.contains('\n')) {
                        break;
                    }
                }
                confirmed = reply == QByteArray(kShowReply);
            }
            ::close(fd);
            return confirmed;
        }
        ::close(fd);
        if (remainingMs() < 50) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

} // namespace qm
