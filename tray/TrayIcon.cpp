#include "TrayIcon.h"

#include "platform/Dialogs.h"
#include "tray/PopupMenus.h"

#include <QApplication>
#include <QScopedValueRollback>
#include <QWidget>

#include <algorithm>

namespace {
const QString kTitle = QStringLiteral("提示");
}

TrayIcon::TrayIcon(NotifyArea *area, QWidget &window, PopupMenus &menus, Dialogs &dialogs,
                   QObject *parent)
    : QObject(parent), m_area(area), m_window(window), m_menus(menus), m_dialogs(dialogs)
{
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &TrayIcon::tryRegister);
    m_strandedCheck.setSingleShot(true);
    m_strandedCheck.setInterval(kStrandedCheckMs);
    connect(&m_strandedCheck, &QTimer::timeout, this, [this] {
        if (!m_deleted && !isShown() && !m_window.isVisible())
            showWindow();
    });
    if (m_area) {
        connect(m_area, &NotifyArea::mouseMessage, this, &TrayIcon::picTray_MouseMove);
        connect(m_area, &NotifyArea::areaChanged, this, &TrayIcon::onAreaChanged);
        connect(m_area, &NotifyArea::menuAboutToShow, this, &TrayIcon::refreshMenu);
        connect(m_area, &NotifyArea::menuItemChosen, this, &TrayIcon::carryOut);
    }
}

void TrayIcon::registerIcon(const QIcon &icon, const QString &tip)
{
    m_record = NotifyIconData();
    m_record.hIcon = icon;
    m_record.szTip = tip;
    refreshMenu();
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
        m_retryMs = kFirstRetryMs;
        return;
    }
    // No notification area yet: try again as one appears, however late.
    m_retry.start(m_retryMs);
    m_retryMs = std::min(m_retryMs * 2, kLastRetryMs);
}

void TrayIcon::deleteIcon()
{
    m_deleted = true;
    m_retry.stop();
    m_strandedCheck.stop();
    if (m_area && m_registered)
        m_area->Shell_NotifyIcon(NotifyArea::NIM_DELETE, m_record);
    m_registered = false;
}

bool TrayIcon::isShown() const
{
    return m_registered && m_area && m_area->isShown();
}

void TrayIcon::refreshMenu()
{
    if (m_area)
        m_area->setMenuItems(m_menus.trayItems());
}

void TrayIcon::onAreaChanged()
{
    if (!m_registered) {
        tryRegister();
        return;
    }
    // The area went away: a hidden window could not be reached any more.
    if (!isShown())
        m_strandedCheck.start();
}

void TrayIcon::showWindow()
{
    m_window.show();
    m_window.raise();
    m_window.activateWindow();
}

// A box or menu of ours waits for the user: the tray then only brings the
// window forward, as the box may belong to it.
bool TrayIcon::waitingForUser() const
{
    return m_inMenu || m_asking || QApplication::activeModalWidget()
           || QApplication::activePopupWidget();
}

void TrayIcon::picTray_MouseMove(int message)
{
    if (waitingForUser()) {
        if (message == NotifyArea::WM_LBUTTONUP && !m_window.isVisible())
            showWindow();
        return;
    }
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
    qint16 item = 0;
    {
        const QScopedValueRollback inMenu(m_inMenu, true);
        item = m_menus.ShowTrayMenu();
    }
    carryOut(item);
}

void TrayIcon::carryOut(qint16 item)
{
    if (waitingForUser()) {
        if (item == ShowWindow)
            showWindow();
        return;
    }
    switch (item) {
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
    // A second request while the question is open (the close box pressed
    // again before the box shows) asks nothing more.
    if (m_asking)
        return false;
    const QScopedValueRollback asking(m_asking, true);
    return m_dialogs.question(&m_window, kExitQuestion, kTitle);
}
