#include "tray/TrayResources.h"

#include "tray/EnvelopeImages.h"

#include <QFile>
#include <QGuiApplication>
#include <QPixmap>

#include <cmath>

// Resources of a static library are only linked in when something calls their initialiser.
static void initTrayResourceData() {
    Q_INIT_RESOURCE(tray);
}

namespace qm {

namespace {

// Pixels per point of the screen: above 1, pictures are drawn for it rather than blown up.
qreal screenRatio() {
    return qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
}

} // namespace

void InitTrayResources() {
    static const bool done = (initTrayResourceData(), true);
    (void)done;
}

QList<QImage> LoadImageStrip(const QString& path, int side) {
    InitTrayResources();
    QList<QImage> frames;
    const QImage strip(path);
    if (strip.isNull() || side <= 0 || strip.height() < side)
        return frames;
    const QImage argb = strip.convertToFormat(QImage::Format_ARGB32);
    for (int x = 0; x + side <= argb.width(); x += side)
        frames.append(argb.copy(x, 0, side, side));
    return frames;
}

QList<QImage> ImagesFromIcons(const QList<QIcon>& icons, int side) {
    QList<QImage> images;
    const qreal ratio = screenRatio();
    const int pixels = static_cast<int>(std::ceil(side * ratio));
    for (const QIcon& icon : icons) {
        // In the screen's pixels, side points across, whatever sizes the icon holds.
        QImage image = icon.pixmap(QSize(side, side), ratio).toImage().convertToFormat(QImage::Format_ARGB32);
        if (!image.isNull() && image.size() != QSize(pixels, pixels))
            image = image.scaled(pixels, pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        image.setDevicePixelRatio(ratio);
        images.append(image);
    }
    return images;
}

QList<QImage> TrayImagesIm1() {
    const qreal ratio = screenRatio();
    return ratio > 1.0 ? PaintEnvelopeFrames(ratio) : LoadImageStrip(QStringLiteral(":/tray/im1.png"));
}

QList<QImage> TrayImagesStopped() {
    const qreal ratio = screenRatio();
    return ratio > 1.0 ? QList<QImage>{PaintStoppedEnvelope(ratio)} : LoadImageStrip(QStringLiteral(":/tray/imStopped.png"));
}

QIcon ApplicationIcon() {
    InitTrayResources();
    return QIcon(QStringLiteral(":/tray/quillmere.png"));
}

QByteArray NewMailWave() {
    InitTrayResources();
    static const QByteArray wave = [] {
        QFile file(QStringLiteral(":/tray/MYWAVE"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    return wave;
}

} // namespace qm
