#include "tray/TrayResources.h"

#include <QFile>
#include <QPixmap>

// Resources of a static library are only linked in when something calls their initialiser.
static void initTrayResourceData() {
    Q_INIT_RESOURCE(tray);
}

namespace qm {

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
    for (const QIcon& icon : icons) {
        QImage image = icon.pixmap(QSize(side, side)).toImage().convertToFormat(QImage::Format_ARGB32);
        // A pixmap of a high-density screen comes back larger; the tray works in plain pixels.
        if (!image.isNull() && image.size() != QSize(side, side))
            image = image.scaled(side, side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        images.append(image);
    }
    return images;
}

QList<QImage> TrayImagesIm1() {
    return LoadImageStrip(QStringLiteral(":/tray/im1.png"));
}

QList<QImage> TrayImagesStopped() {
    return LoadImageStrip(QStringLiteral(":/tray/imStopped.png"));
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
