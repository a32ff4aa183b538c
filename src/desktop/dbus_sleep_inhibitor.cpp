#include "dbus_sleep_inhibitor.h"

#include "log.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

using namespace Qt::StringLiterals;

namespace {

constexpr uint kPortalIdleFlag = 8;
constexpr int kCallTimeoutMs = 5000;

} // namespace

DBusSleepInhibitor::DBusSleepInhibitor(QDBusConnection session, QDBusConnection system, QObject *parent)
    : QObject(parent)
    , m_session(std::move(session))
    , m_system(std::move(system))
{
}

DBusSleepInhibitor::~DBusSleepInhibitor()
{
    letGo();
}

void DBusSleepInhibitor::hold(const QString &why)
{
    if (m_wanted)
        return;
    m_wanted = true;
    const int request = ++m_request;
    QDBusMessage message = QDBusMessage::createMethodCall(u"org.freedesktop.portal.Desktop"_s,
        u"/org/freedesktop/portal/desktop"_s, u"org.freedesktop.portal.Inhibit"_s, u"Inhibit"_s);
    message.setArguments({ QString(), kPortalIdleFlag, QVariantMap { { u"reason"_s, why } } });
    auto *watcher = new QDBusPendingCallWatcher(m_session.asyncCall(message, kCallTimeoutMs), this);
    connect(
        watcher, &QDBusPendingCallWatcher::finished, this, [this, why, request](QDBusPendingCallWatcher *w) {
            w->deleteLater();
            const QDBusPendingReply<QDBusObjectPath> reply = *w;
            if (reply.isError()) {
                if (request == m_request)
                    holdThroughLogind(why, reply.error().message());
                return;
            }
            if (request != m_request) {
                closePortalRequest(reply.value());
                return;
            }
            m_portalHandle = reply.value();
            qCInfo(lcDesktop) << "idle sleep held off through the desktop portal";
        });
}

void DBusSleepInhibitor::holdThroughLogind(const QString &why, const QString &portalError)
{
    const int request = m_request;
    QDBusMessage message = QDBusMessage::createMethodCall(u"org.freedesktop.login1"_s,
        u"/org/freedesktop/login1"_s, u"org.freedesktop.login1.Manager"_s, u"Inhibit"_s);
    message.setArguments({ u"idle"_s, u"Larkvane"_s, why, u"block"_s });
    auto *watcher = new QDBusPendingCallWatcher(m_system.asyncCall(message, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
        [this, request, portalError](QDBusPendingCallWatcher *w) {
            w->deleteLater();
            const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *w;
            if (reply.isError()) {
                qCInfo(lcDesktop).nospace().noquote()
                    << "cannot keep the machine awake: no desktop portal (" << portalError << "), no logind ("
                    << reply.error().message() << ")";
                return;
            }
            // A descriptor that comes too late closes as it goes out of scope.
            if (request != m_request)
                return;
            m_logindLock = reply.value();
            qCInfo(lcDesktop) << "idle sleep held off through logind";
        });
}

void DBusSleepInhibitor::release()
{
    if (!m_wanted)
        return;
    m_wanted = false;
    ++m_request;
    letGo();
}

void DBusSleepInhibitor::letGo()
{
    if (!m_portalHandle.path().isEmpty()) {
        closePortalRequest(std::exchange(m_portalHandle, {}));
        qCInfo(lcDesktop) << "idle sleep allowed again (portal)";
    }
    if (m_logindLock.isValid()) {
        m_logindLock = {};
        qCInfo(lcDesktop) << "idle sleep allowed again (logind)";
    }
}

void DBusSleepInhibitor::closePortalRequest(const QDBusObjectPath &handle)
{
    const QDBusMessage close = QDBusMessage::createMethodCall(
        u"org.freedesktop.portal.Desktop"_s, handle.path(), u"org.freedesktop.portal.Request"_s, u"Close"_s);
    m_session.asyncCall(close, kCallTimeoutMs);
}
