#include "temp_work_dir.h"

#include <QFile>
#include <QFileInfo>

TempWorkDir::TempWorkDir()
    : m_previous(QDir::currentPath())
{
    QDir::setCurrent(m_dir.path());
}

TempWorkDir::~TempWorkDir()
{
    QDir::setCurrent(m_previous);
}

void TempWorkDir::write(const QString &name, const QByteArray &bytes) const
{
    const QString p = filePath(name);
    QDir().mkpath(QFileInfo(p).absolutePath());
    QFile f(p);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}

QByteArray TempWorkDir::read(const QString &name) const
{
    QFile f(filePath(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
