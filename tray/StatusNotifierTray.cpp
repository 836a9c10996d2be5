#include "StatusNotifierTray.h"

#include "tray/DBusMenuExporter.h"
#include "tray/DBusTrayTypes.h"
#include "tray/StatusNotifierItem.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>

namespace {
const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString kWatcherInterface = QStringLiteral("org.kde.StatusNotifierWatcher");
constexpr auto kExport = QDBusConnection::ExportScriptableContents;
} // namespace

StatusNotifierTray::StatusNotifierTray(QObject *parent)
    : QObject(parent), m_bus(QDBusConnection::sessionBus())
{
    if (!m_bus.isConnected())
        return; // no session bus: never a tray of this kind
    registerDBusTrayTypes();
    m_service =
        QStringLiteral("org.kde.StatusNotifierItem-%1-1").arg(QCoreApplication::applicationPid());
    m_watcher = new QDBusServiceWatcher(kWatcherService, m_bus,
                                        QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString &, const QString &, const QString &owner) {
                watcherOwnerChanged(owner);
            });
    for (const char *hostSignal :
         {"StatusNotifierHostRegistered", "StatusNotifierHostUnregistered"})
        m_bus.connect(kWatcherService, kWatcherPath, kWatcherInterface,
                      QString::fromLatin1(hostSignal), this, SLOT(readHostRegistered()));
    // Asked once, at start-up, from the bus itself; later changes arrive
    // as signals.
    m_watcherPresent = m_bus.interface()->isServiceRegistered(kWatcherService);
}

StatusNotifierTray::~StatusNotifierTray()
{
    hide();
}

bool StatusNotifierTray::show(const QIcon &icon, const QString &title)
{
    if (!m_watcherPresent)
        return false;
    if (m_item)
        return true;
    m_menu = new DBusMenuExporter(this);
    m_item = new StatusNotifierItem(icon, title, DBusMenuExporter::kPath, this);
    connect(m_item, &StatusNotifierItem::activated, this, &StatusNotifierTray::activated);
    connect(m_item, &StatusNotifierItem::secondaryActivated, this,
            &StatusNotifierTray::secondaryActivated);
    connect(m_item, &StatusNotifierItem::contextMenuRequested, this,
            &StatusNotifierTray::contextMenuRequested);
    m_bus.registerObject(DBusMenuExporter::kPath, m_menu, kExport);
    m_bus.registerObject(StatusNotifierItem::kPath, m_item, kExport);
    m_bus.registerService(m_service);
    registerWithWatcher();
    return true;
}

void StatusNotifierTray::hide()
{
    if (!m_item)
        return;
    // The watcher drops the item when its name goes.
    m_bus.unregisterService(m_service);
    m_bus.unregisterObject(StatusNotifierItem::kPath);
    m_bus.unregisterObject(DBusMenuExporter::kPath);
    delete m_item;
    delete m_menu;
    m_item = nullptr;
    m_menu = nullptr;
    m_registered = false;
    ++m_generation;
}

void StatusNotifierTray::watcherOwnerChanged(const QString &owner)
{
    ++m_generation;
    m_watcherPresent = !owner.isEmpty();
    m_registered = m_hostRegistered = false;
    if (m_watcherPresent && m_item)
        registerWithWatcher();
    emit changed();
}

void StatusNotifierTray::registerWithWatcher()
{
    auto call = m_bus.asyncCall(
        QDBusMessage::createMethodCall(kWatcherService, kWatcherPath, kWatcherInterface,
                                       QStringLiteral("RegisterStatusNotifierItem"))
        << m_service);
    auto *reply = new QDBusPendingCallWatcher(call, this);
    connect(reply, &QDBusPendingCallWatcher::finished, this,
            [this, generation = m_generation](QDBusPendingCallWatcher *done) {
                done->deleteLater();
                if (generation != m_generation)
                    return;
                m_registered = !done->isError();
                if (m_registered)
                    readHostRegistered();
                else
                    emit changed();
            });
}

void StatusNotifierTray::readHostRegistered()
{
    QDBusMessage get = QDBusMessage::createMethodCall(
        kWatcherService, kWatcherPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    get << kWatcherInterface << QStringLiteral("IsStatusNotifierHostRegistered");
    auto *reply = new QDBusPendingCallWatcher(m_bus.asyncCall(get), this);
    connect(reply, &QDBusPendingCallWatcher::finished, this,
            [this, generation = m_generation](QDBusPendingCallWatcher *done) {
                done->deleteLater();
                if (generation != m_generation)
                    return;
                const QDBusPendingReply<QDBusVariant> value = *done;
                // A watcher without the property is taken to have a host.
                m_hostRegistered = value.isError() || value.value().variant().toBool();
                emit changed();
            });
}
