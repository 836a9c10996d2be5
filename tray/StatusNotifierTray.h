#pragma once

#include <QDBusConnection>
#include <QIcon>
#include <QObject>
#include <QPoint>

class DBusMenuExporter;
class QDBusServiceWatcher;
class StatusNotifierItem;

// The icon as a StatusNotifierItem with its DBusMenu, registered with the
// session's StatusNotifierWatcher. Follows the watcher for the whole run: a
// watcher that appears late, goes away or restarts is noticed, and the item
// registers again with each new one while it is wanted.
class StatusNotifierTray : public QObject
{
    Q_OBJECT

public:
    explicit StatusNotifierTray(QObject *parent = nullptr);
    ~StatusNotifierTray() override;

    // A watcher owns its name on the session bus.
    bool watcherPresent() const { return m_watcherPresent; }
    // Puts the item on the bus; false without a watcher.
    bool show(const QIcon &icon, const QString &title);
    void hide();
    // The watcher took the item and has a host that shows it.
    bool isShown() const { return m_item && m_registered && m_hostRegistered; }
    DBusMenuExporter *menu() const { return m_menu; }

signals:
    // The watcher, its host or the item's registration changed.
    void changed();
    void activated();
    void secondaryActivated();
    void contextMenuRequested(QPoint at);

private slots:
    void readHostRegistered();

private:
    void watcherOwnerChanged(const QString &owner);
    void registerWithWatcher();

    QDBusConnection m_bus;
    QString m_service;
    QDBusServiceWatcher *m_watcher = nullptr;
    StatusNotifierItem *m_item = nullptr;
    DBusMenuExporter *m_menu = nullptr;
    bool m_watcherPresent = false;
    bool m_registered = false;
    bool m_hostRegistered = false;
    quint64 m_generation = 0; // replies for an earlier watcher are dropped
};
