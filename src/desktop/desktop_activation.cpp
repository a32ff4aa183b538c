#include "desktop_activation.h"

#include "log.h"

#include <QDBusConnectionInterface>
#include <QUrl>

using namespace Qt::StringLiterals;

DesktopActivation::DesktopActivation(const QString &appId, QDBusConnection bus, QObject *parent)
    : QObject(parent)
    , m_bus(std::move(bus))
    , m_name(appId)
{
    if (!m_bus.isConnected() || m_name.isEmpty())
        return;
    if (!m_bus.registerObject(objectPath(m_name), this, QDBusConnection::ExportScriptableSlots)) {
        qCWarning(lcDesktop) << "cannot offer the desktop's activation at" << objectPath(m_name);
        return;
    }
    // Never queued: a name that comes to us later, from a copy that is not
    // this one, would bring the wrong window forward.
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply
        = m_bus.interface()->registerService(m_name, QDBusConnectionInterface::DontQueueService,
            QDBusConnectionInterface::DontAllowReplacement);
    m_offered = reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered;
    if (!m_offered) {
        qCInfo(lcDesktop) << "the session bus name" << m_name << "is someone else's; no desktop activation";
        m_bus.unregisterObject(objectPath(m_name));
    }
}

DesktopActivation::~DesktopActivation()
{
    if (m_offered) {
        m_bus.interface()->unregisterService(m_name);
        m_bus.unregisterObject(objectPath(m_name));
    }
}

QString DesktopActivation::objectPath(const QString &appId)
{
    QString path = u'/' + appId;
    path.replace(u'.', u'/').replace(u'-', u'_');
    return path;
}

void DesktopActivation::Activate(const QVariantMap &)
{
    qCInfo(lcDesktop) << "the desktop asks for the window";
    Q_EMIT activated();
}

void DesktopActivation::Open(const QStringList &uris, const QVariantMap &)
{
    // One browser window: the first address it can show.
    for (const QString &uri : uris) {
        const QUrl url(uri);
        if (url.scheme() == u"http"_s || url.scheme() == u"https"_s || url.isLocalFile()) {
            qCInfo(lcDesktop) << "the desktop hands over" << url.toDisplayString();
            Q_EMIT openRequested(url.isLocalFile() ? url.toLocalFile() : url.toString());
            return;
        }
    }
    Q_EMIT activated();
}

void DesktopActivation::ActivateAction(const QString &name, const QVariantList &, const QVariantMap &)
{
    // The menu entry names no actions.
    qCInfo(lcDesktop) << "no action" << name << "to activate";
}
