#include "ui/ImageLists.h"

#include <QIcon>
#include <QPainter>
#include <QString>
#include <QSvgRenderer>

#include <array>

// The pictures are compiled into this static library; the resource must be registered by name
// before the first lookup, and only from outside any namespace.
static void initImageResources() {
    Q_INIT_RESOURCE(quillmere_images);
}

namespace qm {

namespace {

constexpr std::array<const char*, kActionImageCount> kActionFiles = {
    ":/images/action0_check_all.svg",     ":/images/action1_show_addresses.svg", ":/images/action2_edit.svg",
    ":/images/action3_edit_disabled.svg", ":/images/action4_delete.svg",         ":/images/action5_mail_client.svg",
    ":/images/action6_add.svg",           ":/images/action7_uncheck_all.svg",
};

constexpr std::array<const char*, kConnectImageCount> kConnectFiles = {
    ":/images/connect0_idle.svg",
    ":/images/connect1_connected.svg",
    ":/images/connect2_connecting.svg",
    ":/images/connect3_disabled.svg",
};

constexpr std::array<const char*, kMessListImageCount> kMessListFiles = {
    ":/images/messlist0_addresses.svg",
    ":/images/messlist1_to_antispam.svg",
    ":/images/messlist2_close.svg",
};

void ensureResources() {
    static const bool done = [] {
        initImageResources();
        return true;
    }();
    (void)done;
}

QPixmap render(const char* file, int size) {
    ensureResources();
    QSvgRenderer renderer(QString::fromLatin1(file));
    if (!renderer.isValid() || size <= 0)
        return {};
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    return pixmap;
}

QIcon icon(const char* file) {
    // The 16 x 16 picture is the one the lists show; larger sizes for high-DPI screens.
    QIcon result;
    for (int size : {16, 32, 48}) {
        const QPixmap pixmap = render(file, size);
        if (!pixmap.isNull())
            result.addPixmap(pixmap);
    }
    return result;
}

} // namespace

QPixmap ActionPixmap(int index, int size) {
    if (index < 0 || index >= kActionImageCount)
        return {};
    return render(kActionFiles[static_cast<std::size_t>(index)], size);
}

QPixmap ConnectPixmap(int index, int size) {
    if (index < 0 || index >= kConnectImageCount)
        return {};
    return render(kConnectFiles[static_cast<std::size_t>(index)], size);
}

QIcon ActionImage(int index) {
    if (index < 0 || index >= kActionImageCount)
        return {};
    return icon(kActionFiles[static_cast<std::size_t>(index)]);
}

QIcon ConnectImage(int index) {
    if (index < 0 || index >= kConnectImageCount)
        return {};
    return icon(kConnectFiles[static_cast<std::size_t>(index)]);
}

QIcon MessListImage(int index) {
    if (index < 0 || index >= kMessListImageCount)
        return {};
    return icon(kMessListFiles[static_cast<std::size_t>(index)]);
}

} // namespace qm
