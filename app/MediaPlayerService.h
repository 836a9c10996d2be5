#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QVariantMap>

class frmMain;

// The desktop's media controls, media keys and headset buttons reach the
// reader through MPRIS: play and pause are the tray menu's "语音阅读".
// Calls are answered at once and carried out from the event loop, where
// a tray click would be, and ignored as it would be while a question or a
// menu is open. Without the bus or the name the reader runs without it.
class MediaPlayerService : public QObject
{
    Q_OBJECT

public:
    static inline const QString kName = QStringLiteral("org.mpris.MediaPlayer2.talvero");
    static inline const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
    enum Command { PlayPause, Play, Pause };

    MediaPlayerService(frmMain &window, const QDBusConnection &bus);

    bool isReading() const;
    QString playbackStatus() const;
    bool hasDocument() const;
    QVariantMap metadata() const;
    double volume() const;
    void setVolume(double volume);

    void command(Command command);
    void raise();

private:
    QVariantMap playerState() const;
    void announce();

    frmMain &m_window;
    QDBusConnection m_bus;
    QVariantMap m_announced;
    bool m_busy = false;
};
