#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QObject>
#include <QPointer>

class QIODevice;

// JSON objects, one a line, over a stream between the program and its
// browser process. A line that is no JSON object is skipped; one longer than
// kMaxLine means the other side is broken, and the channel closes.
class MessageChannel : public QObject
{
    Q_OBJECT
public:
    static constexpr qsizetype kMaxLine = 16 * 1024 * 1024;

    // The device must be open for reading and writing; it is not owned.
    explicit MessageChannel(QIODevice *device, QObject *parent = nullptr);

    bool isOpen() const { return m_open; }
    // Queued on the device; false once the channel is closed.
    bool send(const QJsonObject &message);
    // Reads and delivers whatever has arrived, without waiting.
    void drain();

Q_SIGNALS:
    void received(const QJsonObject &message);
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
