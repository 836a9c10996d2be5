#include "DBusMenuExporter.h"

#include <QTimer>

namespace {
const QString kUnknownId = QStringLiteral("com.canonical.dbusmenu.UnknownId");
}

void DBusMenuExporter::setItems(const QList<MenuItem> &items)
{
    const bool same = items.size() == m_items.size()
                      && std::equal(items.begin(), items.end(), m_items.begin(),
                                    [](const MenuItem &a, const MenuItem &b) {
                                        return a.id == b.id && a.label == b.label
                                               && a.checked == b.checked;
                                    });
    if (same)
        return;
    m_items = items;
    ++m_revision;
    // A check mark changes the item's kind in some hosts; they rebuild it
    // from the new layout.
    emit LayoutUpdated(m_revision, 0);
}

bool DBusMenuExporter::knows(int id) const
{
    return id == 0 || std::any_of(m_items.begin(), m_items.end(), [id](const MenuItem &item) {
               return item.id == id;
           });
}

QVariantMap DBusMenuExporter::properties(int id, const QStringList &names) const
{
    QVariantMap all;
    if (id == 0) {
        all.insert(QStringLiteral("children-display"), QStringLiteral("submenu"));
    } else {
        for (const MenuItem &item : m_items) {
            if (item.id != id)
                continue;
            all.insert(QStringLiteral("label"), item.label);
            all.insert(QStringLiteral("enabled"), true);
            all.insert(QStringLiteral("visible"), true);
            // Only the item showing the value in force carries a mark.
            if (item.checked) {
                all.insert(QStringLiteral("toggle-type"), QStringLiteral("checkmark"));
                all.insert(QStringLiteral("toggle-state"), 1);
            }
        }
    }
    if (names.isEmpty())
        return all;
    QVariantMap chosen;
    for (const QString &name : names)
        if (all.contains(name))
            chosen.insert(name, all.value(name));
    return chosen;
}

uint DBusMenuExporter::GetLayout(int parentId, int recursionDepth, const QStringList &propertyNames,
                                 MenuLayoutItem &layout)
{
    if (!knows(parentId)) {
        sendErrorReply(kUnknownId, QStringLiteral("No menu item %1").arg(parentId));
        return m_revision;
    }
    layout = MenuLayoutItem{parentId, properties(parentId, propertyNames), {}};
    if (parentId == 0 && recursionDepth != 0)
        for (const MenuItem &item : m_items)
            layout.children.append({item.id, properties(item.id, propertyNames), {}});
    return m_revision;
}

QList<MenuItemProperties> DBusMenuExporter::GetGroupProperties(const QList<int> &ids,
                                                               const QStringList &propertyNames)
{
    QList<int> wanted = ids;
    if (wanted.isEmpty()) {
        wanted << 0;
        for (const MenuItem &item : m_items)
            wanted << item.id;
    }
    QList<MenuItemProperties> list;
    for (int id : wanted)
        if (knows(id))
            list.append({id, properties(id, propertyNames)});
    return list;
}

QDBusVariant DBusMenuExporter::GetProperty(int id, const QString &name)
{
    const QVariantMap all = properties(id, {});
    if (!knows(id) || !all.contains(name)) {
        sendErrorReply(kUnknownId, QStringLiteral("No property %1 of item %2").arg(name).arg(id));
        return QDBusVariant(QString());
    }
    return QDBusVariant(all.value(name));
}

bool DBusMenuExporter::clicked(int id, const QString &eventId)
{
    if (!knows(id))
        return false;
    if (id != 0 && eventId == QLatin1String("clicked")) {
        // The host's call is answered first; the command may open a box.
        QTimer::singleShot(0, this, [this, id] { emit itemChosen(qint16(id)); });
    }
    return true;
}

void DBusMenuExporter::Event(int id, const QString &eventId, const QDBusVariant &, uint)
{
    // An unknown id (a stale layout of another program's) changes nothing.
    clicked(id, eventId);
}

QList<int> DBusMenuExporter::EventGroup(const QList<MenuEvent> &events)
{
    QList<int> idErrors;
    for (const MenuEvent &event : events)
        if (!clicked(event.id, event.eventId))
            idErrors << event.id;
    return idErrors;
}

bool DBusMenuExporter::AboutToShow(int id)
{
    const uint before = m_revision;
    if (id == 0)
        emit aboutToShow();
    return m_revision != before;
}

QList<int> DBusMenuExporter::AboutToShowGroup(const QList<int> &ids, QList<int> &idErrors)
{
    QList<int> updates;
    for (int id : ids) {
        if (!knows(id))
            idErrors << id;
        else if (AboutToShow(id))
            updates << id;
    }
    return updates;
}
