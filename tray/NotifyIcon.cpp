#include "NotifyIcon.h"

#include "tray/DBusMenuExporter.h"
#include "tray/StatusNotifierTray.h"

#include <QGuiApplication>
#include <QSystemTrayIcon>

namespace {
bool onX11()
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}
} // namespace

SystemNotifyArea::SystemNotifyArea(QObject *parent) : NotifyArea(parent)
{
    m_sni = new StatusNotifierTray(this);
    connect(m_sni, &StatusNotifierTray::changed, this, &SystemNotifyArea::trayChanged);
    connect(m_sni, &StatusNotifierTray::activated, this,
            [this] { emit mouseMessage(WM_LBUTTONUP); });
    connect(m_sni, &StatusNotifierTray::secondaryActivated, this,
            [this] { emit mouseMessage(WM_MBUTTONUP); });
    // A menu of our own at the pointer can only be placed on X11; a Wayland
    // host asking for one gets nothing rather than a stray window.
    connect(m_sni, &StatusNotifierTray::contextMenuRequested, this, [this] {
        if (onX11())
            emit mouseMessage(WM_RBUTTONDOWN);
    });
    // The X11 platform reports when an X11 tray (re)appears or goes.
    if (QObject *native = reinterpret_cast<QObject *>(qGuiApp->platformNativeInterface())) {
        if (native->metaObject()->indexOfSignal("systemTrayWindowChanged(QScreen*)") >= 0)
            connect(native, SIGNAL(systemTrayWindowChanged(QScreen *)), this, SLOT(trayChanged()));
    }
}

SystemNotifyArea::~SystemNotifyArea() = default;

bool SystemNotifyArea::Shell_NotifyIcon(int message, const NotifyIconData &data)
{
    if (message == NIM_ADD) {
        if (m_wanted)
            return false;
        m_wanted = data;
        if (place())
            return true;
        m_wanted.reset();
        return false;
    }
    if (message == NIM_DELETE) {
        if (!m_wanted || data.uID != m_wanted->uID)
            return false;
        m_wanted.reset();
        m_sni->hide();
        delete m_xembed;
        return true;
    }
    return false;
}

// Where the icon can be shown now: a StatusNotifierItem when a watcher is
// there, the X11 tray otherwise. False when neither is.
bool SystemNotifyArea::place()
{
    if (m_sni->watcherPresent()) {
        delete m_xembed;
        m_sni->show(m_wanted->hIcon, m_wanted->szTip);
        m_sni->menu()->setItems(m_menuItems);
        connect(m_sni->menu(), &DBusMenuExporter::aboutToShow, this, &NotifyArea::menuAboutToShow,
                Qt::UniqueConnection);
        connect(m_sni->menu(), &DBusMenuExporter::itemChosen, this, &NotifyArea::menuItemChosen,
                Qt::UniqueConnection);
        return true;
    }
    m_sni->hide();
    if (!xembedAvailable())
        return false;
    if (!m_xembed)
        showXEmbed();
    return true;
}

bool SystemNotifyArea::xembedAvailable() const
{
    // Qt decides once per process whether its tray icon is a D-Bus one; it
    // is first asked only here, while no watcher exists, so it stays X11's.
    return onX11() && !m_sni->watcherPresent() && QSystemTrayIcon::isSystemTrayAvailable();
}

void SystemNotifyArea::showXEmbed()
{
    m_xembed = new QSystemTrayIcon(m_wanted->hIcon, this);
    m_xembed->setToolTip(m_wanted->szTip);
    connect(m_xembed, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                switch (reason) {
                case QSystemTrayIcon::Trigger: emit mouseMessage(WM_LBUTTONUP); break;
                case QSystemTrayIcon::Context: emit mouseMessage(WM_RBUTTONDOWN); break;
                case QSystemTrayIcon::DoubleClick:
                    // Qt reports the second click of a double click only
                    // as this; its release follows it.
                    emit mouseMessage(WM_LBUTTONDBLCLK);
                    emit mouseMessage(WM_LBUTTONUP);
                    break;
                case QSystemTrayIcon::MiddleClick: emit mouseMessage(WM_MBUTTONUP); break;
                default: break;
                }
            });
    m_xembed->show();
}

void SystemNotifyArea::trayChanged()
{
    if (m_wanted)
        place();
    emit areaChanged();
}

bool SystemNotifyArea::isShown() const
{
    if (m_sni->isShown())
        return true;
    return m_xembed && m_xembed->isVisible() && xembedAvailable();
}

void SystemNotifyArea::setMenuItems(const QList<MenuItem> &items)
{
    m_menuItems = items;
    if (m_sni->menu())
        m_sni->menu()->setItems(items);
}
