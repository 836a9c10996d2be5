#include "SleepInhibitor.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QGuiApplication>

#include <array>

namespace {

struct Service {
    const char *name;
    const char *path;
    const char *interface;
    const char *release;
};

// Flag 4 is "suspend" for the portal and GNOME alike.
constexpr uint kSuspend = 4;
constexpr std::array<Service, 3> kServices{{
    {"org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop",
     "org.freedesktop.portal.Inhibit", nullptr},
    {"org.gnome.SessionManager", "/org/gnome/SessionManager", "org.gnome.SessionManager",
     "Uninhibit"},
    {"org.freedesktop.PowerManagement", "/org/freedesktop/PowerManagement/Inhibit",
     "org.freedesktop.PowerManagement.Inhibit", "UnInhibit"},
}};

} // namespace

SleepInhibitor::SleepInhibitor(const QDBusConnection &bus, const QString &reason, QObject *parent)
    : QObject(parent), m_bus(bus), m_reason(reason)
{}

SleepInhibitor::~SleepInhibitor()
{
    release();
}

void SleepInhibitor::setWanted(bool wanted)
{
    m_wanted = wanted;
    update();
}

// One request at a time; what is wanted meanwhile is seen to at its answer.
void SleepInhibitor::update()
{
    if (m_asking || !m_bus.isConnected())
        return;
    if (!m_wanted) {
        release();
        return;
    }
    if (m_held.isValid() || m_service >= kServices.size())
        return;
    const Service &s = kServices[m_service];
    QDBusMessage call = QDBusMessage::createMethodCall(s.name, s.path, s.interface,
                                                       QStringLiteral("Inhibit"));
    const QString app = QGuiApplication::desktopFileName();
    if (m_service == 0)
        call << QString() << kSuspend << QVariantMap{{QStringLiteral("reason"), m_reason}};
    else if (m_service == 1)
        call << app << 0u << m_reason << kSuspend;
    else
        call << app << m_reason;
    m_asking = true;
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, &SleepInhibitor::answered);
}

void SleepInhibitor::answered(QDBusPendingCallWatcher *call)
{
    call->deleteLater();
    m_asking = false;
    const QDBusMessage reply = call->reply();
    if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
        m_held = reply.arguments().constFirst();
    else
        ++m_service; // not there, or refused: the next one
    update();
}

void SleepInhibitor::release()
{
    if (!m_held.isValid())
        return;
    const Service &s = kServices[m_service];
    // The portal's inhibitor is its request object; closing it releases it.
    QDBusMessage call = QDBusMessage::createMethodCall(
        s.name, s.release ? QString::fromLatin1(s.path) : m_held.value<QDBusObjectPath>().path(),
        s.release ? s.interface : "org.freedesktop.portal.Request",
        s.release ? s.release : "Close");
    if (s.release)
        call << m_held;
    m_bus.send(call);
    m_held.clear();
}
