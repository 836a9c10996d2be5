#include "MprisAdaptors.h"

#include "app/MediaPlayerService.h"

#include <QGuiApplication>

MprisRoot::MprisRoot(MediaPlayerService &service)
    : QDBusAbstractAdaptor(&service), m_service(service)
{}

QString MprisRoot::identity() const
{
    return QStringLiteral("Talvero");
}

QString MprisRoot::desktopEntry() const
{
    return QGuiApplication::desktopFileName();
}

void MprisRoot::Raise()
{
    m_service.raise();
}

MprisPlayer::MprisPlayer(MediaPlayerService &service)
    : QDBusAbstractAdaptor(&service), m_service(service)
{}

QString MprisPlayer::playbackStatus() const
{
    return m_service.playbackStatus();
}

QVariantMap MprisPlayer::metadata() const
{
    return m_service.metadata();
}

double MprisPlayer::volume() const
{
    return m_service.volume();
}

void MprisPlayer::setVolume(double volume)
{
    m_service.setVolume(volume);
}

bool MprisPlayer::hasDocument() const
{
    return m_service.hasDocument();
}

void MprisPlayer::PlayPause()
{
    m_service.command(MediaPlayerService::PlayPause);
}

void MprisPlayer::Play()
{
    m_service.command(MediaPlayerService::Play);
}

void MprisPlayer::Pause()
{
    m_service.command(MediaPlayerService::Pause);
}

void MprisPlayer::Stop()
{
    m_service.command(MediaPlayerService::Pause);
}
