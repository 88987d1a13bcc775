#include "tray/NewMailSound.h"

#include "tray/TrayResources.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>

namespace qm {

SoundPlayer::SoundPlayer(QObject* parent) : QObject(parent) {
    m_killTimer.setSingleShot(true);
    connect(&m_killTimer, &QTimer::timeout, this, [this] {
        if (m_process) {
            m_killed = true;
            m_process->kill();
        }
    });
}

SoundPlayer::~SoundPlayer() {
    if (m_process) {
        m_process->disconnect(this);
        m_process->kill();
        // Reap the killed player so no zombie outlives us; SIGKILL makes this immediate.
        m_process->waitForFinished(1000);
        delete m_process;
    }
}

QList<SoundPlayer::Command> SoundPlayer::PlayerCommands(const WaveData& wave) {
    const QString rate = QString::number(wave.SampleRate);
    const QString channels = QString::number(wave.Channels);
    const bool wide = wave.BitsPerSample == 16;
    return {
        {QStringLiteral("pacat"),
         {QStringLiteral("--playback"), QStringLiteral("--raw"),
          wide ? QStringLiteral("--format=s16le") : QStringLiteral("--format=u8"), QStringLiteral("--rate=") + rate,
          QStringLiteral("--channels=") + channels, QStringLiteral("--client-name=quillmere"),
          QStringLiteral("--stream-name=new mail")}},
        {QStringLiteral("aplay"),
         {QStringLiteral("-q"), QStringLiteral("-t"), QStringLiteral("raw"), QStringLiteral("-f"),
          wide ? QStringLiteral("S16_LE") : QStringLiteral("U8"), QStringLiteral("-r"), rate, QStringLiteral("-c"),
          channels, QStringLiteral("-")}},
    };
}

bool SoundPlayer::Play(const QByteArray& waveFile) {
    if (m_process)
        return false;
    const std::optional<WaveData> wave = ParseWave(waveFile);
    if (!wave)
        return false;
    m_samples = wave->Samples;
    m_pending = m_commandsOverride.isEmpty() ? PlayerCommands(*wave) : m_commandsOverride;
    startNext();
    return m_process != nullptr;
}

void SoundPlayer::startNext() {
    while (!m_pending.isEmpty()) {
        const Command command = m_pending.takeFirst();
        const QString program = QStandardPaths::findExecutable(command.Program);
        if (program.isEmpty())
            continue;
        m_killed = false;
        auto* process = new QProcess(this);
        m_process = process;
        m_process->setProgram(program);
        m_process->setArguments(command.Arguments);
        // A missing sound server is not worth a word: the player's complaints go nowhere.
        m_process->setStandardOutputFile(QProcess::nullDevice());
        m_process->setStandardErrorFile(QProcess::nullDevice());
        connect(m_process, &QProcess::finished, this, [this](int exitCode, QProcess::ExitStatus status) {
            finishCurrent(!m_killed && (status != QProcess::NormalExit || exitCode != 0));
        });
        connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart)
                finishCurrent(true);
        });
        process->start(QIODevice::WriteOnly);
        if (m_process != process)
            return; // failed at once; the failure handler has moved on to the next player
        // Buffered by QProcess and written as the player reads; never waits here.
        m_process->write(m_samples);
        m_process->closeWriteChannel();
        m_killTimer.start(m_killAfterMs);
        return;
    }
    m_samples.clear();
}

void SoundPlayer::finishCurrent(bool tryNext) {
    if (!m_process)
        return;
    m_killTimer.stop();
    QProcess* done = m_process;
    m_process = nullptr;
    done->disconnect(this);
    done->deleteLater();
    if (tryNext)
        startNext();
    else
        m_pending.clear();
}

SoundPlayer& NewMailSoundPlayer() {
    static QPointer<SoundPlayer> player;
    if (!player)
        player = new SoundPlayer(QCoreApplication::instance());
    return *player;
}

void PlayNewMailSound() {
    if (!QCoreApplication::instance())
        return;
    NewMailSoundPlayer().Play(NewMailWave());
}

} // namespace qm
