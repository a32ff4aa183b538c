#include "single_instance.h"

#include <QDir>
#include <QStandardPaths>

#include <unistd.h>

using namespace Qt::StringLiterals;

SingleInstance::SingleInstance(const QString &lockPath)
    : m_path(lockPath)
    , m_lock(lockPath)
{
    // QLockFile takes any lock older than 30 s for stale, which would let a
    // second copy start beside one that has run for a minute. With no age
    // limit a lock is stale only when the process that wrote it is gone (or
    // its PID now belongs to another program), which is what a crash leaves.
    m_lock.setStaleLockTime(0);
}

QString SingleInstance::defaultLockPath()
{
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty())
        return QDir(runtime).filePath(u"larkvane.lock"_s);
    // The shared temporary folder needs the user in the name.
    return QDir(QDir::tempPath()).filePath(u"larkvane-%1.lock"_s.arg(::getuid()));
}

SingleInstance::Result SingleInstance::acquire()
{
    if (m_lock.isLocked() || m_lock.tryLock(0))
        return Result::Acquired;
    return m_lock.error() == QLockFile::LockFailedError ? Result::HeldByOther : Result::Unavailable;
}
