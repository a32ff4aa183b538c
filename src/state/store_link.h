#pragma once

#include <QJsonObject>
#include <QObject>

#include <functional>

class StateStore;
class StatusLine;

// Keeps the browser process's copy of the store and the countdown line in
// step with the program's. Each side tells the other what changed on its own
// side; what arrives from the other side is applied without being echoed.
// The owner's store ticks; the mirror's does not (StateStore::setTicking), and
// an arming on the mirror side arms the owner's slot with the same first tick.
class StoreLink : public QObject
{
    Q_OBJECT
public:
    enum class Side { Owner, Mirror };
    using Send = std::function<void(const QJsonObject &)>;

    StoreLink(StateStore &store, StatusLine &statusLine, Side side, Send send, QObject *parent = nullptr);

    // The whole store, for a mirror that has just started (owner side).
    QJsonObject snapshot() const;

    // Applies a message of the link's own kinds; false for any other message.
    bool receive(const QJsonObject &message);

private:
    void applying(const std::function<void()> &change);

    StateStore &m_store;
    StatusLine &m_statusLine;
    Side m_side;
    Send m_send;
    bool m_applying = false;
};
