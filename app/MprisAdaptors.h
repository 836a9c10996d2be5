#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusObjectPath>
#include <QStringList>
#include <QVariantMap>

class MediaPlayerService;

// org.mpris.MediaPlayer2: who the player is. Leaving goes through the
// exit question, so it cannot be quit from outside.
class MprisRoot : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ no)
    Q_PROPERTY(bool CanRaise READ yes)
    Q_PROPERTY(bool HasTrackList READ no)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ none)
    Q_PROPERTY(QStringList SupportedMimeTypes READ none)

public:
    explicit MprisRoot(MediaPlayerService &service);

    bool no() const { return false; }
    bool yes() const { return true; }
    QString identity() const;
    QString desktopEntry() const;
    QStringList none() const { return {}; }

public slots:
    void Raise();
    void Quit() {}

private:
    MediaPlayerService &m_service;
};

// org.mpris.MediaPlayer2.Player: playing is reading aloud; the document is
// the one track, without seeking.
class MprisPlayer : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Volume READ volume WRITE setVolume)
    Q_PROPERTY(double Rate READ one)
    Q_PROPERTY(double MinimumRate READ one)
    Q_PROPERTY(double MaximumRate READ one)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(bool CanPlay READ hasDocument)
    Q_PROPERTY(bool CanPause READ hasDocument)
    Q_PROPERTY(bool CanControl READ hasDocument)
    Q_PROPERTY(bool CanGoNext READ no)
    Q_PROPERTY(bool CanGoPrevious READ no)
    Q_PROPERTY(bool CanSeek READ no)

public:
    explicit MprisPlayer(MediaPlayerService &service);

    QString playbackStatus() const;
    QVariantMap metadata() const;
    double volume() const;
    void setVolume(double volume);
    double one() const { return 1.0; }
    qlonglong position() const { return 0; }
    bool hasDocument() const;
    bool no() const { return false; }

public slots:
    void PlayPause();
    void Play();
    void Pause();
    void Stop();
    void Next() {}
    void Previous() {}
    void Seek(qlonglong) {}
    void SetPosition(const QDBusObjectPath &, qlonglong) {}
    void OpenUri(const QString &) {}

signals:
    void Seeked(qlonglong position);

private:
    MediaPlayerService &m_service;
};
