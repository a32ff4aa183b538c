#pragma once

// What the desktop tests need to run the real program as a desktop does: an
// X server of their own, a tray host on it, and a user's session environment.

#include "x_display.h"

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

#include <memory>

QByteArray contents(const QString &path);

// A process that is ended when the test lets go of it.
struct Running
{
    std::unique_ptr<QProcess> p = std::make_unique<QProcess>();
    Running() = default;
    Running(const Running &) = delete;
    Running &operator=(const Running &) = delete;
    ~Running();
    qint64 pid() const { return p->processId(); }
};

// Xvfb on a display number it picks itself.
class XServer
{
public:
    bool start();
    QString display() const { return m_display; }
    XDisplay &x() { return *m_x; }

private:
    Running m_server;
    QString m_display;
    std::unique_ptr<XDisplay> m_x;
};

// The environment of one user's session on `display`, with no session bus
// (so Qt uses the XEmbed tray) and homes of its own.
QProcessEnvironment session(const QString &display, const QString &home, const QString &runtime);

bool startTrayHost(XServer &server, Running &host);

// The program and the processes it started (the browser window has one).
QList<qint64> processFamily(qint64 pid);

// The command of a desktop entry's Exec line, unquoted as the entry format
// says; the entry passes no arguments.
QString execCommand(const QByteArray &entry);
