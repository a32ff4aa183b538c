#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QStringList>
#include <QTcpServer>
#include <QUrl>

// A small HTTP/1.0 server on 127.0.0.1 for tests: answers each path with the
// bytes it was given, or never answers (a silent server).
class HttpTestServer : public QObject
{
    Q_OBJECT
public:
    struct Reply
    {
        int status = 200;
        QByteArray contentType = "text/html";
        QByteArray body;
        QByteArray extraHeaders; // "Location: /x\r\n"
        bool silent = false;     // accept, read, never answer
    };

    explicit HttpTestServer(QObject *parent = nullptr);
    bool listen();
    quint16 port() const { return m_server.serverPort(); }
    QUrl url(const QString &path) const;

    void setReply(const QString &path, const Reply &reply) { m_replies.insert(path, reply); }
    void setPage(const QString &path, const QByteArray &body, const QByteArray &contentType = "text/html");

    // Paths requested so far, in order (query included), and their headers.
    QStringList requests() const { return m_requests; }
    int count(const QString &path) const { return m_requests.count(path); }
    QByteArray lastHeaders() const { return m_lastHeaders; }

Q_SIGNALS:
    void requested(const QString &path);

private:
    void onConnection();
    QTcpServer m_server;
    QHash<QString, Reply> m_replies;
    QStringList m_requests;
    QByteArray m_lastHeaders;
};
