#!/usr/bin/env python3
"""Draws the tray pictures of Quillmere32 as PNG files (no third-party modules).

Writes into the folder given as the first argument (default resources/tray):
  im1.png        12 frames of 16x16 side by side: a white envelope, then the
                 envelope filling with red from its flap downwards and emptying
  imStopped.png  one 16x16 frame: the envelope with a red cross
  quillmere.png  the 48x48 application icon
"""
import os
import struct
import sys
import zlib

TRANSPARENT = (0, 0, 0, 0)
OUTLINE = (64, 64, 72, 255)
PAPER = (255, 255, 255, 255)
FLAP = (150, 150, 160, 255)
RED = (220, 24, 24, 255)
DARK_RED = (150, 0, 0, 255)


def write_png(path, width, height, pixels):
    """pixels: list of rows, each a list of RGBA tuples."""
    raw = bytearray()
    for row in pixels:
        raw.append(0)
        for r, g, b, a in row:
            raw += bytes((r, g, b, a))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def blank(w, h):
    return [[TRANSPARENT for _ in range(w)] for _ in range(h)]


def line(img, x0, y0, x1, y1, colour):
    dx, dy = abs(x1 - x0), -abs(y1 - y0)
    sx, sy = (1 if x0 < x1 else -1), (1 if y0 < y1 else -1)
    err = dx + dy
    while True:
        img[y0][x0] = colour
        if x0 == x1 and y0 == y1:
            return
        e2 = 2 * err
        if e2 >= dy:
            err += dy
            x0 += sx
        if e2 <= dx:
            err += dx
            y0 += sy


# The 16x16 envelope: body from (1,3) to (14,12), flap meeting at the middle.
LEFT, TOP, RIGHT, BOTTOM = 1, 3, 14, 12


def envelope(red_rows=0):
    """red_rows: how many interior rows, counted from the flap down, are red."""
    img = blank(16, 16)
    for y in range(TOP + 1, BOTTOM):
        for x in range(LEFT + 1, RIGHT):
            inside_red = y - (TOP + 1) < red_rows
            img[y][x] = RED if inside_red else PAPER
    for x in range(LEFT, RIGHT + 1):
        img[TOP][x] = OUTLINE
        img[BOTTOM][x] = OUTLINE
    for y in range(TOP, BOTTOM + 1):
        img[y][LEFT] = OUTLINE
        img[y][RIGHT] = OUTLINE
    flap = DARK_RED if red_rows else FLAP
    line(img, LEFT + 1, TOP + 1, 7, 8, flap)
    line(img, RIGHT - 1, TOP + 1, 8, 8, flap)
    return img


def cross(img):
    for i in range(2, 14):
        for dx in (0, 1):
            x1 = min(15, i + dx)
            img[i][x1] = RED
            img[i][15 - x1] = RED
    return img


def strip(frames):
    rows = []
    for y in range(16):
        row = []
        for f in frames:
            row += f[y]
        rows.append(row)
    return rows


def app_icon(size=48):
    """A big envelope with a red dot, drawn with 4x4 supersampling."""
    ss = 4

    def sample(px, py):
        x, y = px / size, py / size
        # red dot top right
        if (x - 0.78) ** 2 + (y - 0.24) ** 2 < 0.17 ** 2:
            return RED
        if 0.06 <= x <= 0.94 and 0.28 <= y <= 0.86:
            if x < 0.09 or x > 0.91 or y < 0.31 or y > 0.83:
                return OUTLINE
            # flap: two lines from the top corners to the centre
            for cx in (0.09, 0.91):
                t = (y - 0.31) / (0.60 - 0.31)
                fx = cx + (0.5 - cx) * t
                if 0 <= t <= 1 and abs(x - fx) < 0.025:
                    return FLAP
            return PAPER
        return TRANSPARENT

    img = blank(size, size)
    for py in range(size):
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(ss):
                for sx in range(ss):
                    r, g, b, a = sample(px + (sx + 0.5) / ss, py + (sy + 0.5) / ss)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            a = acc[3]
            if a:
                img[py][px] = (acc[0] // a, acc[1] // a, acc[2] // a, a // (ss * ss))
    return img


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "resources", "tray")
    os.makedirs(out, exist_ok=True)
    # 0 plain, 1-6 filling from the flap down, 7-11 emptying again.
    levels = [0, 1, 2, 4, 5, 7, 8, 7, 5, 4, 2, 1]
    frames = [envelope(n) for n in levels]
    write_png(os.path.join(out, "im1.png"), 16 * len(frames), 16, strip(frames))
    write_png(os.path.join(out, "imStopped.png"), 16, 16, cross(envelope(0)))
    write_png(os.path.join(out, "quillmere.png"), 48, 48, app_icon(48))


if __name__ == "__main__":
    main()
