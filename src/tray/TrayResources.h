#pragma once

#include <QByteArray>
#include <QIcon>
#include <QImage>
#include <QList>
#include <QString>

namespace qm {

// Makes the tray's compiled-in pictures and sound reachable under ":/tray/".
void InitTrayResources();

// Cuts a strip of square frames (side x side, left to right) into separate images.
QList<QImage> LoadImageStrip(const QString& path, int side = 16);

// Renders icons as images of side x side points in the pixels of the screen, for IconList.
QList<QImage> ImagesFromIcons(const QList<QIcon>& icons, int side = 16);

// The envelope animation: 0 a plain envelope, 1 to 11 filling with red and emptying. On a scaled
// screen these (and the stopped envelope) are drawn in its pixels.
QList<QImage> TrayImagesIm1();
// One image: the envelope with a red cross.
QList<QImage> TrayImagesStopped();
QIcon ApplicationIcon();

// The new-mail chime, a RIFF WAVE file held in memory.
QByteArray NewMailWave();

} // namespace qm
