#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

// At most one running copy per user: a lock file in the user's runtime
// folder. A lock left by a copy that crashed is taken over.
class SingleInstance
{
public:
    explicit SingleInstance(const QString &lockPath = defaultLockPath());

    // True when this process is now the one instance.
    bool tryAcquire();

    static QString defaultLockPath();

private:
    std::unique_ptr<QLockFile> m_lock;
};
