#include "file_faults.h"

#include <QFile>
#include <QFileInfo>

#include <csignal>
#include <sys/fsuid.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {
constexpr unsigned kNobody = 65534;
}

ReadOnlyFolder::ReadOnlyFolder(QString path)
    : m_path(std::move(path))
{
    QFile::setPermissions(m_path,
        QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther
            | QFile::ExeOther);
    if (geteuid() == 0) {
        setfsgid(kNobody);
        setfsuid(kNobody);
        m_switchedIdentity = true;
    }
}

ReadOnlyFolder::~ReadOnlyFolder()
{
    if (m_switchedIdentity) {
        setfsuid(0);
        setfsgid(0);
    }
    QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

UnreadableFile::UnreadableFile(QString path)
    : m_path(std::move(path))
    , m_folder(QFileInfo(m_path).absolutePath())
{
    QFile::setPermissions(m_folder,
        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::WriteGroup
            | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther);
    QFile::setPermissions(m_path, QFile::Permissions());
    if (geteuid() == 0) {
        setfsgid(kNobody);
        setfsuid(kNobody);
        m_switchedIdentity = true;
    }
}

UnreadableFile::~UnreadableFile()
{
    if (m_switchedIdentity) {
        setfsuid(0);
        setfsgid(0);
    }
    QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner);
    QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

DiskFullAfter::DiskFullAfter(long bytes)
{
    // A write past the limit raises SIGXFSZ, which would end the test.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit {};
    if (getrlimit(RLIMIT_FSIZE, &limit) != 0)
        return;
    m_soft = limit.rlim_cur;
    limit.rlim_cur = rlim_t(bytes);
    m_set = setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

DiskFullAfter::~DiskFullAfter()
{
    if (!m_set)
        return;
    rlimit limit {};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = rlim_t(m_soft);
    setrlimit(RLIMIT_FSIZE, &limit);
}
