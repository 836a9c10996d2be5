#pragma once

#include "platform/Dialogs.h"

#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QString>

#include <optional>

class QSystemTrayIcon;
class StatusNotifierTray;

// The tray icon's record: kept from registration to deletion, so both name
// the same icon.
struct NotifyIconData {
    quint32 uID = 0;
    quint32 uFlags = 7; // message, icon, tip
    quint32 uCallbackMessage = 0x0200;
    QIcon hIcon;
    QString szTip;
};

// The notification area: adds and deletes the icon, and reports mouse
// events on it as the classic mouse-message numbers. Areas that draw the
// icon's menu themselves are given its items and report the one chosen.
class NotifyArea : public QObject
{
    Q_OBJECT

public:
    static constexpr int NIM_ADD = 0;
    static constexpr int NIM_DELETE = 2;

    static constexpr int WM_LBUTTONUP = 0x0202;
    static constexpr int WM_LBUTTONDBLCLK = 0x0203;
    static constexpr int WM_RBUTTONDOWN = 0x0204;
    static constexpr int WM_MBUTTONUP = 0x0208;

    using QObject::QObject;

    // True when the area accepted the call.
    virtual bool Shell_NotifyIcon(int message, const NotifyIconData &data) = 0;
    // Whether an icon of ours is shown now.
    virtual bool isShown() const = 0;
    // The tray menu's items as they stand now.
    virtual void setMenuItems(const QList<MenuItem> &) {}

signals:
    void mouseMessage(int message);
    // A notification area appeared or went away.
    void areaChanged();
    // The area is about to draw the menu; then an item of it was chosen.
    void menuAboutToShow();
    void menuItemChosen(qint16 id);
};

// The desktop's notification area: a StatusNotifierItem wherever the
// session has a watcher for one (X11 and Wayland), else the X11 tray
// through Qt's tray icon. Moves the icon between the two as trays come and
// go while it is wanted.
class SystemNotifyArea final : public NotifyArea
{
    Q_OBJECT

public:
    explicit SystemNotifyArea(QObject *parent = nullptr);
    ~SystemNotifyArea() override;

    bool Shell_NotifyIcon(int message, const NotifyIconData &data) override;
    bool isShown() const override;
    void setMenuItems(const QList<MenuItem> &items) override;

private slots:
    void trayChanged();

private:
    bool place();
    bool xembedAvailable() const;
    void showXEmbed();

    StatusNotifierTray *m_sni = nullptr;
    QPointer<QSystemTrayIcon> m_xembed;
    std::optional<NotifyIconData> m_wanted;
    QList<MenuItem> m_menuItems;
};
