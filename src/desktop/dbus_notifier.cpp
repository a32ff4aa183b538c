#include "dbus_notifier.h"

#include "log.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

const QString kService = u"org.freedesktop.Notifications"_s;
const QString kPath = u"/org/freedesktop/Notifications"_s;
const QString kInterface = u"org.freedesktop.Notifications"_s;
const QString kShowItem = u"このオークションを表示"_s;
constexpr int kCallTimeoutMs = 5000;

QDBusMessage call(const QString &method, const QVariantList &arguments = {})
{
    QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
    message.setArguments(arguments);
    return message;
}

} // namespace

DBusNotifier::DBusNotifier(QDBusConnection bus, QObject *parent)
    : QObject(parent)
    , m_bus(std::move(bus))
{
    m_bus.connect(
        QString(), kPath, kInterface, u"ActionInvoked"_s, this, SLOT(onActionInvoked(uint, QString)));
    m_bus.connect(QString(), kPath, kInterface, u"NotificationClosed"_s, this, SLOT(onClosed(uint, uint)));
}

void DBusNotifier::showAlert(const QString &text, std::function<void()> showItem, const NoticeItem &)
{
    m_showItem = std::move(showItem);
    m_alertWithdrawn = false;
    send(text, Urgency::Critical, true);
}

void DBusNotifier::withdrawAlert()
{
    m_showItem = {};
    // A newer alert closes the older window just before it comes: its
    // notification should take the older one's place, not follow its close.
    QTimer::singleShot(0, this, [this, seq = m_alertSeq] {
        if (seq != m_alertSeq)
            return;
        m_alertWithdrawn = true;
        if (m_alertId)
            close(std::exchange(m_alertId, 0));
    });
}

void DBusNotifier::showNotice(const QString &text, const NoticeItem &)
{
    send(text, Urgency::Normal, false);
}

void DBusNotifier::send(const QString &text, Urgency urgency, bool alert)
{
    const int seq = alert ? ++m_alertSeq : 0;
    whenServerKnown([this, text, urgency, alert, seq] {
        if (alert && seq != m_alertSeq)
            return; // a newer alert is already on its way
        // Titles come from pages; a server that reads markup must not take
        // a "<" in one for a tag.
        const QString body = m_markup.value_or(false) ? text.toHtmlEscaped() : text;
        QVariantMap hints { { u"urgency"_s, QVariant::fromValue(uchar(urgency)) },
            { u"desktop-entry"_s, u"larkvane"_s } };
        // "default" is a click on the notification itself; servers that draw
        // buttons draw the second.
        const QStringList actions
            = alert ? QStringList { u"default"_s, kShowItem, u"show-item"_s, kShowItem } : QStringList();
        const QDBusMessage message = call(u"Notify"_s,
            { u"Larkvane"_s, alert ? m_alertId : 0u, u"larkvane"_s, u"Larkvane"_s, body, actions, hints,
                alert ? 0 : -1 });
        auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message, kCallTimeoutMs), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, alert, seq](QDBusPendingCallWatcher *w) {
                w->deleteLater();
                const QDBusPendingReply<uint> reply = *w;
                if (reply.isError()) {
                    noServer(reply.error().message());
                    return;
                }
                qCInfo(lcDesktop) << (alert ? "alert" : "notice") << "notification" << reply.value()
                                  << "shown";
                if (!alert)
                    return;
                if (seq != m_alertSeq || m_alertWithdrawn) {
                    // Its window closed, or a newer alert went out, before this answer came.
                    if (reply.value() != m_alertId)
                        close(reply.value());
                    return;
                }
                m_alertId = reply.value();
            });
    });
}

void DBusNotifier::whenServerKnown(std::function<void()> then)
{
    if (m_markup) {
        then();
        return;
    }
    m_waiting << std::move(then);
    if (m_asking)
        return;
    m_asking = true;
    auto *watcher
        = new QDBusPendingCallWatcher(m_bus.asyncCall(call(u"GetCapabilities"_s), kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        m_asking = false;
        const QDBusPendingReply<QStringList> reply = *w;
        const QList<std::function<void()>> waiting = std::exchange(m_waiting, {});
        if (reply.isError()) {
            noServer(reply.error().message());
            return;
        }
        if (m_saidNoServer)
            qCInfo(lcDesktop) << "a notification server answers again";
        m_saidNoServer = false;
        m_markup = reply.value().contains(u"body-markup"_s);
        for (const auto &then : waiting)
            then();
    });
}

void DBusNotifier::noServer(const QString &why)
{
    // The next notification asks again: a server may come up at any time.
    m_markup.reset();
    if (m_saidNoServer)
        return;
    m_saidNoServer = true;
    qCInfo(lcDesktop).nospace().noquote()
        << "no desktop notification server (" << why << "): alerts show their window only";
}

void DBusNotifier::close(uint id)
{
    if (id)
        m_bus.asyncCall(call(u"CloseNotification"_s, { id }), kCallTimeoutMs);
}

void DBusNotifier::onActionInvoked(uint id, const QString &key)
{
    if (id != m_alertId || !m_alertId || (key != u"default"_s && key != u"show-item"_s) || !m_showItem)
        return;
    qCInfo(lcDesktop) << "the alert notification asks to show its item";
    m_showItem();
}

void DBusNotifier::onClosed(uint id, uint)
{
    if (id == m_alertId)
        m_alertId = 0;
}
