#include "tray/EnvelopeImages.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <array>
#include <cmath>

namespace qm {

namespace {

// Drawn on a grid of 16 units, where each unit is a pixel of the 16-pixel pictures.
constexpr int kUnits = 16;
const QColor kBorder(0x40, 0x40, 0x48);
const QColor kFlapPlain(0x96, 0x96, 0xA0);
const QColor kFlapRed(0x96, 0x00, 0x00);
const QColor kRed(0xDC, 0x18, 0x18);
// How many of the envelope's eight rows are red in each frame of the animation.
constexpr std::array<int, 12> kRedRows = {0, 1, 2, 4, 5, 7, 8, 7, 5, 4, 2, 1};

QImage paintEnvelope(qreal ratio, int redRows, bool crossed) {
    const int pixels = static_cast<int>(std::ceil(kUnits * ratio));
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(qreal(pixels) / kUnits, qreal(pixels) / kUnits);
    painter.fillRect(QRectF(1, 3, 14, 10), kBorder);
    painter.fillRect(QRectF(2, 4, 12, 8), Qt::white);
    if (redRows > 0)
        painter.fillRect(QRectF(2, 4, 12, redRows), kRed);
    const QPolygonF flap({{2.5, 4.5}, {5, 6.5}, {8, 8.5}, {11, 6.5}, {13.5, 4.5}});
    painter.setPen(QPen(redRows > 0 ? kFlapRed : kFlapPlain, 1.0, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.drawPolyline(flap);
    if (crossed) {
        // Two pixels wide across each row, from the row above the envelope to the row below it.
        painter.setPen(QPen(kRed, std::sqrt(2.0), Qt::SolidLine, Qt::FlatCap));
        painter.drawLine(QPointF(2.5, 2), QPointF(14.5, 14));
        painter.drawLine(QPointF(13.5, 2), QPointF(1.5, 14));
    }
    painter.end();
    image = image.convertToFormat(QImage::Format_ARGB32);
    image.setDevicePixelRatio(ratio);
    return image;
}

} // namespace

QList<QImage> PaintEnvelopeFrames(qreal ratio) {
    QList<QImage> frames;
    for (int rows : kRedRows)
        frames.append(paintEnvelope(ratio, rows, false));
    return frames;
}

QImage PaintStoppedEnvelope(qreal ratio) {
    return paintEnvelope(ratio, 0, true);
}

} // namespace qm
