#include "TrayIcon.h"

#include "platform/Dialogs.h"
#include "tray/PopupMenus.h"

#include <QWidget>

namespace {
const QString kTitle = QStringLiteral("提示");
}

TrayIcon::TrayIcon(NotifyArea *area, QWidget &window, PopupMenus &menus, Dialogs &dialogs,
                   QObject *parent)
    : QObject(parent), m_area(area), m_window(window), m_menus(menus), m_dialogs(dialogs)
{
    m_retry.setInterval(1000);
    connect(&m_retry, &QTimer::timeout, this, &TrayIcon::tryRegister);
    if (m_area) {
        connect(m_area, &NotifyArea::mouseMessage, this, &TrayIcon::picTray_MouseMove);
        connect(m_area, &NotifyArea::areaChanged, this, &TrayIcon::onAreaChanged);
    }
}

void TrayIcon::registerIcon(const QIcon &icon, const QString &tip)
{
    m_record = NotifyIconData();
    m_record.hIcon = icon;
    m_record.szTip = tip;
    tryRegister();
}

void TrayIcon::tryRegister()
{
    if (m_registered || m_deleted || !m_area)
        return;
    ++m_record.uID;
    if (m_area->Shell_NotifyIcon(NotifyArea::NIM_ADD, m_record)) {
        m_registered = true;
        m_retry.stop();
        return;
    }
    // No notification area yet: try again as one appears, for a while.
    if (--m_attemptsLeft > 0)
        m_retry.start();
    else
        m_retry.stop();
}

void TrayIcon::deleteIcon()
{
    m_deleted = true;
    m_retry.stop();
    if (m_area && m_registered)
        m_area->Shell_NotifyIcon(NotifyArea::NIM_DELETE, m_record);
    m_registered = false;
}

bool TrayIcon::isShown() const
{
    return m_registered && m_area && m_area->isShown();
}

void TrayIcon::onAreaChanged()
{
    if (!m_registered) {
        tryRegister();
        return;
    }
    // The area went away: a hidden window could not be reached any more.
    QTimer::singleShot(0, this, [this] {
        if (!isShown() && !m_window.isVisible() && !m_deleted)
            m_window.show();
    });
}

void TrayIcon::showWindow()
{
    m_window.show();
    m_window.raise();
    m_window.activateWindow();
}

void TrayIcon::picTray_MouseMove(int message)
{
    if (message == NotifyArea::WM_LBUTTONUP) {
        if (m_window.isVisible())
            m_window.hide();
        else
            showWindow();
    } else if (message == NotifyArea::WM_RBUTTONDOWN) {
        ShellMainMenu();
    }
}

void TrayIcon::ShellMainMenu()
{
    switch (m_menus.ShowTrayMenu()) {
    case ShowWindow: showWindow(); break;
    case HideWindow: m_window.hide(); break;
    case ReadAloud: emit readingToggled(); break;
    case ExitProgram:
        if (confirmExit())
            emit exitConfirmed();
        break;
    default: break;
    }
}

bool TrayIcon::confirmExit()
{
    return m_dialogs.question(&m_window, kExitQuestion, kTitle);
}
