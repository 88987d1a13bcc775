#pragma once

#include <QImage>
#include <QList>

namespace qm {

// The tray's envelope pictures drawn for a screen of the given scale factor, at 16 points each in
// that screen's pixels: the twelve frames of the animation (0 plain, then filling with red and
// emptying) and the envelope with a red cross. Their 16-pixel look, without blowing it up.
QList<QImage> PaintEnvelopeFrames(qreal ratio);
QImage PaintStoppedEnvelope(qreal ratio);

} // namespace qm
