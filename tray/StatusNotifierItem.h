#pragma once

#include "tray/DBusTrayTypes.h"

#include <QDBusObjectPath>
#include <QIcon>
#include <QObject>
#include <QPoint>

// The icon's face on the session bus (org.kde.StatusNotifierItem): what it
// shows and the host's clicks. A menu of its own is exported beside it; the
// item is not a menu, so a left click stays show/hide. Every call from the
// host is answered at once; what it asks for follows from the event loop.
class StatusNotifierItem : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(int WindowId READ windowId)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ menu)
    Q_PROPERTY(QString IconThemePath READ emptyText)
    Q_PROPERTY(QString IconName READ iconName)
    Q_PROPERTY(IconPixmapList IconPixmap READ iconPixmap)
    Q_PROPERTY(QString OverlayIconName READ emptyText)
    Q_PROPERTY(IconPixmapList OverlayIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionIconName READ emptyText)
    Q_PROPERTY(IconPixmapList AttentionIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionMovieName READ emptyText)
    Q_PROPERTY(ToolTipData ToolTip READ toolTip)

public:
    static inline const QString kPath = QStringLiteral("/StatusNotifierItem");

    StatusNotifierItem(const QIcon &icon, const QString &title, const QString &menuPath,
                       QObject *parent = nullptr);

    QString category() const { return QStringLiteral("ApplicationStatus"); }
    QString id() const;
    QString title() const { return m_title; }
    QString status() const { return QStringLiteral("Active"); }
    int windowId() const { return 0; }
    bool itemIsMenu() const { return false; }
    QDBusObjectPath menu() const { return m_menu; }
    QString iconName() const;
    IconPixmapList iconPixmap() const { return m_pixmaps; }
    IconPixmapList noPixmaps() const { return {}; }
    QString emptyText() const { return {}; }
    ToolTipData toolTip() const { return {QString(), {}, m_title, QString()}; }

public slots:
    Q_SCRIPTABLE void Activate(int x, int y);
    Q_SCRIPTABLE void SecondaryActivate(int x, int y);
    Q_SCRIPTABLE void ContextMenu(int x, int y);
    Q_SCRIPTABLE void Scroll(int delta, const QString &orientation);
    Q_SCRIPTABLE void ProvideXdgActivationToken(const QString &token);

signals:
    Q_SCRIPTABLE void NewTitle();
    Q_SCRIPTABLE void NewIcon();
    Q_SCRIPTABLE void NewToolTip();
    Q_SCRIPTABLE void NewStatus(const QString &status);

    // Not on the bus.
    void activated();
    void secondaryActivated();
    void contextMenuRequested(QPoint at);

private:
    QString m_title;
    QDBusObjectPath m_menu;
    IconPixmapList m_pixmaps;
};
