#pragma once

#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

// The loopback SMTP server of smtp_server.py (aiosmtpd), one per test row,
// with every message it took as its parser read it.
class SmtpTestServer
{
public:
    // Empty when python3 with aiosmtpd, or openssl, is missing.
    static QString missing();
    // A certificate for 127.0.0.1 and localhost, made now in `dir`: cert.pem
    // (its own authority as well) and key.pem.
    static bool makeCertificate(const QString &dir);

    ~SmtpTestServer();
    // "--security starttls --user u --password p ..."
    bool start(const QStringList &arguments);
    int port() const { return m_port; }
    // The messages taken so far.
    QList<QJsonObject> messages();

private:
    QProcess m_process;
    int m_port = 0;
    QList<QJsonObject> m_messages;
};
