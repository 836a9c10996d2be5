#pragma once

#include "platform/Dialogs.h"
#include "tray/DBusTrayTypes.h"

#include <QDBusContext>
#include <QObject>

// The tray menu, exported over DBusMenu for hosts that draw an item's menu
// themselves. Item ids are the menu's command ids, so a choice made on a
// layout that has changed since still names the same command.
class DBusMenuExporter : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ version)
    Q_PROPERTY(QString TextDirection READ textDirection)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QStringList IconThemePath READ iconThemePath)

public:
    static inline const QString kPath = QStringLiteral("/MenuBar");

    explicit DBusMenuExporter(QObject *parent = nullptr) : QObject(parent) {}

    // New items: hosts are told to fetch the layout again when they differ.
    void setItems(const QList<MenuItem> &items);
    const QList<MenuItem> &items() const { return m_items; }
    uint revision() const { return m_revision; }

    uint version() const { return 3; }
    QString textDirection() const { return QStringLiteral("ltr"); }
    QString status() const { return QStringLiteral("normal"); }
    QStringList iconThemePath() const { return {}; }

public slots:
    Q_SCRIPTABLE uint GetLayout(int parentId, int recursionDepth, const QStringList &propertyNames,
                                MenuLayoutItem &layout);
    Q_SCRIPTABLE QList<MenuItemProperties> GetGroupProperties(const QList<int> &ids,
                                                              const QStringList &propertyNames);
    Q_SCRIPTABLE QDBusVariant GetProperty(int id, const QString &name);
    Q_SCRIPTABLE void Event(int id, const QString &eventId, const QDBusVariant &data,
                            uint timestamp);
    Q_SCRIPTABLE QList<int> EventGroup(const QList<MenuEvent> &events);
    Q_SCRIPTABLE bool AboutToShow(int id);
    Q_SCRIPTABLE QList<int> AboutToShowGroup(const QList<int> &ids, QList<int> &idErrors);

signals:
    Q_SCRIPTABLE void ItemsPropertiesUpdated(const QList<MenuItemProperties> &updatedProps,
                                             const QList<MenuItemKeys> &removedProps);
    Q_SCRIPTABLE void LayoutUpdated(uint revision, int parent);
    Q_SCRIPTABLE void ItemActivationRequested(int id, uint timestamp);

    // Not on the bus: the host is about to show the menu (its items should
    // be current), and an item was clicked. Both come after the call has
    // been answered.
    void aboutToShow();
    void itemChosen(qint16 id);

private:
    bool knows(int id) const;
    QVariantMap properties(int id, const QStringList &names) const;
    bool clicked(int id, const QString &eventId);

    QList<MenuItem> m_items;
    uint m_revision = 1;
};
