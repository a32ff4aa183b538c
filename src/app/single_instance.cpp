#include "single_instance.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

SingleInstance::SingleInstance(const QString &lockPath)
    : m_path(lockPath)
{
}

SingleInstance::~SingleInstance()
{
    // The file stays: removing it would let a copy starting now lock a new
    // file while a third still waits on the old one, and both would run.
    if (m_fd >= 0)
        ::close(m_fd);
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
    if (m_held)
        return Result::Acquired;
    if (m_fd < 0) {
        // Close-on-exec: the browser process must not inherit the lock and
        // hold it after this process is gone. No following of links, for the
        // shared temporary folder.
        const QByteArray path = QFile::encodeName(m_path);
        do
            m_fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        while (m_fd < 0 && errno == EINTR);
        if (m_fd < 0)
            return Result::Unavailable;
    }
    int locked = 0;
    do
        locked = ::flock(m_fd, LOCK_EX | LOCK_NB);
    while (locked != 0 && errno == EINTR);
    if (locked != 0)
        return errno == EWOULDBLOCK ? Result::HeldByOther : Result::Unavailable;
    m_held = true;

    const QByteArray pid = QByteArray::number(qint64(::getpid())) + '\n';
    if (::ftruncate(m_fd, 0) == 0 && ::pwrite(m_fd, pid.constData(), size_t(pid.size()), 0) < 0) { }
    return Result::Acquired;
}
