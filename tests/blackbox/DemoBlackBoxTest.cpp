// The demo as run.sh starts it: the private Dovecot with its generated mailbox, the monitor on
// the demo folder under a private X server, its first check deleting the demo spam, and a clean
// end when the demo is stopped.
#include "BlackBoxSupport.h"

#include "TestPaths.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace qm::test {
namespace {

namespace fs = std::filesystem;

constexpr int kDemoMessages = 30;
constexpr int kDemoSpam = 4;

int messagesIn(const fs::path& maildir) {
    int count = 0;
    for (const char* sub : {"new", "cur"}) {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(maildir / sub, ec)) {
            count += entry.is_regular_file() ? 1 : 0;
        }
    }
    return count;
}

// The value of the demo's "<label>: <value>" line, once printed.
QString printed(const QByteArray& out, const char* label) {
    for (const QByteArray& line : out.split('\n')) {
        if (line.startsWith(label)) {
            return QString::fromUtf8(line.mid(static_cast<qsizetype>(qstrlen(label))).trimmed());
        }
    }
    return {};
}

TEST(Demo, ChecksTheGeneratedMailboxDeletesTheSpamAndCleansUp) {
    XServer x;
    ASSERT_TRUE(x.running());
    QTemporaryDir home(QStringLiteral(QM_TEST_TMP_DIR "/demo-XXXXXX"));
    QDir(home.path()).mkdir(QStringLiteral("runtime"));
    QFile::setPermissions(home.filePath(QStringLiteral("runtime")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment env = x.clientEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.filePath(QStringLiteral("runtime")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));

    QProcess demo;
    demo.setProcessEnvironment(env);
    demo.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    demo.start(QStringLiteral(QM_BUILD_DIR "/tools/quillmere-demo"), {QStringLiteral(QM_QUILLMERE_EXE)});
    ASSERT_TRUE(demo.waitForStarted(10000));
    QByteArray out;
    ASSERT_TRUE(waitFor(
        [&] {
            out += demo.readAllStandardOutput();
            return !printed(out, "Demo data folder:").isEmpty() || demo.state() == QProcess::NotRunning;
        },
        60000))
        << out.toStdString();
    const fs::path data = printed(out, "Demo data folder:").toStdString();
    const fs::path mail = printed(out, "Demo mail folders:").toStdString();
    const fs::path maildir = mail / "home/Maildir";
    ASSERT_FALSE(data.empty()) << out.toStdString();
    EXPECT_NE(out.indexOf("Demo mailbox: 30 messages (4 of them spam from offers@prize-draw.example)"), -1)
        << out.toStdString();
    EXPECT_TRUE(fs::exists(data / "quillmere.ini"));
    EXPECT_EQ(readFile(QString::fromStdString((data / "antiSpamList.txt").string())), "*@prize-draw.example\r\n");

    // The monitor's first check starts at once and deletes the spam on the server.
    EXPECT_TRUE(waitFor([&] { return messagesIn(maildir) == kDemoMessages - kDemoSpam; }, 60000))
        << messagesIn(maildir) << " messages left";
    // The IMAP account moves its unread spam (three of the four) to the junk folder.
    EXPECT_TRUE(waitFor([&] { return messagesIn(mail / "home-qmtest2/Maildir/.Junk") == kDemoSpam - 1; }, 60000));

    // The console check sees the rest of the generated mailbox through the same folder.
    QProcess check;
    check.start(QStringLiteral(QM_BUILD_DIR "/quillmere-check"),
                {QStringLiteral("--dir"), QString::fromStdString(data.string())});
    ASSERT_TRUE(check.waitForFinished(60000));
    const QByteArray checkOut = check.readAllStandardOutput();
    EXPECT_EQ(check.exitCode(), 0) << checkOut.toStdString();
    EXPECT_NE(checkOut.indexOf("you have 53 messages in total."), -1) << checkOut.toStdString();

    // Ending the demo ends the monitor, stops the server and removes both folders.
    demo.terminate();
    ASSERT_TRUE(demo.waitForFinished(30000));
    out += demo.readAllStandardOutput();
    EXPECT_EQ(demo.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(demo.exitCode(), 0) << out.toStdString();
    EXPECT_FALSE(fs::exists(data));
    EXPECT_FALSE(fs::exists(mail));
}

} // namespace
} // namespace qm::test
