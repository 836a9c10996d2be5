#pragma once

#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QString>

class QSystemTrayIcon;
class QWidget;

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
// events on it as the classic mouse-message numbers.
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

signals:
    void mouseMessage(int message);
    // A notification area appeared or went away.
    void areaChanged();
};

// The desktop's notification area, through Qt's tray icon.
class SystemNotifyArea final : public NotifyArea
{
    Q_OBJECT

public:
    explicit SystemNotifyArea(QObject *parent = nullptr);

    bool Shell_NotifyIcon(int message, const NotifyIconData &data) override;
    bool isShown() const override;

private:
    QPointer<QSystemTrayIcon> m_icon;
    quint32 m_id = 0;
};
