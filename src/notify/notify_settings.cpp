#include "notify_settings.h"

#include "settings_fields.h"
#include "state_store.h"

#include <QHostAddress>
#include <QRegularExpression>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// The topics an ntfy server takes in a path.
const QRegularExpression kTopic(u"^[A-Za-z0-9_-]{1,64}$"_s);

bool isAddress(const QString &text)
{
    const qsizetype at = text.indexOf(u'@');
    return at > 0 && at < text.size() - 1 && text.count(u'@') == 1 && !text.contains(u' ');
}

} // namespace

NotifySettings NotifySettings::fromStore(const StateStore &store)
{
    NotifySettings s;
    s.ntfy = store.value(Setting::kNtfy) == u"1"_s;
    if (const QString server = store.value(Setting::kNtfyServer); !server.isEmpty())
        s.ntfyServer = server;
    s.ntfyTopic = store.value(Setting::kNtfyTopic);
    s.mail = store.value(Setting::kMail) == u"1"_s;
    s.mailHost = store.value(Setting::kMailHost);
    s.mailPort = store.value(Setting::kMailPort);
    s.mailSecurity = securityFromKey(store.value(Setting::kMailSecurity));
    s.mailUser = store.value(Setting::kMailUser);
    s.mailFrom = store.value(Setting::kMailFrom);
    s.mailTo = store.value(Setting::kMailTo);
    return s;
}

void NotifySettings::store(StateStore &store) const
{
    store.setValue(Setting::kNtfy, ntfy ? u"1"_s : u"0"_s);
    store.setValue(Setting::kNtfyServer, ntfyServer.trimmed());
    store.setValue(Setting::kNtfyTopic, ntfyTopic.trimmed());
    store.setValue(Setting::kMail, mail ? u"1"_s : u"0"_s);
    store.setValue(Setting::kMailHost, mailHost.trimmed());
    store.setValue(Setting::kMailPort, mailPort.trimmed());
    store.setValue(Setting::kMailSecurity, securityKey(mailSecurity));
    store.setValue(Setting::kMailUser, mailUser.trimmed());
    store.setValue(Setting::kMailFrom, mailFrom.trimmed());
    store.setValue(Setting::kMailTo, mailTo.trimmed());
}

QString NotifySettings::problem() const
{
    if (ntfy) {
        const QUrl server(ntfyServer.trimmed());
        if (!server.isValid() || server.host().isEmpty()
            || (server.scheme() != u"https"_s && server.scheme() != u"http"_s))
            return u"ntfy のサーバーは https:// で始まるアドレスで入力してください（例: https://ntfy.sh）。"_s;
        if (ntfyTopic.trimmed().isEmpty())
            return u"ntfy のトピックを入力してください。"_s;
        if (!kTopic.match(ntfyTopic.trimmed()).hasMatch())
            return u"ntfy のトピックに使えるのは半角の英数字と「-」「_」だけです（空白は使えません）。"_s;
    }
    if (mail) {
        if (mailHost.trimmed().isEmpty())
            return u"メールの SMTP サーバーを入力してください。"_s;
        if (port() == 0)
            return u"メールのポートは 1 から 65535 までの数字で入力してください。"_s;
        if (!isAddress(mailFrom.trimmed()))
            return u"差出人のメールアドレスが正しくありません（「名前@ドメイン」の形で入力してください）。"_s;
        const QStringList to = recipients();
        if (to.isEmpty() || !std::all_of(to.cbegin(), to.cend(), isAddress))
            return u"宛先のメールアドレスが正しくありません（「名前@ドメイン」の形で、複数はカンマで区切ってください）。"_s;
        if (mailSecurity == MailSecurity::None && !isLocalHost())
            return u"暗号化なしで送れるのはこのパソコンのメールサーバー（localhost）だけです。STARTTLS か SSL/TLS を選んでください。"_s;
    }
    return {};
}

QUrl NotifySettings::ntfyUrl() const
{
    QString server = ntfyServer.trimmed();
    while (server.endsWith(u'/'))
        server.chop(1);
    return QUrl(server + u'/' + ntfyTopic.trimmed());
}

int NotifySettings::port() const
{
    const QString text = mailPort.trimmed();
    if (text.isEmpty())
        return defaultPort(mailSecurity);
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value >= 1 && value <= 65535 ? value : 0;
}

QStringList NotifySettings::recipients() const
{
    QStringList list;
    for (const QString &part : mailTo.split(u',')) {
        if (const QString address = part.trimmed(); !address.isEmpty())
            list << address;
    }
    return list;
}

bool NotifySettings::isLocalHost() const
{
    const QString host = mailHost.trimmed();
    if (host.compare(u"localhost"_s, Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

int NotifySettings::defaultPort(MailSecurity security)
{
    switch (security) {
    case MailSecurity::StartTls:
        return 587;
    case MailSecurity::Tls:
        return 465;
    case MailSecurity::None:
        return 25;
    }
    return 587;
}

QString NotifySettings::securityKey(MailSecurity security)
{
    switch (security) {
    case MailSecurity::StartTls:
        return u"starttls"_s;
    case MailSecurity::Tls:
        return u"tls"_s;
    case MailSecurity::None:
        return u"none"_s;
    }
    return u"starttls"_s;
}

MailSecurity NotifySettings::securityFromKey(const QString &key)
{
    if (key == u"tls"_s)
        return MailSecurity::Tls;
    if (key == u"none"_s)
        return MailSecurity::None;
    return MailSecurity::StartTls;
}
