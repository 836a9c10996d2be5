#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QVariant>

class QDBusPendingCallWatcher;

// Holds off the session's idle suspend while wanted; screen blanking and
// locking stay allowed. Asks the desktop portal's Inhibit, else GNOME's
// session manager, else the freedesktop power management (KDE's own), and
// never waits for an answer: a missing, failing or silent service only
// means no inhibitor. The services drop an inhibitor when its owner leaves
// the bus, so the process's end releases it too.
class SleepInhibitor : public QObject
{
    Q_OBJECT

public:
    SleepInhibitor(const QDBusConnection &bus, const QString &reason, QObject *parent = nullptr);
    ~SleepInhibitor() override;

    void setWanted(bool wanted);

private:
    void update();
    void answered(QDBusPendingCallWatcher *call);
    void release();

    QDBusConnection m_bus;
    QString m_reason;
    size_t m_service = 0; // the first that has not failed
    bool m_wanted = false;
    bool m_asking = false;
    QVariant m_held; // the portal's request handle, or a cookie
};
