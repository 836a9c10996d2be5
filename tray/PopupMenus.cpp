#include "PopupMenus.h"

namespace PopupMenuItems {
namespace {

QList<MenuItem> numbered(const QString &prefix, const QString &suffix, int first, int last,
                         qint16 current)
{
    QList<MenuItem> items;
    for (int n = first; n <= last; ++n)
        items.append({prefix + QString::number(n) + suffix, qint16(n), n == current});
    return items;
}

} // namespace

QList<MenuItem> tray(qint16 readingFlag)
{
    return {
        {QStringLiteral("显示窗口"), ShowWindow, false},
        {QStringLiteral("隐藏窗口"), HideWindow, false},
        {QStringLiteral("语音阅读"), ReadAloud, readingFlag == 1},
        {QStringLiteral("退出程序"), ExitProgram, false},
    };
}

QList<MenuItem> readSpeed(qint16 playRate)
{
    return numbered(QStringLiteral("语音阅读速度"), QString(), 1, 10, playRate);
}

QList<MenuItem> autoPage(qint16 autoRate)
{
    return numbered(QStringLiteral("自动翻页速度1行"), QStringLiteral("秒"), 1, 10, autoRate);
}

QList<MenuItem> fontSize(qint16 fontSizes)
{
    return numbered(QStringLiteral("字体大小"), QString(), 10, 30, fontSizes);
}

} // namespace PopupMenuItems

QList<MenuItem> PopupMenus::trayItems() const
{
    return PopupMenuItems::tray(m_state.ReadingFlag);
}

qint16 PopupMenus::ShowTrayMenu()
{
    return m_dialogs.popupMenu(m_owner, trayItems());
}

qint16 PopupMenus::ShowReadSpeedMenu()
{
    return m_dialogs.popupMenu(m_owner, PopupMenuItems::readSpeed(m_state.AppSettings.PlayRate));
}

qint16 PopupMenus::ShowAutoPageMenu()
{
    return m_dialogs.popupMenu(m_owner, PopupMenuItems::autoPage(m_state.AppSettings.AutoRate));
}

qint16 PopupMenus::ShowFontSizeMenu()
{
    return m_dialogs.popupMenu(m_owner, PopupMenuItems::fontSize(m_state.AppSettings.FontSizes));
}
