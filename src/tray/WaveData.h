#pragma once

#include <QByteArray>

#include <optional>

namespace qm {

// The PCM samples of a RIFF WAVE file and their format.
struct WaveData {
    int Channels = 0;
    int SampleRate = 0;
    int BitsPerSample = 0;
    QByteArray Samples; // whole frames only
};

// Reads an uncompressed PCM RIFF WAVE file (8 or 16 bits). Returns nothing for anything else or
// for a damaged file; a data chunk cut short yields the frames that are there.
std::optional<WaveData> ParseWave(const QByteArray& file);

} // namespace qm
