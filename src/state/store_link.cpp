#include "store_link.h"

#include "state_store.h"
#include "status_line.h"

#include <QJsonArray>

using namespace Qt::StringLiterals;

namespace {

bool validSlot(int n)
{
    return n >= 1 && n <= StateStore::kSlots;
}

} // namespace

StoreLink::StoreLink(StateStore &store, StatusLine &statusLine, Side side, Send send, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_statusLine(statusLine)
    , m_side(side)
    , m_send(std::move(send))
{
    connect(&store, &StateStore::valueChanged, this, [this](const QString &name, const QString &text) {
        if (!m_applying)
            m_send({ { u"op"_s, u"set"_s }, { u"name"_s, name }, { u"text"_s, text } });
    });
    connect(&store, &StateStore::armedChanged, this, [this](int n, bool armed) {
        if (m_applying)
            return;
        QJsonObject message { { u"op"_s, armed ? u"arm"_s : u"disarm"_s }, { u"n"_s, n } };
        // The owner arms the slot with the first tick this side asked for.
        if (armed)
            message.insert(u"first"_s, m_store.timer(n)->interval());
        m_send(message);
    });
    connect(&statusLine, &StatusLine::changed, this, [this](const QString &text) {
        if (!m_applying)
            m_send({ { u"op"_s, u"status"_s }, { u"text"_s, text } });
    });
}

QJsonObject StoreLink::snapshot() const
{
    QJsonObject fields;
    const QHash<QString, QString> all = m_store.fields();
    for (auto it = all.cbegin(); it != all.cend(); ++it)
        fields.insert(it.key(), it.value());
    QJsonArray armed;
    for (int n = 1; n <= StateStore::kSlots; ++n) {
        if (m_store.isArmed(n))
            armed.append(n);
    }
    return { { u"op"_s, u"state"_s }, { u"fields"_s, fields }, { u"armed"_s, armed },
        { u"status"_s, m_statusLine.text() } };
}

bool StoreLink::receive(const QJsonObject &message)
{
    const QString op = message.value(u"op"_s).toString();
    if (op == u"set"_s) {
        const QString name = message.value(u"name"_s).toString();
        if (!name.isEmpty())
            applying([&] { m_store.setValue(name, message.value(u"text"_s).toString()); });
    } else if (op == u"status"_s) {
        applying([&] { m_statusLine.setText(message.value(u"text"_s).toString()); });
    } else if (op == u"arm"_s || op == u"disarm"_s) {
        const int n = message.value(u"n"_s).toInt();
        if (!validSlot(n))
            return true;
        if (op == u"disarm"_s)
            applying([&] { m_store.disarm(n); });
        else
            applying([&] { m_store.arm(n, message.value(u"first"_s).toInt(1000)); });
    } else if (op == u"state"_s) {
        // Only a mirror takes a whole store; the owner's is the record.
        if (m_side != Side::Mirror)
            return true;
        const QJsonObject fields = message.value(u"fields"_s).toObject();
        const QJsonArray armed = message.value(u"armed"_s).toArray();
        applying([&] {
            for (auto it = fields.constBegin(); it != fields.constEnd(); ++it)
                m_store.setValue(it.key(), it.value().toString());
            for (int n = 1; n <= StateStore::kSlots; ++n) {
                if (armed.contains(n))
                    m_store.arm(n);
                else
                    m_store.disarm(n);
            }
            m_statusLine.setText(message.value(u"status"_s).toString());
        });
    } else {
        return false;
    }
    return true;
}

void StoreLink::applying(const std::function<void()> &change)
{
    const bool outer = m_applying;
    m_applying = true;
    change();
    m_applying = outer;
}
