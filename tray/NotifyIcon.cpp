#include "NotifyIcon.h"

#include <QGuiApplication>
#include <QSystemTrayIcon>

SystemNotifyArea::SystemNotifyArea(QObject *parent) : NotifyArea(parent)
{
    // The X11 platform reports when a tray (re)appears; other platforms
    // have no such signal, and the caller polls.
    if (QObject *native = reinterpret_cast<QObject *>(qGuiApp->platformNativeInterface())) {
        if (native->metaObject()->indexOfSignal("systemTrayWindowChanged(QScreen*)") >= 0)
            connect(native, SIGNAL(systemTrayWindowChanged(QScreen *)), this,
                    SIGNAL(areaChanged()));
    }
}

bool SystemNotifyArea::Shell_NotifyIcon(int message, const NotifyIconData &data)
{
    if (message == NIM_ADD) {
        if (m_icon || !QSystemTrayIcon::isSystemTrayAvailable())
            return false;
        m_icon = new QSystemTrayIcon(data.hIcon, this);
        m_icon->setToolTip(data.szTip);
        m_id = data.uID;
        connect(m_icon, &QSystemTrayIcon::activated, this,
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
        m_icon->show();
        return true;
    }
    if (message == NIM_DELETE) {
        if (!m_icon || data.uID != m_id)
            return false;
        m_icon->hide();
        delete m_icon;
        return true;
    }
    return false;
}

bool SystemNotifyArea::isShown() const
{
    return m_icon && m_icon->isVisible() && QSystemTrayIcon::isSystemTrayAvailable();
}
