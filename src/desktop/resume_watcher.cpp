#include "resume_watcher.h"

#include "log.h"

using namespace Qt::StringLiterals;

ResumeWatcher::ResumeWatcher(QDBusConnection system, QObject *parent)
    : QObject(parent)
{
    m_listening = system.isConnected()
        && system.connect(u"org.freedesktop.login1"_s, u"/org/freedesktop/login1"_s,
            u"org.freedesktop.login1.Manager"_s, u"PrepareForSleep"_s, this, SLOT(prepareForSleep(bool)));
    if (!m_listening)
        qCInfo(lcDesktop) << "no word of suspend and resume from logind; sleeping slots wake at least hourly";
}

void ResumeWatcher::prepareForSleep(bool starting)
{
    qCInfo(lcDesktop) << (starting ? "the machine is going to sleep" : "the machine has woken up");
    if (!starting)
        Q_EMIT resumed();
}
