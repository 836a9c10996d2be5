#pragma once

#include "tray/NotifyIcon.h"

#include <QObject>
#include <QTimer>

class Dialogs;
class PopupMenus;
class QWidget;

// The program's icon in the notification area and what it does: a left
// click shows or hides the window, a right click opens the tray menu, whose
// items ShellMainMenu carries out; a tray that draws the menu itself hands
// the chosen item to the same dispatch. Registration is tried again while
// no notification area takes the icon; if the area goes away while the
// window is hidden, the window comes back, so the user is never stranded.
class TrayIcon : public QObject
{
    Q_OBJECT

public:
    static inline const QString kExitQuestion = QStringLiteral("你确定要退出程序吗?");
    // Between attempts while no notification area exists: soon at first,
    // then seldom; trays that appear are also reported as they come.
    static constexpr int kFirstRetryMs = 1000;
    static constexpr int kLastRetryMs = 30000;
    // A tray that restarts within this time keeps a hidden window hidden.
    static constexpr int kStrandedCheckMs = 1000;

    TrayIcon(NotifyArea *area, QWidget &window, PopupMenus &menus, Dialogs &dialogs,
             QObject *parent = nullptr);

    // Fills the tray record and registers the icon with it.
    void registerIcon(const QIcon &icon, const QString &tip);
    // Removes the icon for good (the exit).
    void deleteIcon();
    bool isShown() const;
    const NotifyIconData &record() const { return m_record; }

    // A mouse message on the icon (0x0202 left release, 0x0204 right press).
    void picTray_MouseMove(int message);
    void ShellMainMenu();
    // Carries out a tray menu item, however it was chosen.
    void carryOut(qint16 item);
    // The exit question, one at a time; true only for OK.
    bool confirmExit();
    // The menu's items follow the reading mode.
    void refreshMenu();

signals:
    void readingToggled();
    void exitConfirmed();

private:
    void tryRegister();
    void onAreaChanged();
    void showWindow();
    bool waitingForUser() const;

    NotifyArea *m_area;
    QWidget &m_window;
    PopupMenus &m_menus;
    Dialogs &m_dialogs;
    NotifyIconData m_record;
    QTimer m_retry;
    int m_retryMs = kFirstRetryMs;
    QTimer m_strandedCheck;
    bool m_registered = false;
    bool m_deleted = false;
    bool m_inMenu = false;
    bool m_asking = false;
};
