#pragma once

#include "tray/WaveData.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

class QProcess;

namespace qm {

// Plays a wave from memory through a sound player program (pacat, else aplay), fed through its
// standard input. The caller never waits: a sound server that hangs only holds the player
// process, which is killed after KillAfter. Without a sound server or device nothing plays and
// nothing is reported. One sound at a time: a request while one plays is dropped.
class SoundPlayer : public QObject {
public:
    struct Command {
        QString Program;
        QStringList Arguments;
    };

    explicit SoundPlayer(QObject* parent = nullptr);
    ~SoundPlayer() override;

    // The player programs tried in order for a wave of this format; the next one is tried
    // when one is missing or fails.
    static QList<Command> PlayerCommands(const WaveData& wave);

    // Starts playing; false when the wave is unusable or a sound is still playing.
    bool Play(const QByteArray& waveFile);
    bool IsPlaying() const { return m_process != nullptr; }

    // How long one player may run before it is killed, in milliseconds.
    int KillAfter() const { return m_killAfterMs; }
    void SetKillAfter(int ms) { m_killAfterMs = ms; }
    void SetCommands(const QList<Command>& commands) { m_commandsOverride = commands; }

private:
    void startNext();
    void finishCurrent(bool tryNext);

    QList<Command> m_commandsOverride;
    QList<Command> m_pending;
    QByteArray m_samples;
    QProcess* m_process = nullptr;
    QTimer m_killTimer;
    int m_killAfterMs = 15000;
    bool m_killed = false;
};

// The one player the program's new-mail sound goes through.
SoundPlayer& NewMailSoundPlayer();

// Plays the new-mail chime once and returns at once.
void PlayNewMailSound();

} // namespace qm
