#pragma once

#include "sleep_inhibitor.h"

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QObject>

// Keeps the machine from sleeping for idleness: through the desktop portal
// (org.freedesktop.portal.Inhibit, flag idle) where one is on the session
// bus, as sandboxed and GNOME or Plasma sessions have; else through logind
// (Inhibit "idle", mode block) on the system bus. The portal's hold lasts
// until its request is closed, logind's until its descriptor is.
class DBusSleepInhibitor : public QObject, public SleepInhibitor
{
    Q_OBJECT
public:
    explicit DBusSleepInhibitor(QDBusConnection session = QDBusConnection::sessionBus(),
        QDBusConnection system = QDBusConnection::systemBus(), QObject *parent = nullptr);
    ~DBusSleepInhibitor() override;

    void hold(const QString &why) override;
    void release() override;

private:
    void holdThroughLogind(const QString &why, const QString &portalError);
    void letGo();
    void closePortalRequest(const QDBusObjectPath &handle);

    QDBusConnection m_session;
    QDBusConnection m_system;
    bool m_wanted = false;
    // Counts holds and releases: an answer to an older one is let go at once.
    int m_request = 0;
    QDBusObjectPath m_portalHandle;
    QDBusUnixFileDescriptor m_logindLock;
};
