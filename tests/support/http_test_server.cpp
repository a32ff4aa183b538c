#include "http_test_server.h"

#include <QTcpSocket>

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
            QByteArray out = "HTTP/1.0 " + QByteArray::number(reply.status) + " X\r\n";
            out += "Content-Type: " + reply.contentType + "\r\n";
            out += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
            out += reply.extraHeaders;
            out += "Connection: close\r\n\r\n";
            out += reply.body;
            socket->write(out);
            socket->disconnectFromHost();
        });
    }
}
