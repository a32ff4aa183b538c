#pragma once

#include "desktop_notifier.h"

#include <QDBusConnection>
#include <QObject>

#include <optional>

class QDBusPendingCallWatcher;

// Notifications through org.freedesktop.Notifications on the session bus,
// the interface every Linux desktop's notification server answers (dunst,
// xfce4-notifyd, GNOME Shell, Plasma, mako). Calls never wait: a server
// that is slow or absent holds up no alert. Without one nothing is sent,
// and the log says so once until one answers again.
class DBusNotifier : public QObject, public DesktopNotifier
{
    Q_OBJECT
public:
    explicit DBusNotifier(QDBusConnection bus = QDBusConnection::sessionBus(), QObject *parent = nullptr);

    void showAlert(const QString &text, std::function<void()> showItem, const NoticeItem &item = {}) override;
    void withdrawAlert(int slot) override;
    void showNotice(const QString &text, const NoticeItem &item = {}) override;

private Q_SLOTS:
    void onActionInvoked(uint id, const QString &key);
    void onClosed(uint id, uint reason);

private:
    enum class Urgency : uchar { Normal = 1, Critical = 2 };
    void send(const QString &text, Urgency urgency, int alertSlot);
    void whenServerKnown(std::function<void()> then);
    void noServer(const QString &why);
    void close(uint id);

    QDBusConnection m_bus;
    // Whether the server reads the body as markup, once it has said.
    std::optional<bool> m_markup;
    bool m_asking = false;
    QList<std::function<void()>> m_waiting;
    bool m_saidNoServer = false;

    // Each slot's alert notification: its id once the server has given it,
    // and whether its window closed before that.
    struct Alert
    {
        uint id = 0;
        int seq = 0;
        bool withdrawn = false;
        std::function<void()> showItem;
    };
    QHash<int, Alert> m_alerts;
};
