#include "message_channel.h"

#include "log.h"

#include <QIODevice>
#include <QJsonDocument>
#include <QJsonParseError>

MessageChannel::MessageChannel(QIODevice *device, QObject *parent)
    : QObject(parent)
    , m_device(device)
{
    connect(device, &QIODevice::readyRead, this, &MessageChannel::readAvailable);
    connect(device, &QIODevice::readChannelFinished, this, [this] {
        readAvailable();
        shut();
    });
    connect(device, &QObject::destroyed, this, &MessageChannel::shut);
}

bool MessageChannel::send(const wire::Message &message)
{
    if (!m_open || !m_device)
        return false;
    // Compact JSON escapes every line break, so a line is a message.
    QByteArray line = QJsonDocument(wire::encode(message)).toJson(QJsonDocument::Compact);
    line += '\n';
    if (m_device->write(line) != line.size()) {
        qCWarning(lcBrowser) << "a message to the other process could not be written; the link is closed";
        shut();
        return false;
    }
    return true;
}

void MessageChannel::drain()
{
    readAvailable();
}

void MessageChannel::readAvailable()
{
    // A handler may run a nested event loop (a message box) and readyRead
    // come again meanwhile: the outer call keeps delivering, in order.
    if (m_reading || !m_device)
        return;
    m_reading = true;
    const QPointer<MessageChannel> alive(this);
    while (m_open && m_device && (m_device->bytesAvailable() > 0 || m_pending.contains('\n'))) {
        m_pending += m_device->readAll();
        qsizetype end = m_pending.indexOf('\n');
        if (end < 0) {
            if (m_pending.size() > kMaxLine) {
                qCWarning(lcBrowser) << "the other process sent a line of over" << kMaxLine << "bytes";
                m_reading = false;
                shut();
                return;
            }
            break;
        }
        const QByteArray line = m_pending.left(end);
        m_pending.remove(0, end + 1);
        QJsonParseError error {};
        const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
        if (error.error != QJsonParseError::NoError || !doc.isObject()) {
            qCWarning(lcBrowser) << "skipped a message that is no JSON object:" << error.errorString();
            continue;
        }
        const std::optional<wire::Message> message = wire::decode(doc.object());
        if (!message) {
            qCWarning(lcBrowser) << "skipped a message of no known kind or shape:" << line.left(80);
            continue;
        }
        Q_EMIT received(*message);
        if (!alive)
            return;
    }
    m_reading = false;
}

void MessageChannel::shut()
{
    if (!m_open)
        return;
    m_open = false;
    Q_EMIT closed();
}
