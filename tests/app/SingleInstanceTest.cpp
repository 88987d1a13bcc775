// One monitor per user: the lock, the show request and what the socket accepts.
#include "AppTestSupport.h"

#include "platform/gui/SingleInstance.h"

#include <QFile>
#include <QLockFile>
#include <QSignalSpy>

#include <fcntl.h>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qm::test {
namespace {

const QString kKey = QStringLiteral("qmLodestar");

class SingleInstanceTest : public ::testing::Test {
protected:
    QString runtimeDir() const { return QString::fromStdString(folder.path().string()) + QStringLiteral("/rt"); }

    // Sends raw bytes to the running instance's socket, as any local process could.
    static void sendRaw(const QString& path, const std::string& bytes) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        ASSERT_GE(fd, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        const QByteArray name = QFile::encodeName(path);
        std::memcpy(addr.sun_path, name.constData(), static_cast<size_t>(name.size()));
        ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
        size_t sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) {
                break; // the instance hung up on us
            }
            sent += static_cast<size_t>(n);
        }
        ::close(fd);
    }

    AppFolder folder;
};

TEST_F(SingleInstanceTest, SecondInstanceIsToldAndTheFirstAskedToShow) {
    SingleInstance first(kKey, runtimeDir());
    ASSERT_EQ(first.acquire(), SingleInstance::Role::Primary);
    ASSERT_TRUE(first.listen());
    QSignalSpy shown(&first, &SingleInstance::showRequested);

    SingleInstance second(kKey, runtimeDir());
    ASSERT_EQ(second.acquire(), SingleInstance::Role::Secondary);
    auto confirmed = std::async(std::launch::async, [&second] { return second.requestShow(5000); });
    EXPECT_TRUE(waitFor([&shown] { return shown.count() == 1; }));
    EXPECT_TRUE(confirmed.get());
    EXPECT_EQ(shown.count(), 1);
}

TEST_F(SingleInstanceTest, NamesCarryTheKeyAndTheUserId) {
    SingleInstance instance(kKey, runtimeDir());
    const QString name = QStringLiteral("qmLodestar-") + QString::number(::getuid());
    EXPECT_EQ(SingleInstance::instanceName(kKey), name);
    EXPECT_TRUE(instance.lockPath().endsWith(name + QStringLiteral(".lock")));
    EXPECT_TRUE(instance.serverPath().endsWith(QStringLiteral(".socket")));
}

TEST_F(SingleInstanceTest, AnythingButTheShowRequestIsIgnored) {
    SingleInstance first(kKey, runtimeDir());
    ASSERT_EQ(first.acquire(), SingleInstance::Role::Primary);
    ASSERT_TRUE(first.listen());
    QSignalSpy shown(&first, &SingleInstance::showRequested);

    const std::string inputs[] = {
        "hello\n", "SHOW\n", "show", "show\nshow\n", std::string(1 << 20, 'x'), std::string("sh\0w\n", 6)};
    for (const std::string& input : inputs) {
        auto done = std::async(std::launch::async, [this, &first, input] { sendRaw(first.serverPath(), input); });
        while (done.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
    }
    // A proper request after the junk still works, and is the only one that counted.
    SingleInstance second(kKey, runtimeDir());
    auto confirmed = std::async(std::launch::async, [&second] { return second.requestShow(5000); });
    EXPECT_TRUE(waitFor([&shown] { return shown.count() >= 1; }));
    EXPECT_TRUE(confirmed.get());
    EXPECT_EQ(shown.count(), 1);
}

TEST_F(SingleInstanceTest, LockOfADeadProcessDoesNotBlock) {
    QDir().mkpath(runtimeDir());
    SingleInstance probe(kKey, runtimeDir());
    // A child takes the lock and dies without releasing it, as a killed monitor would.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        QLockFile lock(probe.lockPath());
        lock.setStaleLockTime(0);
        ::_exit(lock.tryLock(0) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_TRUE(QFile::exists(probe.lockPath()));
    // The socket file a dead monitor leaves behind is in the way too.
    writeFile(probe.serverPath().toStdString(), "stale");

    SingleInstance next(kKey, runtimeDir());
    EXPECT_EQ(next.acquire(), SingleInstance::Role::Primary);
    EXPECT_TRUE(next.listen());
}

TEST_F(SingleInstanceTest, RequestWithoutAListenerGivesUp) {
    SingleInstance first(kKey, runtimeDir());
    ASSERT_EQ(first.acquire(), SingleInstance::Role::Primary); // locked, never listening
    SingleInstance second(kKey, runtimeDir());
    ASSERT_EQ(second.acquire(), SingleInstance::Role::Secondary);
    EXPECT_FALSE(second.requestShow(300));
}

TEST_F(SingleInstanceTest, FallbackRuntimeFolderMustBePrivateToTheUser) {
    const QString base = QString::fromStdString(folder.path().string());
    QString why;
    // Qt's own runtime folder is taken as it is.
    EXPECT_EQ(SingleInstance::PrivateRuntimeDir(base, base + QStringLiteral("/x"), &why), base);

    // A missing fallback is made private.
    const QString fresh = base + QStringLiteral("/runtime-fresh");
    EXPECT_EQ(SingleInstance::PrivateRuntimeDir(QString(), fresh, &why), fresh);
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(fresh).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    struct Row {
        const char* name;
        std::function<void(const QByteArray&)> plant;
        const char* reason;
    };
    const Row rows[] = {
        {"open to others",
         [](const QByteArray& p) {
             ::mkdir(p.constData(), 0700);
             ::chmod(p.constData(), 0777);
         },
         "open to other users"},
        {"a file", [](const QByteArray& p) { ::close(::open(p.constData(), O_CREAT | O_WRONLY, 0600)); },
         "not a folder"},
        {"another user's",
         [](const QByteArray& p) {
             ::mkdir(p.constData(), 0700);
             (void)::chown(p.constData(), 65534, 65534);
         },
         getuid() == 0 ? "belongs to another user" : nullptr},
    };
    for (const Row& row : rows) {
        if (row.reason == nullptr) {
            continue; // only root can give a folder away
        }
        const QString planted = base + QStringLiteral("/planted-") + QString::fromLatin1(row.name).replace(u' ', u'-');
        row.plant(QFile::encodeName(planted));
        why.clear();
        EXPECT_TRUE(SingleInstance::PrivateRuntimeDir(QString(), planted, &why).isEmpty()) << row.name;
        EXPECT_TRUE(why.contains(QString::fromLatin1(row.reason))) << row.name << ": " << why.toStdString();
    }
}

} // namespace
} // namespace qm::test
