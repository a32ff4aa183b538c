#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include "profile_text.h"

// A Windows profile (INI) file read and written with the observable behaviour
// of GetPrivateProfileStringA / WritePrivateProfileStringA, which wrote the
// files users already have. Text is code page 932 on disk, or UTF-8 in a file
// that begins with its byte order mark (ProfileText).
//
// Every write replaces the file atomically: a crash or a full disk mid-write
// leaves the old file whole.
class ProfileFile
{
public:
    explicit ProfileFile(QString path);

    QString path() const { return m_path; }

    // The value as stored bytes, cut as a read into a `bufferSize`-byte buffer
    // would cut it (at most bufferSize - 1 bytes, never half a character).
    QByteArray readBytes(const QString &section, const QString &key, int bufferSize = 256) const;
    // The same as text, decoded from the file's encoding.
    QString read(const QString &section, const QString &key, int bufferSize = 256) const;

    // The whole file parsed once, for many reads (start-up reads 70 keys); a
    // missing or unreadable file is an empty one.
    ProfileText snapshot() const;

    struct Entry
    {
        QString section;
        QString key;
        QString value;
        // The buffer its reader has: a longer value is cut, whole
        // characters only, to what that reader would get back. 0: any.
        int readBuffer = 0;
    };
    // Why the last read or write of this file failed.
    enum class Failure {
        None,
        TooLarge, // beyond what is safe to read whole: never read, never written over
        Unreadable,
        DiskFull,
        ReadOnly, // a read-only disk, or a folder or file not ours to write
        Other,
    };
    Failure failure() const { return m_failure; }

    // One write; false when the file could not be replaced (the old one stays).
    bool write(const QString &section, const QString &key, const QString &value);
    // The file the single writes in this order would have made, in one
    // atomic replacement.
    bool writeAll(const QList<Entry> &entries);

    // A save killed between writing and renaming leaves its temporary file,
    // the name, "." and six letters, beside the file. Removes those last
    // changed before `before` (the start of this process: younger ones may be
    // another save under way), and nothing else. Returns how many.
    static int removeInterruptedSaves(const QString &path, const QDateTime &before);

    // The same rules on file contents in memory (tests, fuzzing).
    static QByteArray readFrom(
        const QByteArray &contents, const QString &section, const QString &key, int bufferSize = 256);
    static QByteArray applyWrite(
        const QByteArray &contents, const QString &section, const QString &key, const QString &value);

private:
    QString m_path;
    mutable Failure m_failure = Failure::None;
};
