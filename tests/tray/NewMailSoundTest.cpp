#include "tray/NewMailSound.h"
#include "ScratchDir.h"
#include "tray/TrayResources.h"
#include "tray/WaveData.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdint>

namespace qm {
namespace {

QByteArray le32(uint32_t v) {
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i)
        b[i] = static_cast<char>((v >> (8 * i)) & 0xff);
    return b;
}

QByteArray le16(uint16_t v) {
    return le32(v).left(2);
}

QByteArray fmtChunk(uint16_t format, uint16_t channels, uint32_t rate, uint16_t bits) {
    const uint16_t align = static_cast<uint16_t>(channels * bits / 8);
    return "fmt " + le32(16) + le16(format) + le16(channels) + le32(rate) + le32(rate * align) + le16(align) +
           le16(bits);
}

QByteArray riff(const QByteArray& chunks) {
    return "RIFF" + le32(static_cast<uint32_t>(4 + chunks.size())) + "WAVE" + chunks;
}

TEST(WaveData, TheChimeIsStereo22kHz16BitOfAboutOneAndAThirdSeconds) {
    const std::optional<WaveData> wave = ParseWave(NewMailWave());
    ASSERT_TRUE(wave);
    EXPECT_EQ(wave->Channels, 2);
    EXPECT_EQ(wave->SampleRate, 22050);
    EXPECT_EQ(wave->BitsPerSample, 16);
    EXPECT_EQ(wave->Samples.size(), 119292);
}

TEST(WaveData, DamagedOrForeignFilesAreRefused) {
    const QByteArray pcm = fmtChunk(1, 2, 22050, 16);
    const QByteArray data = "data" + le32(8) + QByteArray(8, 'x');
    struct Row {
        const char* what;
        QByteArray file;
        qsizetype samples; // -1: refused
    };
    const Row rows[] = {
        {"plain", riff(pcm + data), 8},
        {"empty", QByteArray(), -1},
        {"not RIFF", "RIFX" + riff(pcm + data).mid(4), -1},
        {"data before fmt", riff(data + pcm), -1},
        {"compressed", riff(fmtChunk(2, 2, 22050, 16) + data), -1},
        {"no channels", riff(fmtChunk(1, 0, 22050, 16) + data), -1},
        {"24 bits", riff(fmtChunk(1, 2, 22050, 24) + data), -1},
        {"fmt cut short", riff("fmt " + le32(16) + le16(1)), -1},
        {"data size beyond the file", riff(pcm + "data" + le32(0xFFFFFFF0u) + QByteArray(10, 'x')), 8},
        {"half a frame", riff(pcm + "data" + le32(3) + "abc"), -1},
        {"odd chunk padded", riff("LIST" + le32(3) + "abc" + QByteArray(1, '\0') + pcm + data), 8},
        {"chunk size beyond the file", riff(pcm + "junk" + le32(0x7FFFFFFF)), -1},
    };
    for (const Row& row : rows) {
        const std::optional<WaveData> wave = ParseWave(row.file);
        if (row.samples < 0) {
            EXPECT_FALSE(wave) << row.what;
            continue;
        }
        EXPECT_TRUE(wave) << row.what;
        if (wave) {
            EXPECT_EQ(wave->Samples.size(), row.samples) << row.what;
        }
    }
}

// Points the sound players at a sound server socket for the length of a test.
class SoundServerEnvironment {
public:
    explicit SoundServerEnvironment(const QString& socketPath)
        : m_old(qgetenv("PULSE_SERVER")), m_hadOld(qEnvironmentVariableIsSet("PULSE_SERVER")) {
        qputenv("PULSE_SERVER", "unix:" + socketPath.toLocal8Bit());
    }
    ~SoundServerEnvironment() {
        if (m_hadOld)
            qputenv("PULSE_SERVER", m_old);
        else
            qunsetenv("PULSE_SERVER");
    }

private:
    QByteArray m_old;
    bool m_hadOld;
};

// A name in a folder of the running test's own: sockets and markers of parallel runs never meet.
QString ScratchPath(const char* name) {
    return QString::fromStdString((test::ScratchDir("sound") / name).string());
}

void requirePlayers() {
    // The test command installs both; a missing one would hide what these tests are about.
    ASSERT_FALSE(QStandardPaths::findExecutable(QStringLiteral("pacat")).isEmpty()) << "pulseaudio-utils missing";
    ASSERT_FALSE(QStandardPaths::findExecutable(QStringLiteral("aplay")).isEmpty()) << "alsa-utils missing";
}

TEST(NewMailSound, AHangingSoundServerNeverHoldsTheCaller) {
    requirePlayers();
    const QString path = ScratchPath("hanging-sound-server");
    QLocalServer::removeServer(path);
    QLocalServer server;
    ASSERT_TRUE(server.listen(path));
    QList<QLocalSocket*> accepted; // accepted and never answered
    QObject::connect(&server, &QLocalServer::newConnection, [&] {
        while (QLocalSocket* socket = server.nextPendingConnection())
            accepted.append(socket);
    });
    SoundServerEnvironment environment(path);

    SoundPlayer& player = NewMailSoundPlayer();
    player.SetKillAfter(1500);
    PlayNewMailSound(); // returns although the server will never answer
    EXPECT_TRUE(player.IsPlaying());
    QTRY_VERIFY_WITH_TIMEOUT(!accepted.isEmpty(), 20000);
    // The event loop runs on while the player waits for the server, and a second sound is refused.
    EXPECT_FALSE(player.Play(NewMailWave()));
    QTRY_VERIFY_WITH_TIMEOUT(!player.IsPlaying(), 30000);
    player.SetKillAfter(15000);
}

TEST(NewMailSound, WithoutASoundServerOrDeviceNothingPlaysAndNothingHangs) {
    requirePlayers();
    SoundServerEnvironment environment(ScratchPath("no-such-sound-server"));
    SoundPlayer player;
    player.SetKillAfter(10 * 60 * 1000); // the players must give up by themselves
    EXPECT_TRUE(player.Play(NewMailWave()));
    QTRY_VERIFY_WITH_TIMEOUT(!player.IsPlaying(), 60000);
    // And again: a finished attempt leaves the player ready.
    EXPECT_TRUE(player.Play(NewMailWave()));
    QTRY_VERIFY_WITH_TIMEOUT(!player.IsPlaying(), 60000);
}

TEST(NewMailSound, MissingPlayerProgramsAreSkippedQuietly) {
    SoundPlayer player;
    player.SetCommands({{QStringLiteral("quillmere-no-such-player"), {}}});
    EXPECT_FALSE(player.Play(NewMailWave()));
    EXPECT_FALSE(player.IsPlaying());
    EXPECT_FALSE(player.Play(QByteArray("not a wave")));
}

TEST(NewMailSound, AFailingPlayerHandsOverToTheNext) {
    SoundPlayer player;
    const QString marker = ScratchPath("second-player-ran");
    player.SetCommands({{QStringLiteral("false"), {}},
                        {QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("cat > \"$0\""), marker}}});
    EXPECT_TRUE(player.Play(NewMailWave()));
    QTRY_VERIFY_WITH_TIMEOUT(!player.IsPlaying(), 30000);
    QFile written(marker);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    // The second player got exactly the samples, without the file header.
    EXPECT_EQ(written.readAll(), ParseWave(NewMailWave())->Samples);
}

} // namespace
} // namespace qm
