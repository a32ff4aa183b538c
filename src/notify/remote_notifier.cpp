#include "remote_notifier.h"

#include "log.h"
#include "mail_message.h"
#include "notify_settings.h"
#include "secret_store.h"
#include "status_line.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

constexpr int kTries = 3;

} // namespace

struct RemoteNotifier::Delivery
{
    Channel channel;
    NotifySettings settings;
    RemoteNotice notice;
    QString secret;
    int tries = 0;
    QTimer *retry = nullptr;
};

RemoteNotifier::RemoteNotifier(
    const StateStore &store, SecretStore &secrets, StatusLine &statusLine, Timing timing, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_secrets(secrets)
    , m_statusLine(statusLine)
    , m_timing(timing)
{
    // The keyring is asked now, while nothing is urgent: an alert then has
    // its secret at hand, and a keyring that asks to be unlocked does so at
    // start-up rather than at the alert.
    const NotifySettings settings = NotifySettings::fromStore(store);
    if (settings.ntfy)
        m_secrets.get(SecretStore::Secret::NtfyToken, this, [](const QString &) {});
    if (settings.mail && !settings.mailUser.isEmpty())
        m_secrets.get(SecretStore::Secret::MailPassword, this, [](const QString &) {});
}

RemoteNotifier::~RemoteNotifier()
{
    // The senders' last answers come to this object: it must still be whole.
    m_exiting = true;
    m_ntfy.abortAll();
    m_mail.abortAll();
}

QString RemoteNotifier::channelName(Channel channel)
{
    return channel == Channel::Ntfy ? u"ntfy"_s : u"メール"_s;
}

void RemoteNotifier::send(const RemoteNotice &notice)
{
    const NotifySettings settings = NotifySettings::fromStore(m_store);
    if ((!settings.ntfy && !settings.mail) || m_exiting)
        return;
    // The dialog lets no such settings through; a hand-edited file may.
    if (const QString problem = settings.problem(); !problem.isEmpty()) {
        qCWarning(lcNotify).noquote() << "not sent: [Notify] in larkvane.ini is not usable:" << problem;
        return;
    }
    if (settings.ntfy)
        deliver(Channel::Ntfy, settings, notice);
    if (settings.mail)
        deliver(Channel::Mail, settings, notice);
}

void RemoteNotifier::deliver(Channel channel, const NotifySettings &settings, const RemoteNotice &notice)
{
    auto delivery = std::make_shared<Delivery>(Delivery { channel, settings, notice, {}, 0, nullptr });
    m_pending.append(delivery);
    const bool ntfy = channel == Channel::Ntfy;
    if (!ntfy && settings.mailUser.isEmpty()) {
        attempt(delivery);
        return;
    }
    m_secrets.get(ntfy ? SecretStore::Secret::NtfyToken : SecretStore::Secret::MailPassword, this,
        [this, delivery](const QString &secret) {
            delivery->secret = secret;
            if (m_pending.contains(delivery))
                attempt(delivery);
        });
}

void RemoteNotifier::attempt(const std::shared_ptr<Delivery> &delivery)
{
    ++delivery->tries;
    tryOnce(delivery->channel, delivery->settings, delivery->secret, delivery->notice,
        [this, delivery](const SendOutcome &outcome) { conclude(delivery, outcome); });
}

void RemoteNotifier::conclude(const std::shared_ptr<Delivery> &delivery, const SendOutcome &outcome)
{
    const QString name = channelName(delivery->channel);
    if (outcome.delivered) {
        qCInfo(lcNotify).noquote().nospace() << name << ": at the server (try " << delivery->tries << ")";
        forget(delivery);
        return;
    }
    if (delivery->tries < kTries && !m_exiting) {
        const int wait = delivery->tries == 1 ? m_timing.firstRetryMs : m_timing.secondRetryMs;
        qCInfo(lcNotify).noquote().nospace() << name << ": try " << delivery->tries << " failed ("
                                             << outcome.answer << "), again in " << wait << " ms";
        delivery->retry = new QTimer(this);
        delivery->retry->setSingleShot(true);
        connect(delivery->retry, &QTimer::timeout, this, [this, delivery] {
            delivery->retry->deleteLater();
            delivery->retry = nullptr;
            attempt(delivery);
        });
        delivery->retry->start(wait);
        return;
    }
    qCWarning(lcNotify).noquote().nospace()
        << name << ": given up after " << delivery->tries << (delivery->tries == 1 ? " try" : " tries")
        << ": " << outcome.answer;
    if (!m_exiting) {
        m_statusLine.setText(delivery->channel == Channel::Ntfy
                ? u"スマートフォンへの通知（ntfy）を送れませんでした: "_s + outcome.answer
                : u"通知のメールを送れませんでした: "_s + outcome.answer);
    }
    forget(delivery);
}

void RemoteNotifier::forget(const std::shared_ptr<Delivery> &delivery)
{
    m_pending.removeOne(delivery);
    if (m_pending.isEmpty())
        Q_EMIT settled();
}

void RemoteNotifier::tryOnce(Channel channel, const NotifySettings &settings, const QString &secret,
    const RemoteNotice &notice, std::function<void(const SendOutcome &)> done)
{
    if (channel == Channel::Ntfy) {
        m_ntfy.publish(settings.ntfyUrl(), secret, notice, m_timing.timeoutMs, std::move(done));
        return;
    }
    MailSender::Mail mail;
    mail.host = settings.mailHost.trimmed();
    mail.port = settings.port();
    mail.security = settings.mailSecurity;
    mail.user = settings.mailUser.trimmed();
    mail.password = secret;
    mail.from = settings.mailFrom.trimmed();
    mail.to = settings.recipients();
    mail.message = MailMessage::compose(mail.from, mail.to, notice, QDateTime::currentDateTime());
    m_mail.send(mail, m_timing.timeoutMs, std::move(done));
}

void RemoteNotifier::test(const NotifySettings &settings, const QString &token, const QString &password,
    QObject *context, std::function<void(Channel, const SendOutcome &)> done)
{
    const RemoteNotice notice { RemoteNotice::Kind::Notice,
        u"Larkvane からのテスト送信です。オークションの終了前には、このように届きます。"_s, {}, {} };
    const QPointer<QObject> guard(context);
    const auto report = [guard, done](Channel channel) {
        return [guard, done, channel](const SendOutcome &outcome) {
            qCInfo(lcNotify).noquote() << "test," << channelName(channel) << ":" << outcome.answer;
            if (guard)
                done(channel, outcome);
        };
    };
    if (settings.ntfy)
        tryOnce(Channel::Ntfy, settings, token, notice, report(Channel::Ntfy));
    if (settings.mail)
        tryOnce(Channel::Mail, settings, password, notice, report(Channel::Mail));
}

bool RemoteNotifier::flush(int ms)
{
    m_exiting = true;
    QElapsedTimer waited;
    waited.start();
    // A try waiting for its turn has its last chance now.
    for (const std::shared_ptr<Delivery> &delivery : QList(m_pending)) {
        if (delivery->retry) {
            delete std::exchange(delivery->retry, nullptr);
            attempt(delivery);
        }
    }
    if (!m_pending.isEmpty()) {
        qCInfo(lcNotify) << m_pending.size() << "send(s) under way at the exit: waiting at most" << ms
                         << "ms";
        QEventLoop loop;
        connect(this, &RemoteNotifier::settled, &loop, &QEventLoop::quit);
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    }
    const bool all = m_pending.isEmpty();
    if (!all) {
        qCWarning(lcNotify) << m_pending.size() << "send(s) given up at the exit after" << waited.elapsed()
                            << "ms";
        m_ntfy.abortAll();
        m_mail.abortAll();
        // Those still waiting for the keyring.
        m_pending.clear();
    }
    return all;
}
