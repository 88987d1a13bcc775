#pragma once

#include <QColor>
#include <QImage>
#include <QList>

namespace qm::test {

// Twelve distinguishable 16x16 frames: frame i is filled with grey level 10 * i + 5.
inline QList<QImage> numberedFrames(int count = 12) {
    QList<QImage> frames;
    for (int i = 0; i < count; ++i) {
        QImage frame(16, 16, QImage::Format_ARGB32);
        frame.fill(QColor(10 * i + 5, 10 * i + 5, 10 * i + 5));
        frames.append(frame);
    }
    return frames;
}

// Which numbered frame an icon shows, or -1 for none of them.
inline int frameNumber(const QImage& icon) {
    if (icon.isNull())
        return -1;
    const int grey = qRed(icon.pixel(8, 8));
    return (grey - 5) % 10 == 0 ? (grey - 5) / 10 : -1;
}

} // namespace qm::test
