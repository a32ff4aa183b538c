#pragma once

#include "remote_notifier.h"
#include "secret_store.h"
#include "test_services.h"

#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QWidget>

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

// The settings dialog over doubles, with a real notifier and secret store,
// opened as the browser window opens it.
struct SettingsHarness
{
    TestServices t;
    SecretStore secrets;
    RemoteNotifier remote { t.store, secrets, t.statusLine };
    QWidget owner;
    QWidget *dialog = nullptr;

    SettingsHarness();
    // "name=text;..." typed into the fields; a name alone ticks its box.
    void fill(const QString &fields);
    // 閉 じ る.
    void pressClose();
};
