#include "profile_file.h"

#include "log.h"
#include "profile_text.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>

namespace {

// Far beyond anything this program writes (a few kilobytes); a bigger file is
// not ours to rewrite, and reading it whole could exhaust memory.
constexpr qint64 kMaxFileSize = 64 * 1024 * 1024;

enum class Loaded { Ok, Missing, Failed };
using Failure = ProfileFile::Failure;

Loaded load(const QString &path, QByteArray *out, Failure *why)
{
    const QFileInfo info(path);
    if (!info.exists())
        return Loaded::Missing;
    *why = Failure::Unreadable;
    if (!info.isFile())
        return Loaded::Failed;
    if (info.size() > kMaxFileSize) {
        *why = Failure::TooLarge;
        return Loaded::Failed;
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return Loaded::Failed;
    *out = f.read(kMaxFileSize + 1);
    if (f.error() != QFileDevice::NoError)
        return Loaded::Failed;
    if (out->size() > kMaxFileSize) {
        *why = Failure::TooLarge;
        return Loaded::Failed;
    }
    *why = Failure::None;
    return Loaded::Ok;
}

// What the system said of the write that failed just now.
Failure writeFailure(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG: // beyond the size this user may write
        return Failure::DiskFull;
    case EROFS:
    case EACCES:
    case EPERM:
        return Failure::ReadOnly;
    default:
        return Failure::Other;
    }
}

// The old file stays whole until the new one is complete on disk: QSaveFile
// writes a sibling and renames it over. commit() alone does not notice a full
// disk in buffered data, so the flush is checked first.
bool replace(const QString &path, const QByteArray &bytes, Failure *why)
{
    QSaveFile f(path);
    errno = 0;
    if (!f.open(QIODevice::WriteOnly)) {
        *why = writeFailure(errno);
        qCWarning(lcState) << "cannot write" << path << "-" << f.errorString();
        return false;
    }
    if (f.write(bytes) != bytes.size() || !f.flush()) {
        *why = writeFailure(errno);
        qCWarning(lcState) << "cannot write" << path << "-" << f.errorString();
        f.cancelWriting();
        return false;
    }
    if (!f.commit()) {
        *why = writeFailure(errno);
        qCWarning(lcState) << "cannot replace" << path << "-" << f.errorString();
        return false;
    }
    *why = Failure::None;
    return true;
}

} // namespace

ProfileFile::ProfileFile(QString path)
    : m_path(std::move(path))
{
}

ProfileText ProfileFile::snapshot() const
{
    QByteArray bytes;
    switch (load(m_path, &bytes, &m_failure)) {
    case Loaded::Ok:
        qCDebug(lcState) << "read" << m_path << bytes.size() << "bytes";
        break;
    case Loaded::Missing:
        qCInfo(lcState) << "no" << m_path << "yet: every setting at its default";
        break;
    case Loaded::Failed:
        // Read as empty; writeAll() will refuse to replace it, so nothing is lost.
        qCWarning(lcState) << "cannot read" << m_path << "- read as empty, and not written over";
        bytes.clear();
        break;
    }
    return ProfileText(std::move(bytes));
}

QByteArray ProfileFile::readBytes(const QString &section, const QString &key, int bufferSize) const
{
    return snapshot().value(section, key, bufferSize);
}

QString ProfileFile::read(const QString &section, const QString &key, int bufferSize) const
{
    return snapshot().text(section, key, bufferSize);
}

bool ProfileFile::write(const QString &section, const QString &key, const QString &value)
{
    return writeAll({ Entry { section, key, value } });
}

bool ProfileFile::writeAll(const QList<Entry> &entries)
{
    QByteArray before;
    const Loaded loaded = load(m_path, &before, &m_failure);
    // A file we cannot read is never replaced by one made from nothing.
    if (loaded == Loaded::Failed) {
        qCWarning(lcState) << "cannot read" << m_path << "- not written over";
        return false;
    }
    ProfileText text(before);
    for (const Entry &e : entries)
        text.set(e.section, e.key, e.readBuffer > 0 ? text.fitted(e.value, e.readBuffer) : e.value);
    const QByteArray after = text.contents();
    // Saves come after every change; most change nothing on disk.
    if (loaded == Loaded::Ok && after == before) {
        qCDebug(lcState) << m_path << "already holds these values";
        return true;
    }
    return replace(m_path, after, &m_failure);
}

int ProfileFile::removeInterruptedSaves(const QString &path, const QDateTime &before)
{
    const QFileInfo file(path);
    const QString prefix = file.fileName() + u'.';
    // Qt draws six letters of either case. A word a user might put there
    // ("backup", "BEFORE") is of one case; a draw is too, once in 32 times,
    // and that file stays: a few kilobytes left over beat a copy lost.
    const auto isSaveSuffix = [](QStringView suffix) {
        const auto lower = [](QChar c) { return c >= u'a' && c <= u'z'; };
        const auto upper = [](QChar c) { return c >= u'A' && c <= u'Z'; };
        return suffix.size() == 6
            && std::all_of(suffix.begin(), suffix.end(), [&](QChar c) { return lower(c) || upper(c); })
            && std::any_of(suffix.begin(), suffix.end(), lower)
            && std::any_of(suffix.begin(), suffix.end(), upper);
    };
    int removed = 0;
    QDirIterator it(file.absolutePath(), { prefix + u'*' },
        QDir::Files | QDir::Hidden | QDir::System | QDir::CaseSensitive);
    while (it.hasNext()) {
        const QFileInfo candidate(it.next());
        if (candidate.isSymLink() || !isSaveSuffix(QStringView(candidate.fileName()).sliced(prefix.size()))
            || candidate.lastModified() >= before)
            continue;
        if (QFile::remove(candidate.filePath())) {
            qCInfo(lcState) << "removed" << candidate.filePath() << "left by a save that was cut short";
            ++removed;
        }
    }
    return removed;
}

QByteArray ProfileFile::readFrom(
    const QByteArray &contents, const QString &section, const QString &key, int bufferSize)
{
    return ProfileText(contents).value(section, key, bufferSize);
}

QByteArray ProfileFile::applyWrite(
    const QByteArray &contents, const QString &section, const QString &key, const QString &value)
{
    ProfileText text(contents);
    text.set(section, key, value);
    return text.contents();
}
