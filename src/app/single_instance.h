#pragma once

#include <QLockFile>
#include <QString>

// One running copy per user session. The lock lives in the user's runtime
// folder (XDG_RUNTIME_DIR), so it is per user, vanishes at logout, and a test
// can give each run a folder of its own.
class SingleInstance
{
public:
    enum class Result {
        Acquired,
        HeldByOther,
        // The lock file cannot be created at all (no runtime folder, read-only
        // disk): nobody can tell whether another copy runs.
        Unavailable,
    };

    explicit SingleInstance(const QString &lockPath = defaultLockPath());

    static QString defaultLockPath();

    Result acquire();
    QString lockPath() const { return m_path; }

private:
    QString m_path;
    QLockFile m_lock;
};
