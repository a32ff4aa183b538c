#pragma once

#include "notify_settings.h"
#include "send_outcome.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

struct MailJob;

// Hands a mail to the user's SMTP server through libcurl: STARTTLS (587),
// TLS from the first byte (465), or plain to a server on this machine, with
// a login when there is a user name. libcurl blocks, so it runs on a worker
// thread of its own, alive only while there is something to send; the
// answer comes to `done` on this object's thread, within `timeoutMs`.
class MailSender : public QObject
{
    Q_OBJECT
public:
    struct Mail
    {
        QString host;
        int port = 587;
        MailSecurity security = MailSecurity::StartTls;
        QString user; // empty: no login
        QString password;
        QString from;
        QStringList to;
        QByteArray message; // headers and body, CR LF
    };

    explicit MailSender(QObject *parent = nullptr);
    ~MailSender() override;

    void send(const Mail &mail, int timeoutMs, std::function<void(const SendOutcome &)> done);
    int inFlight() const { return int(m_done.size()); }
    // Every mail under way or waiting ends now, as failed.
    void abortAll();
    // Certificates of the authorities to trust instead of the system's (a
    // server of one's own with a certificate of its own making).
    void setCaFile(const QString &path) { m_caFile = path; }

private:
    struct Finished
    {
        quint64 id;
        SendOutcome outcome;
    };
    void run();
    void deliverFinished();

    QString m_caFile;
    quint64 m_nextId = 1;
    QHash<quint64, std::function<void(const SendOutcome &)>> m_done;

    // Shared with the worker, under m_mutex.
    std::mutex m_mutex;
    std::vector<std::unique_ptr<MailJob>> m_queue;
    std::vector<Finished> m_finished;
    bool m_working = false;
    bool m_abort = false;
    void *m_multi = nullptr; // the worker's CURLM, to wake it
    std::thread m_worker;
};
