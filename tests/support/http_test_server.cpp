#include "http_test_server.h"

#include <QTcpSocket>

#include <algorithm>
#include <memory>

using namespace Qt::StringLiterals;

HttpTestServer::HttpTestServer(QObject *parent)
    : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &HttpTestServer::onConnection);
}

bool HttpTestServer::listen()
{
    return m_server.listen(QHostAddress::LocalHost, 0);
}

QUrl HttpTestServer::url(const QString &path) const
{
    return QUrl(u"http://127.0.0.1:"_s + QString::number(port()) + path);
}

void HttpTestServer::setPage(const QString &path, const QByteArray &body, const QByteArray &contentType)
{
    Reply r;
    r.body = body;
    r.contentType = contentType;
    m_replies.insert(path, r);
}

void HttpTestServer::onConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        auto *buffer = new QByteArray;
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QObject::destroyed, this, [buffer] { delete buffer; });
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer] {
            buffer->append(socket->readAll());
            const qsizetype end = buffer->indexOf("\r\n\r\n");
            if (end < 0)
                return;
            const QByteArray head = buffer->left(end);
            // A request with a body (a POST) is answered once all of it is in.
            qsizetype length = 0;
            for (const QByteArray &line : head.split('\n')) {
                if (line.toLower().startsWith("content-length:"))
                    length = line.mid(15).trimmed().toLongLong();
            }
            if (buffer->size() < end + 4 + length)
                return;
            m_lastBody = buffer->mid(end + 4, length);
            buffer->clear();
            m_lastHeaders = head;
            const QList<QByteArray> first = head.split('\n').value(0).trimmed().split(' ');
            const QString path = QString::fromLatin1(first.value(1));
            m_requests << path;
            Q_EMIT requested(path);
            auto it = m_replies.constFind(path);
            Reply reply;
            if (it != m_replies.constEnd()) {
                reply = *it;
            } else {
                reply.status = 404;
                reply.body = "<html><head><title>Not Found</title></head><body>404</body></html>";
            }
            if (reply.silent)
                return;
            if (reply.held) {
                m_held.append({ socket, reply });
                return;
            }
            answer(socket, reply);
        });
    }
}

void HttpTestServer::releaseHeld()
{
    const auto held = std::exchange(m_held, {});
    for (const auto &[socket, reply] : held)
        if (socket)
            answer(socket, reply);
}

void HttpTestServer::answer(QTcpSocket *socket, const Reply &reply)
{
    if (reply.stream != 0) {
        startStream(socket, reply);
        return;
    }
    QByteArray out = "HTTP/1.0 " + QByteArray::number(reply.status) + " X\r\n";
    out += "Content-Type: " + reply.contentType + "\r\n";
    out += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
    out += reply.extraHeaders;
    out += "Connection: close\r\n\r\n";
    out += reply.body;
    socket->write(out);
    socket->disconnectFromHost();
}

void HttpTestServer::startStream(QTcpSocket *socket, const Reply &reply)
{
    const bool endless = reply.stream == kEndless;
    QByteArray head = (endless ? "HTTP/1.1 " : "HTTP/1.0 ") + QByteArray::number(reply.status) + " X\r\n";
    head += "Content-Type: " + reply.contentType + "\r\n";
    if (endless)
        head += "Transfer-Encoding: chunked\r\n";
    head += "Connection: close\r\n\r\n";
    socket->write(head);

    static constexpr qint64 kChunk = 64 * 1024;
    const QByteArray chunk(kChunk, 'x');
    const QByteArray framed = QByteArray::number(kChunk, 16) + "\r\n" + chunk + "\r\n";
    auto sent = std::make_shared<qint64>(0);
    auto ended = std::make_shared<bool>(false);
    const qint64 total = reply.stream;
    const auto end = [this, sent, ended] {
        if (*ended)
            return;
        *ended = true;
        Q_EMIT streamEnded(*sent);
    };
    // Refilled whenever the socket has room, so that the server holds only
    // a few chunks whatever the length.
    const auto refill = [socket, sent, total, endless, chunk, framed, end] {
        while (socket->state() == QAbstractSocket::ConnectedState && socket->bytesToWrite() < 4 * kChunk) {
            if (endless) {
                socket->write(framed);
                *sent += kChunk;
                continue;
            }
            const qint64 n = std::min(kChunk, total - *sent);
            if (n <= 0) {
                end();
                socket->disconnectFromHost();
                return;
            }
            socket->write(chunk.constData(), n);
            *sent += n;
        }
    };
    connect(socket, &QTcpSocket::bytesWritten, this, refill);
    connect(socket, &QTcpSocket::disconnected, this, end);
    connect(socket, &QAbstractSocket::errorOccurred, this, end);
    refill();
}
