#pragma once

#include <QByteArray>
#include <QDBusArgument>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QVariantMap>

class QImage;

namespace qm {

// One image of an icon as StatusNotifierItem hosts take it: ARGB32, each pixel in network byte order.
struct SniImage {
    int width = 0;
    int height = 0;
    QByteArray pixels;
};
using SniImageList = QList<SniImage>;

// The image of an icon in the form hosts draw; empty for a null image.
SniImageList SniImagesFromImage(const QImage& image);

// The item's tooltip: an icon name, images, a title and a description.
struct SniToolTip {
    QString iconName;
    SniImageList images;
    QString title;
    QString description;
};

// A node of an exported menu: an id, its properties and its children, each child in a variant.
struct DBusMenuLayoutItem {
    int id = 0;
    QVariantMap properties;
    QList<DBusMenuLayoutItem> children;
};

// The properties of one menu item, as GetGroupProperties answers.
struct DBusMenuItemProperties {
    int id = 0;
    QVariantMap properties;
};
using DBusMenuItemPropertiesList = QList<DBusMenuItemProperties>;

// Makes the types above known to Qt D-Bus; call before exporting an object that uses them.
void RegisterStatusNotifierTypes();

QDBusArgument& operator<<(QDBusArgument& argument, const SniImage& image);
const QDBusArgument& operator>>(const QDBusArgument& argument, SniImage& image);
QDBusArgument& operator<<(QDBusArgument& argument, const SniToolTip& tip);
const QDBusArgument& operator>>(const QDBusArgument& argument, SniToolTip& tip);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuLayoutItem& item);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuLayoutItem& item);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuItemProperties& item);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuItemProperties& item);

} // namespace qm

Q_DECLARE_METATYPE(qm::SniImage)
Q_DECLARE_METATYPE(qm::SniToolTip)
Q_DECLARE_METATYPE(qm::DBusMenuLayoutItem)
Q_DECLARE_METATYPE(qm::DBusMenuItemProperties)
