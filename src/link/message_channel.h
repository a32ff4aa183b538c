#pragma once

#include "protocol.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>

class QIODevice;

// The link's messages, one JSON object a line, over a stream between the
// program and its browser process. A line that is no message is skipped; one
// longer than kMaxLine means the other side is broken, and the channel closes.
// So does a message that cannot be written: either way the other process is
// as good as gone.
class MessageChannel : public QObject
{
    Q_OBJECT
public:
    static constexpr qsizetype kMaxLine = 16 * 1024 * 1024;

    // The device must be open for reading and writing; it is not owned.
    explicit MessageChannel(QIODevice *device, QObject *parent = nullptr);

    bool isOpen() const { return m_open; }
    // Queued on the device; false once the channel is closed.
    bool send(const wire::Message &message);
    // Reads and delivers whatever has arrived, without waiting.
    void drain();

Q_SIGNALS:
    void received(const wire::Message &message);
    // The other side went away, or sent what no channel carries.
    void closed();

private:
    void readAvailable();
    void shut();

    QPointer<QIODevice> m_device;
    QByteArray m_pending;
    bool m_open = true;
    bool m_reading = false;
};
