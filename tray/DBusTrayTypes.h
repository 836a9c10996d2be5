#pragma once

#include <QDBusArgument>
#include <QDBusVariant>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QVariantMap>

class QIcon;

// The D-Bus structures of the StatusNotifierItem and DBusMenu protocols.

// One image of an icon: ARGB32 pixels in network byte order.
struct IconPixmap {
    int width = 0;
    int height = 0;
    QByteArray bytes;
};
using IconPixmapList = QList<IconPixmap>;
// The icon drawn at the sizes hosts ask for most.
IconPixmapList iconPixmaps(const QIcon &icon);

struct ToolTipData {
    QString iconName;
    IconPixmapList image;
    QString title;
    QString description;
};

// A menu item with its properties and, in a layout, its children.
struct MenuLayoutItem {
    int id = 0;
    QVariantMap properties;
    QList<MenuLayoutItem> children;
};

struct MenuItemProperties {
    int id = 0;
    QVariantMap properties;
};
using MenuItemPropertiesList = QList<MenuItemProperties>;

struct MenuItemKeys {
    int id = 0;
    QStringList names;
};
using MenuItemKeysList = QList<MenuItemKeys>;

struct MenuEvent {
    int id = 0;
    QString eventId;
    QDBusVariant data;
    uint timestamp = 0;
};
using MenuEventList = QList<MenuEvent>;

Q_DECLARE_METATYPE(IconPixmap)
Q_DECLARE_METATYPE(ToolTipData)
Q_DECLARE_METATYPE(MenuLayoutItem)
Q_DECLARE_METATYPE(MenuItemProperties)
Q_DECLARE_METATYPE(MenuItemKeys)
Q_DECLARE_METATYPE(MenuEvent)

QDBusArgument &operator<<(QDBusArgument &arg, const IconPixmap &pixmap);
const QDBusArgument &operator>>(const QDBusArgument &arg, IconPixmap &pixmap);
QDBusArgument &operator<<(QDBusArgument &arg, const ToolTipData &tip);
const QDBusArgument &operator>>(const QDBusArgument &arg, ToolTipData &tip);
QDBusArgument &operator<<(QDBusArgument &arg, const MenuLayoutItem &item);
const QDBusArgument &operator>>(const QDBusArgument &arg, MenuLayoutItem &item);
QDBusArgument &operator<<(QDBusArgument &arg, const MenuItemProperties &item);
const QDBusArgument &operator>>(const QDBusArgument &arg, MenuItemProperties &item);
QDBusArgument &operator<<(QDBusArgument &arg, const MenuItemKeys &keys);
const QDBusArgument &operator>>(const QDBusArgument &arg, MenuItemKeys &keys);
QDBusArgument &operator<<(QDBusArgument &arg, const MenuEvent &event);
const QDBusArgument &operator>>(const QDBusArgument &arg, MenuEvent &event);

// Once, before an object using them is exported.
void registerDBusTrayTypes();
