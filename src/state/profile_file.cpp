#include "profile_file.h"
ProfileFile::ProfileFile(QString path) : m_path(std::move(path)) {}
QByteArray ProfileFile::readBytes(const QString &, const QString &, int) const { return {}; }
QString ProfileFile::read(const QString &, const QString &, int) const { return {}; }
bool ProfileFile::write(const QString &, const QString &, const QString &) { return false; }
bool ProfileFile::writeAll(const QList<Entry> &) { return false; }
QByteArray ProfileFile::readFrom(const QByteArray &, const QString &, const QString &, int) { return {}; }
QByteArray ProfileFile::applyWrite(const QByteArray &c, const QString &, const QString &, const QString &) { return c; }
