#pragma once

#include "mail_sender.h"
#include "ntfy_publisher.h"
#include "remote_notice.h"
#include "send_outcome.h"

#include <QList>
#include <QObject>

#include <functional>
#include <memory>

class SecretStore;
class StateStore;
class StatusLine;
struct NotifySettings;

// How long a try may take, and the waits before the next.
struct NotifyTiming
{
    int timeoutMs = 15000;
    // Before the second and the third try: even with every try waiting out
    // its time-out, the third has ended 85 s after the first began.
    int firstRetryMs = 10000;
    int secondRetryMs = 30000;
};

// The alert reaching the user away from the desk: each notice goes to every
// channel switched on in [Notify] (ntfy, mail) in the background. A try that
// fails is tried again, three tries in all within two minutes; one that
// never gets through is logged and said once on the status line. Nothing
// here waits for a server: send() returns at once.
class RemoteNotifier : public QObject
{
    Q_OBJECT
public:
    using Timing = NotifyTiming;
    enum class Channel { Ntfy, Mail };

    RemoteNotifier(const StateStore &store, SecretStore &secrets, StatusLine &statusLine, Timing timing = {},
        QObject *parent = nullptr);
    ~RemoteNotifier() override;

    // With the settings as they are now.
    void send(const RemoteNotice &notice);

    // テスト送信: one try on each channel `settings` switches on, with these
    // secrets, told to `done` channel by channel while `context` lives.
    void test(const NotifySettings &settings, const QString &token, const QString &password, QObject *context,
        std::function<void(Channel, const SendOutcome &)> done);

    // The exit: tries waiting for their turn go now, and whatever is under
    // way gets at most `ms` more; then the rest is given up. True when
    // nothing had to be.
    bool flush(int ms);

    SecretStore &secrets() { return m_secrets; }
    void setMailCaFile(const QString &path) { m_mail.setCaFile(path); }

    static QString channelName(Channel channel);

Q_SIGNALS:
    // Every notice sent has got through or been given up.
    void settled();

private:
    struct Delivery;
    void deliver(Channel channel, const NotifySettings &settings, const RemoteNotice &notice);
    void attempt(const std::shared_ptr<Delivery> &delivery);
    void conclude(const std::shared_ptr<Delivery> &delivery, const SendOutcome &outcome);
    void tryOnce(Channel channel, const NotifySettings &settings, const QString &secret,
        const RemoteNotice &notice, std::function<void(const SendOutcome &)> done);
    void forget(const std::shared_ptr<Delivery> &delivery);

    const StateStore &m_store;
    SecretStore &m_secrets;
    StatusLine &m_statusLine;
    Timing m_timing;
    NtfyPublisher m_ntfy;
    MailSender m_mail;
    QList<std::shared_ptr<Delivery>> m_pending;
    bool m_exiting = false;
};
