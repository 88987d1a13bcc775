// RIFF WAVE audio files (the Microsoft/IBM multimedia RIFF format), uncompressed PCM only.
#include "tray/WaveData.h"

#include <cstdint>

namespace qm {

namespace {

uint32_t readLe32(const QByteArray& bytes, qsizetype at) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData() + at);
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint16_t readLe16(const QByteArray& bytes, qsizetype at) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData() + at);
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

constexpr uint16_t kFormatPcm = 1;

} // namespace

std::optional<WaveData> ParseWave(const QByteArray& file) {
    if (file.size() < 12 || !file.startsWith("RIFF") || file.mid(8, 4) != "WAVE")
        return std::nullopt;
    WaveData wave;
    bool haveFormat = false;
    qsizetype at = 12;
    while (at + 8 <= file.size()) {
        const QByteArray id = file.mid(at, 4);
        const qint64 size = readLe32(file, at + 4);
        const qsizetype body = at + 8;
        const qint64 available = file.size() - body;
        if (id == "fmt ") {
            if (size < 16 || available < 16)
                return std::nullopt;
            if (readLe16(file, body) != kFormatPcm)
                return std::nullopt;
            wave.Channels = readLe16(file, body + 2);
            wave.SampleRate = static_cast<int>(std::min<uint32_t>(readLe32(file, body + 4), 1u << 30));
            wave.BitsPerSample = readLe16(file, body + 14);
            if (wave.Channels < 1 || wave.Channels > 8 || wave.SampleRate < 1000 || wave.SampleRate > 384000 ||
                (wave.BitsPerSample != 8 && wave.BitsPerSample != 16))
                return std::nullopt;
            haveFormat = true;
        } else if (id == "data") {
            if (!haveFormat)
                return std::nullopt;
            const qint64 frameBytes = static_cast<qint64>(wave.Channels) * (wave.BitsPerSample / 8);
            qint64 length = std::min(size, available);
            length -= length % frameBytes;
            if (length <= 0)
                return std::nullopt;
            wave.Samples = file.mid(body, length);
            return wave;
        }
        // Chunks are padded to an even length.
        const qint64 next = body + size + (size & 1);
        if (next > file.size())
            break;
        at = next;
    }
    return std::nullopt;
}

} // namespace qm
