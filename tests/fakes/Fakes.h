#pragma once

#include "platform/Shell.h"
#include "tray/NotifyIcon.h"

#include <QList>
#include <QUrl>

class FakeShell final : public Shell
{
public:
    bool openUrl(const QUrl &url) override
    {
        opened.append(url);
        return true;
    }
    QList<QUrl> opened;
};

// A notification area that accepts icons when `available` is set, and lets
// the test click the icon.
class FakeNotifyArea final : public NotifyArea
{
    Q_OBJECT

public:
    using NotifyArea::NotifyArea;

    bool Shell_NotifyIcon(int message, const NotifyIconData &data) override
    {
        calls.append({message, data.uID});
        if (message == NIM_ADD && available && !shown) {
            shown = true;
            tip = data.szTip;
            return true;
        }
        if (message == NIM_DELETE && shown) {
            shown = false;
            return true;
        }
        return false;
    }
    bool isShown() const override { return shown && available; }

    void click(int message) { emit mouseMessage(message); }
    void setAvailable(bool on)
    {
        available = on;
        emit areaChanged();
    }

    struct Call {
        int message;
        quint32 id;
    };
    QList<Call> calls;
    bool available = true;
    bool shown = false;
    QString tip;
};
