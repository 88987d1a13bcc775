#!/usr/bin/env python3
"""Writes the new-mail chime of Quillmere32: RIFF WAVE, PCM, 2 channels, 22050 Hz,
16 bits per sample, 29823 frames (119292 bytes of samples, about 1.35 s).

Two soft bell tones, the second a fifth above the first, each fading out; the
right channel lags slightly so the chime sounds wide. Deterministic: running
the script again gives the same bytes.

Usage: gen_wave.py [output path]   (default resources/tray/newmail.wav)
"""
import math
import os
import struct
import sys

RATE = 22050
CHANNELS = 2
BITS = 16
FRAMES = 29823


def tone(t, start, freq, decay):
    if t < start:
        return 0.0
    u = t - start
    attack = min(1.0, u / 0.008)
    env = attack * math.exp(-u / decay)
    # a bell: fundamental plus a quieter inharmonic partial
    return env * (math.sin(2 * math.pi * freq * u) + 0.3 * math.sin(2 * math.pi * freq * 2.76 * u))


def sample(t):
    s = 0.55 * tone(t, 0.0, 880.0, 0.28) + 0.5 * tone(t, 0.18, 1318.5, 0.35)
    # fade the last 50 ms to silence so the end never clicks
    tail = (FRAMES / RATE) - t
    if tail < 0.05:
        s *= max(0.0, tail / 0.05)
    return s


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(__file__), "..", "resources", "tray", "newmail.wav")
    data = bytearray()
    lag = 0.004
    for i in range(FRAMES):
        t = i / RATE
        left = sample(t)
        right = sample(t - lag) if t >= lag else 0.0
        for v in (left, right):
            data += struct.pack("<h", max(-32767, min(32767, int(round(v * 0.45 * 32767)))))
    block_align = CHANNELS * BITS // 8
    header = b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVE"
    header += b"fmt " + struct.pack("<IHHIIHH", 16, 1, CHANNELS, RATE, RATE * block_align, block_align, BITS)
    header += b"data" + struct.pack("<I", len(data))
    with open(out, "wb") as f:
        f.write(header + bytes(data))


if __name__ == "__main__":
    main()
