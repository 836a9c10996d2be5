#include "SingleInstance.h"

#include <QDir>
#include <QStandardPaths>

SingleInstance::SingleInstance(const QString &lockPath)
    : m_lock(std::make_unique<QLockFile>(lockPath))
{
    // A live instance may hold the lock for days; only a dead owner makes it
    // stale.
    m_lock->setStaleLockTime(0);
}

bool SingleInstance::tryAcquire()
{
    // tryLock takes over a lock whose owner is no longer running.
    return m_lock->tryLock(0);
}

QString SingleInstance::defaultLockPath()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return folder + QStringLiteral("/talvero.lock");
}
