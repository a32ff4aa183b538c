#pragma once

#include <QByteArray>
#include <QDir>
#include <QString>
#include <QTemporaryDir>

// A fresh working folder for one test, made current for its lifetime.
class TempWorkDir
{
public:
    TempWorkDir();
    ~TempWorkDir();
    TempWorkDir(const TempWorkDir &) = delete;
    TempWorkDir &operator=(const TempWorkDir &) = delete;

    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return QDir(m_dir.path()).filePath(name); }
    void write(const QString &name, const QByteArray &bytes) const;
    QByteArray read(const QString &name) const;

private:
    QTemporaryDir m_dir;
    QString m_previous;
};
