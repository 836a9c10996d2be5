#include "MediaPlayerService.h"

#include "app/MprisAdaptors.h"
#include "speech/Voice.h"
#include "tray/PopupMenus.h"
#include "tray/TrayIcon.h"
#include "ui/CaptionLabel.h"
#include "ui/ToolbarCommands.h"
#include "ui/frmMain.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDBusMessage>
#include <QFileInfo>
#include <QTimer>
#include <QUrl>

MediaPlayerService::MediaPlayerService(frmMain &window, const QDBusConnection &bus)
    : QObject(&window), m_window(window), m_bus(bus)
{
    new MprisRoot(*this);
    new MprisPlayer(*this);
    // A name another player holds is left to it.
    if (!m_bus.registerObject(kPath, this) || !m_bus.registerService(kName)) {
        m_bus.unregisterObject(kPath);
        return;
    }
    m_announced = playerState();
    connect(window.commands, &ToolbarCommands::modeChanged, this, &MediaPlayerService::announce);
    connect(window.commands, &ToolbarCommands::documentChanged, this,
            &MediaPlayerService::announce);
}

bool MediaPlayerService::isReading() const
{
    return m_window.state.ReadingFlag == 1;
}

QString MediaPlayerService::playbackStatus() const
{
    return isReading() ? QStringLiteral("Playing") : QStringLiteral("Stopped");
}

bool MediaPlayerService::hasDocument() const
{
    return !m_window.labCaption->showsDownloadLink();
}

QVariantMap MediaPlayerService::metadata() const
{
    if (!hasDocument())
        return {
            {QStringLiteral("mpris:trackid"),
             QVariant::fromValue(QDBusObjectPath("/org/mpris/MediaPlayer2/TrackList/NoTrack"))}};
    const QString path = m_window.labCaption->text();
    const QByteArray id = QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha1).toHex();
    return {{QStringLiteral("mpris:trackid"),
             QVariant::fromValue(QDBusObjectPath(QStringLiteral("/io/github/talvero/document/d")
                                                 + QString::fromLatin1(id.left(16))))},
            {QStringLiteral("xesam:title"), QFileInfo(path).fileName()},
            {QStringLiteral("xesam:url"), QUrl::fromLocalFile(path).toString()}};
}

double MediaPlayerService::volume() const
{
    return m_window.sp ? m_window.sp->Volume() / 100.0 : 0.0;
}

void MediaPlayerService::setVolume(double volume)
{
    if (m_window.sp)
        m_window.sp->setVolume(qRound(qBound(0.0, volume, 1.0) * 100));
}

void MediaPlayerService::command(Command command)
{
    QTimer::singleShot(0, this, [this, command] {
        // A call that comes while one is being carried out (in the pass of
        // events of starting or stopping the voice) does not nest.
        if (m_busy || QApplication::activeModalWidget() || QApplication::activePopupWidget())
            return;
        const bool toggle = command == PlayPause ? isReading() || hasDocument()
                            : command == Play    ? !isReading() && hasDocument()
                                                 : isReading();
        if (!toggle)
            return;
        m_busy = true;
        m_window.commands->toggleReadingFromTray();
        m_busy = false;
    });
}

void MediaPlayerService::raise()
{
    // As the tray's 显示窗口 does.
    QTimer::singleShot(0, this, [this] { m_window.tray->carryOut(ShowWindow); });
}

QVariantMap MediaPlayerService::playerState() const
{
    const bool document = hasDocument();
    return {{QStringLiteral("PlaybackStatus"), playbackStatus()},
            {QStringLiteral("Metadata"), metadata()},
            {QStringLiteral("CanPlay"), document},
            {QStringLiteral("CanPause"), document},
            {QStringLiteral("CanControl"), document}};
}

// Clients follow the player through PropertiesChanged: only what changed.
void MediaPlayerService::announce()
{
    const QVariantMap now = playerState();
    QVariantMap changed;
    for (auto it = now.cbegin(); it != now.cend(); ++it) {
        if (m_announced.value(it.key()) != it.value())
            changed.insert(it.key(), it.value());
    }
    m_announced = now;
    if (changed.isEmpty())
        return;
    QDBusMessage signal = QDBusMessage::createSignal(
        kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("PropertiesChanged"));
    signal << QStringLiteral("org.mpris.MediaPlayer2.Player") << changed << QStringList();
    m_bus.send(signal);
}
