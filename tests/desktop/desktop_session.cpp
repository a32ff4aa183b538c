#include "desktop_session.h"

#include <QFile>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

Running::~Running()
{
    if (p->state() == QProcess::NotRunning)
        return;
    p->terminate();
    if (!p->waitForFinished(15000)) {
        p->kill();
        p->waitForFinished();
    }
}

bool XServer::start()
{
    const QString xvfb = QStandardPaths::findExecutable(u"Xvfb"_s);
    if (xvfb.isEmpty())
        return false;
    m_server.p->start(
        xvfb, { u"-displayfd"_s, u"1"_s, u"-screen"_s, u"0"_s, u"1024x768x24"_s, u"-nolisten"_s, u"tcp"_s });
    if (!m_server.p->waitForStarted() || !m_server.p->waitForReadyRead(10000))
        return false;
    m_display = u':' + QString::fromLatin1(m_server.p->readLine().trimmed());
    m_x = std::make_unique<XDisplay>(m_display);
    return m_x->isOpen();
}

QProcessEnvironment session(const QString &display, const QString &home, const QString &runtime)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"DISPLAY"_s, display);
    env.insert(u"HOME"_s, home);
    env.insert(u"XDG_RUNTIME_DIR"_s, runtime);
    env.insert(u"LANG"_s, u"C.UTF-8"_s);
    env.insert(u"QTWEBENGINE_CHROMIUM_FLAGS"_s, u"--disable-gpu --no-first-run"_s);
    for (const QString &name :
        { u"QT_QPA_PLATFORM"_s, u"DBUS_SESSION_BUS_ADDRESS"_s, u"XDG_DATA_HOME"_s, u"XDG_CONFIG_HOME"_s })
        env.remove(name);
    return env;
}

bool startTrayHost(XServer &server, Running &host)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"DISPLAY"_s, server.display());
    host.p->setProcessEnvironment(env);
    host.p->start(u"trayer"_s, { u"--edge"_s, u"top"_s });
    return host.p->waitForStarted()
        && server.x().waitUntil([&] { return !server.x().windowsOf(host.pid()).isEmpty(); }, 10000);
}

QList<qint64> processFamily(qint64 pid)
{
    QList<qint64> family { pid };
    QFile children(u"/proc/%1/task/%1/children"_s.arg(pid));
    if (children.open(QIODevice::ReadOnly)) {
        for (const QByteArray &child : children.readAll().split(' ')) {
            if (const qint64 c = child.trimmed().toLongLong())
                family << c;
        }
    }
    return family;
}

QString execCommand(const QByteArray &entry)
{
    for (const QByteArray &line : entry.split('\n')) {
        if (!line.startsWith("Exec="))
            continue;
        QString value = QString::fromUtf8(line.mid(5)).trimmed();
        if (value.startsWith(u'"') && value.endsWith(u'"') && value.size() > 1) {
            value = value.mid(1, value.size() - 2);
            value.replace(u"\\\""_s, u"\""_s);
        }
        return value.replace(u"%%"_s, u"%"_s);
    }
    return {};
}
