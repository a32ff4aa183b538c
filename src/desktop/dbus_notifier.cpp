#include "dbus_notifier.h"

#include "display_text.h"
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

void DBusNotifier::showAlert(const QString &text, std::function<void()> showItem, const NoticeItem &item)
{
    Alert &a = m_alerts[item.slot];
    a.showItem = std::move(showItem);
    a.withdrawn = false;
    send(text, Urgency::Critical, item.slot);
}

void DBusNotifier::withdrawAlert(int slot)
{
    if (!m_alerts.contains(slot))
        return;
    m_alerts[slot].showItem = {};
    // A newer alert of the slot closes its older window just before it
    // comes: its notification should take the older one's place, not follow
    // its close.
    QTimer::singleShot(0, this, [this, slot, seq = m_alerts[slot].seq] {
        Alert &a = m_alerts[slot];
        if (seq != a.seq)
            return;
        a.withdrawn = true;
        if (a.id)
            close(std::exchange(a.id, 0));
    });
}

void DBusNotifier::showNotice(const QString &text, const NoticeItem &)
{
    send(text, Urgency::Normal, -1);
}

void DBusNotifier::send(const QString &text, Urgency urgency, int alertSlot)
{
    const bool alert = alertSlot >= 0;
    const int seq = alert ? ++m_alerts[alertSlot].seq : 0;
    whenServerKnown([this, text, urgency, alert, alertSlot, seq] {
        if (alert && seq != m_alerts[alertSlot].seq)
            return; // a newer alert of the slot is already on its way
        // Titles come from pages; a server that reads markup must not take
        // a "<" in one for a tag, and some (dunst as it is set up out of the
        // box) read it without saying so: there the characters become their
        // full-width look-alikes, which no server reads as markup.
        const QString body = m_markup.value_or(false) ? text.toHtmlEscaped() : withoutMarkup(text);
        QVariantMap hints { { u"urgency"_s, QVariant::fromValue(uchar(urgency)) },
            { u"desktop-entry"_s, u"larkvane"_s } };
        // "default" is a click on the notification itself; servers that draw
        // buttons draw the second.
        const QStringList actions
            = alert ? QStringList { u"default"_s, kShowItem, u"show-item"_s, kShowItem } : QStringList();
        const QDBusMessage message = call(u"Notify"_s,
            { u"Larkvane"_s, alert ? m_alerts[alertSlot].id : 0u, u"larkvane"_s, u"Larkvane"_s, body, actions,
                hints, alert ? 0 : -1 });
        auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message, kCallTimeoutMs), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, alert, alertSlot, seq](QDBusPendingCallWatcher *w) {
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
                Alert &a = m_alerts[alertSlot];
                if (seq != a.seq || a.withdrawn) {
                    // Its window closed, or a newer alert of the slot went
                    // out, before this answer came.
                    if (reply.value() != a.id)
                        close(reply.value());
                    return;
                }
                a.id = reply.value();
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
    if (!id || (key != u"default"_s && key != u"show-item"_s))
        return;
    for (auto it = m_alerts.begin(); it != m_alerts.end(); ++it) {
        if (it->id != id || !it->showItem)
            continue;
        qCInfo(lcDesktop) << "the alert notification of slot" << it.key() << "asks to show its item";
        // A copy: showing the item may close its window, and that the entry.
        const std::function<void()> show = it->showItem;
        show();
        return;
    }
}

void DBusNotifier::onClosed(uint id, uint)
{
    for (Alert &a : m_alerts) {
        if (id && a.id == id)
            a.id = 0;
    }
}
