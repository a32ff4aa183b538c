#include "lifecycle.h"

#include "log.h"

#include "persistence.h"
#include "services.h"
#include "window_registry.h"

#include <QCoreApplication>
#include <QTimer>

using namespace Qt::StringLiterals;

Lifecycle::Lifecycle(Services &services, QObject *parent)
    : QObject(parent)
    , m_services(services)
    , m_quit([](int code) {
        QCoreApplication::exit(code);
        // Asked inside a nested loop before the main one runs (a message box
        // during start-up), exit() ends only that loop, and the main loop
        // would then run for good while every later signal finds the exit
        // done. This ends it as soon as it runs.
        QTimer::singleShot(0, QCoreApplication::instance(), [code] { QCoreApplication::exit(code); });
    })
{
}

QStringList Lifecycle::confirmedExitOrder()
{
    return { u"frmEnding"_s, u"frmWeb"_s, u"frmAlarm"_s, u"frmConf"_s, u"frmVersion"_s, u"frmMessage"_s,
        u"frmbookmark"_s, u"frmTask"_s };
}

QStringList Lifecycle::storeCloseOrder()
{
    return { u"frmAlarm"_s, u"frmConf"_s, u"frmVersion"_s, u"frmTask"_s, u"frmbookmark"_s, u"frmMessage"_s,
        u"frmWeb"_s };
}

void Lifecycle::exitFromTray()
{
    if (m_exiting)
        return;
    m_exiting = true;
    qCInfo(lcTray) << "exit from the tray menu (or a signal, or the session's end)";
    m_services.windows.close(u"frmWeb"_s);
    end();
}

void Lifecycle::exitConfirmed()
{
    if (m_exiting)
        return;
    m_exiting = true;
    qCInfo(lcTray) << "exit confirmed in the exit window";
    // Each window stores what it keeps (browser geometry, alert position) as
    // it closes, so all of them must be gone before the file is written.
    m_services.windows.closeInOrder(confirmedExitOrder());
    end();
}

void Lifecycle::closeStore()
{
    if (m_closed)
        return;
    m_closed = true;
    qCInfo(lcTray) << "closing the store: settings and slots are written";
    // An open browser window stores its geometry into the store as it closes.
    m_services.windows.close(u"frmWeb"_s);
    // A file that cannot be written loses this run's changes; there is no one
    // left to tell, and the exit must not be refused.
    m_services.persistence.save();
    if (m_removeTrayIcon)
        m_removeTrayIcon();
    // Whatever is still open now closes after the file: an alert window's
    // position at this moment is not kept.
    m_services.windows.closeInOrder(storeCloseOrder());
}

void Lifecycle::end()
{
    closeStore();
    if (m_quit)
        m_quit(0);
}
