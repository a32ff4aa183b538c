#include "profile_file.h"

#include "cp932_codec.h"
#include "profile_text.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

// Far beyond anything this program writes (a few kilobytes); a bigger file is
// not ours to rewrite, and reading it whole could exhaust memory.
constexpr qint64 kMaxFileSize = 64 * 1024 * 1024;

enum class Loaded { Ok, Missing, Failed };

Loaded load(const QString &path, QByteArray *out)
{
    const QFileInfo info(path);
    if (!info.exists())
        return Loaded::Missing;
    if (!info.isFile() || info.size() > kMaxFileSize)
        return Loaded::Failed;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return Loaded::Failed;
    *out = f.read(kMaxFileSize + 1);
    if (f.error() != QFileDevice::NoError || out->size() > kMaxFileSize)
        return Loaded::Failed;
    return Loaded::Ok;
}

// The old file stays whole until the new one is complete on disk: QSaveFile
// writes a sibling and renames it over. commit() alone does not notice a full
// disk in buffered data, so the flush is checked first.
bool replace(const QString &path, const QByteArray &bytes)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    if (f.write(bytes) != bytes.size() || !f.flush()) {
        f.cancelWriting();
        return false;
    }
    return f.commit();
}

} // namespace

ProfileFile::ProfileFile(QString path)
    : m_path(std::move(path))
{
}

ProfileText ProfileFile::snapshot() const
{
    QByteArray bytes;
    if (load(m_path, &bytes) != Loaded::Ok)
        bytes.clear();
    return ProfileText(std::move(bytes));
}

QByteArray ProfileFile::readBytes(const QString &section, const QString &key, int bufferSize) const
{
    return snapshot().value(section, key, bufferSize);
}

QString ProfileFile::read(const QString &section, const QString &key, int bufferSize) const
{
    return Cp932::decode(readBytes(section, key, bufferSize));
}

bool ProfileFile::write(const QString &section, const QString &key, const QString &value)
{
    return writeAll({ Entry { section, key, value } });
}

bool ProfileFile::writeAll(const QList<Entry> &entries)
{
    QByteArray before;
    const Loaded loaded = load(m_path, &before);
    // A file we cannot read is never replaced by one made from nothing.
    if (loaded == Loaded::Failed)
        return false;
    ProfileText text(before);
    for (const Entry &e : entries)
        text.set(e.section, e.key, e.value);
    const QByteArray after = text.contents();
    // Saves come after every change; most change nothing on disk.
    if (loaded == Loaded::Ok && after == before)
        return true;
    return replace(m_path, after);
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
