#pragma once

#include "app/ReaderState.h"
#include "platform/Dialogs.h"

#include <QList>

// The tray menu's items, by the id it returns for them.
enum TrayItem : qint16 { ShowWindow = 1, HideWindow = 2, ReadAloud = 3, ExitProgram = 4 };

// The four pop-up menus: built afresh for each call with the current value
// checked, shown at the pointer; each returns the chosen id, or 0.
namespace PopupMenuItems {
QList<MenuItem> tray(qint16 readingFlag);
QList<MenuItem> readSpeed(qint16 playRate);
QList<MenuItem> autoPage(qint16 autoRate);
QList<MenuItem> fontSize(qint16 fontSizes);
} // namespace PopupMenuItems

class PopupMenus
{
public:
    PopupMenus(Dialogs &dialogs, QWidget *owner, const ReaderState &state)
        : m_dialogs(dialogs), m_owner(owner), m_state(state)
    {}

    qint16 ShowTrayMenu();
    // The tray menu's items as it would show them now.
    QList<MenuItem> trayItems() const;
    qint16 ShowReadSpeedMenu();
    qint16 ShowAutoPageMenu();
    qint16 ShowFontSizeMenu();

private:
    Dialogs &m_dialogs;
    QWidget *m_owner;
    const ReaderState &m_state;
};
