#pragma once

#include <QString>

// Ways a write can fail, made real for the length of a scope.

// The folder is read-only to us. Tests run as root in CI, where permission
// bits do not stop anyone, so this also takes on an unprivileged identity for
// file access (this thread only) while it lives.
class ReadOnlyFolder
{
public:
    explicit ReadOnlyFolder(QString path);
    ~ReadOnlyFolder();
    ReadOnlyFolder(const ReadOnlyFolder &) = delete;
    ReadOnlyFolder &operator=(const ReadOnlyFolder &) = delete;

private:
    QString m_path;
    bool m_switchedIdentity = false;
};

// The file cannot be read, in a folder anyone may write: only the rule that
// a file we cannot read is never replaced keeps it. As root, file access
// takes on an unprivileged identity too (this thread only).
class UnreadableFile
{
public:
    explicit UnreadableFile(QString path);
    ~UnreadableFile();
    UnreadableFile(const UnreadableFile &) = delete;
    UnreadableFile &operator=(const UnreadableFile &) = delete;

private:
    QString m_path;
    QString m_folder;
    bool m_switchedIdentity = false;
};

// Files may grow to at most `bytes`: a write past that fails as on a full
// disk.
class DiskFullAfter
{
public:
    explicit DiskFullAfter(long bytes);
    ~DiskFullAfter();
    DiskFullAfter(const DiskFullAfter &) = delete;
    DiskFullAfter &operator=(const DiskFullAfter &) = delete;

private:
    unsigned long long m_soft = 0;
    bool m_set = false;
};
