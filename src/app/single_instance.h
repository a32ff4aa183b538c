#pragma once

#include <QString>

// One running copy per user session. The lock lives in the user's runtime
// folder (XDG_RUNTIME_DIR), so it is per user, vanishes at logout, and a test
// can give each run a folder of its own.
//
// The lock is the kernel's (flock) on that file, held for the life of the
// process: the kernel lets it go however the holder ends, so a copy killed
// at any moment, or a file left empty by a full folder, never keeps the next
// start out. The file's content (the holder's PID) is for people; nothing
// reads it to decide.
class SingleInstance
{
public:
    enum class Result {
        Acquired,
        HeldByOther,
        // The lock file cannot be opened at all (no runtime folder, read-only
        // disk): nobody can tell whether another copy runs.
        Unavailable,
    };

    explicit SingleInstance(const QString &lockPath = defaultLockPath());
    ~SingleInstance();
    SingleInstance(const SingleInstance &) = delete;
    SingleInstance &operator=(const SingleInstance &) = delete;

    static QString defaultLockPath();

    Result acquire();
    QString lockPath() const { return m_path; }

private:
    QString m_path;
    int m_fd = -1;
    bool m_held = false;
};
