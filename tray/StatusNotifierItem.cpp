#include "StatusNotifierItem.h"

#include <QStandardPaths>
#include <QTimer>

StatusNotifierItem::StatusNotifierItem(const QIcon &icon, const QString &title,
                                       const QString &menuPath, QObject *parent)
    : QObject(parent), m_title(title), m_menu(menuPath), m_pixmaps(iconPixmaps(icon))
{
}

QString StatusNotifierItem::id() const
{
    return QStringLiteral(TALVERO_APP_ID);
}

QString StatusNotifierItem::iconName() const
{
    // Hosts prefer a theme icon to pixmaps but draw a "missing" image for a
    // name the theme lacks, as when the program runs from its build folder.
    const QString installed = QStandardPaths::locate(
        QStandardPaths::GenericDataLocation,
        QStringLiteral("icons/hicolor/scalable/apps/%1.svg").arg(id()));
    return installed.isEmpty() ? QString() : id();
}

void StatusNotifierItem::Activate(int, int)
{
    QTimer::singleShot(0, this, &StatusNotifierItem::activated);
}

void StatusNotifierItem::SecondaryActivate(int, int)
{
    QTimer::singleShot(0, this, &StatusNotifierItem::secondaryActivated);
}

void StatusNotifierItem::ContextMenu(int x, int y)
{
    QTimer::singleShot(0, this, [this, x, y] { emit contextMenuRequested(QPoint(x, y)); });
}

void StatusNotifierItem::Scroll(int, const QString &) {}

void StatusNotifierItem::ProvideXdgActivationToken(const QString &token)
{
    // Qt's Wayland windows take the next activation's token from here.
    if (!token.isEmpty())
        qputenv("XDG_ACTIVATION_TOKEN", token.toUtf8());
}
