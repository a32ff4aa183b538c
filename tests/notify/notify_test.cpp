// The alert away from the desk, against real servers on loopback: the
// tests' own HTTP server speaking ntfy's publish API, and aiosmtpd for mail.
// No keyring answers here (the session bus is pointed nowhere), so secrets
// live in memory, as on a desktop without one.

#include "desktop_and_remote_notifier.h"
#include "doubles.h"
#include "http_test_server.h"
#include "notify_settings.h"
#include "notify_support.h"
#include "remote_notifier.h"
#include "secret_store.h"
#include "settings_fields.h"
#include "state_store.h"
#include "status_line.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QLabel>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

const QString kTitle
    = u"セイコー 腕時計 🕰 ジャンク 動作未確認 昭和レトロ アンティーク まとめて"_s;
const QString kUrl = u"https://page.example.jp/jp/auction/x123456789"_s;
const QString kAlert = u"あと、およそ 2分 30秒で 「"_s + kTitle + u"」 の入札が終了します。"_s;

// "name=value;name=value" into the store.
void setFields(StateStore &store, const QString &fields)
{
    for (const QString &f : fields.split(u';', Qt::SkipEmptyParts))
        store.setValue(f.section(u'=', 0, 0), f.section(u'=', 1));
}

QByteArray header(const QByteArray &head, const QByteArray &name)
{
    for (const QByteArray &line : head.split('\n')) {
        if (line.toLower().startsWith(QByteArray(name.toLower() + ':')))
            return line.mid(name.size() + 1).trimmed();
    }
    return {};
}

// Servers that take the connection and never answer: ntfy's stand-in reads
// the request, the SMTP one never greets. `store` points both channels at them.
struct SilentServers
{
    HttpTestServer ntfy;
    QTcpServer smtp;
    int smtpConnections = 0;
    StateStore store;

    SilentServers()
    {
        ntfy.listen();
        HttpTestServer::Reply silent;
        silent.silent = true;
        ntfy.setReply(u"/t"_s, silent);
        smtp.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&smtp, &QTcpServer::newConnection, &smtp, [this] {
            while (smtp.nextPendingConnection())
                ++smtpConnections;
        });
        setFields(store,
            u"ntfy=1;ntfyServer=%1;ntfyTopic=t;mail=1;mailHost=127.0.0.1;mailPort=%2;mailSecurity=none;"
            "mailFrom=a@example.jp;mailTo=b@example.jp"_s.arg(ntfy.url({}).toString())
                .arg(smtp.serverPort()));
    }
};

} // namespace

class NotifyTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void settingsRules_data();
    void settingsRules();
    void alertReachesBoth();
    void silentServersHoldNobody();
    void exitWaitsNoLonger();
    void mailServers_data();
    void mailServers();
    void dialogWithoutKeyring();

private:
    QTemporaryDir m_certs;
    QString m_missing;
};

void NotifyTest::initTestCase()
{
    // No keyring: the secrets stay in memory, and no test touches the
    // keyring of whoever runs it.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/larkvane-test-bus");
    m_missing = SmtpTestServer::missing();
    if (m_missing.isEmpty())
        QVERIFY(SmtpTestServer::makeCertificate(m_certs.path()));
}

void NotifyTest::settingsRules_data()
{
    QTest::addColumn<QString>("fields");
    QTest::addColumn<QString>("problem"); // a part of the message; empty: none

    const QString ntfy = u"ntfy=1;ntfyTopic=larkvane_alerts-1;"_s;
    const QString mail = u"mail=1;mailHost=smtp.example.jp;mailFrom=me@example.jp;mailTo=me@example.jp;"_s;
    QTest::newRow("both off: nothing is checked") << u"ntfyTopic=a b;mailPort=0"_s << QString();
    QTest::newRow("ntfy, default server") << ntfy << QString();
    QTest::newRow("topic with a space") << u"ntfy=1;ntfyTopic=my alerts"_s << u"空白"_s;
    QTest::newRow("no topic") << u"ntfy=1"_s << u"トピックを入力"_s;
    QTest::newRow("server without scheme") << ntfy + u"ntfyServer=ntfy.example.jp"_s << u"https://"_s;
    QTest::newRow("self-hosted server") << ntfy + u"ntfyServer=http://192.0.2.7:8080/"_s << QString();
    QTest::newRow("mail, port by security") << mail << QString();
    QTest::newRow("port 65536") << mail + u"mailPort=65536"_s << u"1 から 65535"_s;
    QTest::newRow("port not a number") << mail + u"mailPort=smtp"_s << u"1 から 65535"_s;
    QTest::newRow("no host") << u"mail=1;mailFrom=a@b.jp;mailTo=a@b.jp"_s << u"SMTP サーバー"_s;
    QTest::newRow("sender without @") << mail + u"mailFrom=me.example.jp"_s << u"差出人"_s;
    QTest::newRow("second recipient without @")
        << mail + u"mailTo=me@example.jp, phone.example.jp"_s << u"宛先"_s;
    QTest::newRow("two recipients") << mail + u"mailTo=me@example.jp, phone@example.jp"_s << QString();
    QTest::newRow("plain to another machine") << mail + u"mailSecurity=none"_s << u"このパソコン"_s;
    QTest::newRow("plain to this machine") << mail + u"mailSecurity=none;mailHost=127.0.0.1"_s << QString();
}

void NotifyTest::settingsRules()
{
    QFETCH(QString, fields);
    QFETCH(QString, problem);
    StateStore store;
    setFields(store, fields);
    const QString said = NotifySettings::fromStore(store).problem();
    if (problem.isEmpty())
        QVERIFY2(said.isEmpty(), qPrintable(said));
    else
        QVERIFY2(said.contains(problem), qPrintable(said));
}

void NotifyTest::alertReachesBoth()
{
    if (!m_missing.isEmpty())
        QSKIP(qPrintable(u"needs "_s + m_missing + u" (scripts/packages-test.txt)"_s));
    HttpTestServer ntfy;
    QVERIFY(ntfy.listen());
    ntfy.setPage(u"/larkvane-test"_s, R"({"id":"x1","event":"message"})", "application/json");
    SmtpTestServer smtp;
    QVERIFY(
        smtp.start({ u"--security"_s, u"starttls"_s, u"--cert"_s, m_certs.filePath(u"cert.pem"_s), u"--key"_s,
            m_certs.filePath(u"key.pem"_s), u"--user"_s, u"bidder"_s, u"--password"_s, u"pässword 1"_s }));

    StateStore store;
    setFields(store,
        u"ntfy=1;ntfyServer=%1;ntfyTopic=larkvane-test;mail=1;mailHost=localhost;mailPort=%2;"
        "mailSecurity=starttls;mailUser=bidder;mailFrom=larkvane@example.jp;mailTo=phone@example.jp"_s
            .arg(ntfy.url({}).toString())
            .arg(smtp.port()));
    SecretStore secrets;
    secrets.put(SecretStore::Secret::NtfyToken, u"tk_secret"_s, nullptr, {});
    secrets.put(SecretStore::Secret::MailPassword, u"pässword 1"_s, nullptr, {});
    StatusLine status;
    RemoteNotifier remote(store, secrets, status);
    remote.setMailCaFile(m_certs.filePath(u"cert.pem"_s));
    NotificationRecorder desktop;
    DesktopAndRemoteNotifier notifier(desktop, remote);

    notifier.showAlert(kAlert, {}, { kTitle, kUrl });
    QCOMPARE(desktop.alerts, QStringList { kAlert }); // before any server has heard of it

    QTRY_COMPARE(ntfy.count(u"/larkvane-test"_s), 1);
    const QByteArray head = ntfy.lastHeaders();
    QVERIFY(head.startsWith("POST /larkvane-test "));
    QCOMPARE(header(head, "Title"), "Larkvane");
    QCOMPARE(header(head, "Priority"), "5");
    QCOMPARE(header(head, "Tags"), "alarm_clock");
    QCOMPARE(header(head, "Click"), kUrl.toUtf8());
    QCOMPARE(header(head, "Authorization"), "Bearer tk_secret");
    QCOMPARE(QString::fromUtf8(ntfy.lastBody()), kAlert);

    QTRY_COMPARE(smtp.messages().size(), 1);
    const QJsonObject mail = smtp.messages().first();
    QCOMPARE(mail.value(u"mechanism"_s).toString(), u"LOGIN"_s);
    QCOMPARE(mail.value(u"login"_s).toString(), u"bidder"_s);
    QVERIFY(mail.value(u"tls"_s).toBool());
    QCOMPARE(mail.value(u"mail_from"_s).toString(), u"larkvane@example.jp"_s);
    QCOMPARE(mail.value(u"rcpt_tos"_s).toArray().first().toString(), u"phone@example.jp"_s);
    QCOMPARE(
        mail.value(u"subject"_s).toString(), u"[Larkvane] あと、およそ 2分 30秒で 「"_s + kTitle + u"」"_s);
    QCOMPARE(mail.value(u"charset"_s).toString(), u"utf-8"_s);
    QVERIFY(!mail.value(u"date"_s).toString().isEmpty());
    QVERIFY(mail.value(u"message_id"_s).toString().endsWith(u"@example.jp>"_s));
    const QString body = mail.value(u"body"_s).toString();
    QVERIFY2(body.contains(kAlert) && body.contains(kUrl), qPrintable(body));

    // A notice that names no item: not urgent, the title on a line of its own.
    notifier.showNotice(u"終了時間が延長されました（26/12/10 21:10）"_s, { u"カメラ"_s, QString() });
    QTRY_COMPARE(ntfy.count(u"/larkvane-test"_s), 2);
    QCOMPARE(header(ntfy.lastHeaders(), "Priority"), "3");
    QCOMPARE(header(ntfy.lastHeaders(), "Click"), QByteArray());
    QCOMPARE(QString::fromUtf8(ntfy.lastBody()), u"終了時間が延長されました（26/12/10 21:10）\nカメラ"_s);
    QTRY_COMPARE(smtp.messages().size(), 2);
    QCOMPARE(smtp.messages().last().value(u"subject"_s).toString(),
        u"[Larkvane] 終了時間が延長されました（26/12/10 21:10） 「カメラ」"_s);
    QVERIFY(remote.flush(0));
}

void NotifyTest::silentServersHoldNobody()
{
    SilentServers servers;
    SecretStore secrets;
    StatusLine status;
    QSignalSpy said(&status, &StatusLine::changed);
    // The time-out and the waits between tries, driven short.
    RemoteNotifier remote(servers.store, secrets, status, { 200, 0, 0 });
    NotificationRecorder desktop;
    DesktopAndRemoteNotifier notifier(desktop, remote);

    QElapsedTimer call;
    call.start();
    notifier.showAlert(kAlert, {}, { kTitle, kUrl });
    QVERIFY2(call.elapsed() < 100, "the alert waited for a server");
    QCOMPARE(desktop.alerts.size(), 1);

    QSignalSpy settled(&remote, &RemoteNotifier::settled);
    QVERIFY(settled.wait(10000));
    QCOMPARE(servers.ntfy.count(u"/t"_s), 3);
    QCOMPARE(servers.smtpConnections, 3);
    // Said once for each channel, after its last try.
    QCOMPARE(said.size(), 2);
    QStringList texts;
    for (const QList<QVariant> &s : said)
        texts << s.at(0).toString();
    texts.sort();
    QVERIFY2(texts.at(0).contains(u"ntfy"_s) && texts.at(0).contains(u"0.2 秒以内に答えませんでした"_s),
        qPrintable(texts.at(0)));
    QVERIFY2(texts.at(1).contains(u"メール"_s) && texts.at(1).contains(u"0.2 秒以内に答えませんでした"_s),
        qPrintable(texts.at(1)));
}

void NotifyTest::exitWaitsNoLonger()
{
    SilentServers servers;
    SecretStore secrets;
    StatusLine status;
    RemoteNotifier remote(servers.store, secrets, status); // 15 s a try
    remote.send({ RemoteNotice::Kind::Alert, kAlert, kTitle, kUrl });
    QTRY_COMPARE(servers.ntfy.count(u"/t"_s), 1);

    QElapsedTimer exit;
    exit.start();
    QVERIFY(!remote.flush(300));
    QVERIFY2(exit.elapsed() < 1000, qPrintable(QString::number(exit.elapsed())));
    QVERIFY(status.text().isEmpty()); // nobody is left to read it
}

void NotifyTest::mailServers_data()
{
    QTest::addColumn<QString>("server"); // smtp_server.py's arguments, {cert} {key}
    QTest::addColumn<QString>("fields"); // the channel's settings; port and password follow
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("trusted"); // the test certificate's authority given
    QTest::addColumn<QString>("answer");

    const QString tls = u"--cert {cert} --key {key} --user bidder --password pw1"_s;
    const QString login = u"mailHost=localhost;mailUser=bidder;"_s;
    QTest::newRow("STARTTLS with login")
        << u"--security starttls "_s + tls << login + u"mailSecurity=starttls"_s << u"pw1"_s << true
        << u"サーバーに届きました"_s;
    QTest::newRow("TLS from the first byte") << u"--security tls "_s + tls << login + u"mailSecurity=tls"_s
                                             << u"pw1"_s << true << u"サーバーに届きました"_s;
    QTest::newRow("plain to this machine, no login")
        << u"--security none"_s << u"mailHost=127.0.0.1;mailSecurity=none"_s << QString() << true
        << u"サーバーに届きました"_s;
    QTest::newRow("wrong password") << u"--security starttls "_s + tls << login + u"mailSecurity=starttls"_s
                                    << u"pw2"_s << true << u"535"_s;
    QTest::newRow("certificate of no known authority")
        << u"--security starttls "_s + tls << login + u"mailSecurity=starttls"_s << u"pw1"_s << false
        << u"証明書"_s;
    QTest::newRow("no STARTTLS offered")
        << u"--security none"_s << u"mailHost=localhost;mailSecurity=starttls"_s << QString() << true
        << u"STARTTLS に対応していません"_s;
}

void NotifyTest::mailServers()
{
    if (!m_missing.isEmpty())
        QSKIP(qPrintable(u"needs "_s + m_missing + u" (scripts/packages-test.txt)"_s));
    QFETCH(QString, server);
    QFETCH(QString, fields);
    QFETCH(QString, password);
    QFETCH(bool, trusted);
    QFETCH(QString, answer);

    SmtpTestServer smtp;
    server.replace(u"{cert}"_s, m_certs.filePath(u"cert.pem"_s));
    server.replace(u"{key}"_s, m_certs.filePath(u"key.pem"_s));
    QVERIFY(smtp.start(server.split(u' ')));
    StateStore store;
    setFields(store,
        fields + u";mail=1;mailFrom=a@example.jp;mailTo=b@example.jp;mailPort="_s
            + QString::number(smtp.port()));
    SecretStore secrets;
    StatusLine status;
    RemoteNotifier remote(store, secrets, status, { 10000, 0, 0 });
    if (trusted)
        remote.setMailCaFile(m_certs.filePath(u"cert.pem"_s));

    QList<SendOutcome> outcomes;
    remote.test(NotifySettings::fromStore(store), {}, password, this,
        [&outcomes](RemoteNotifier::Channel, const SendOutcome &o) { outcomes << o; });
    QTRY_COMPARE_WITH_TIMEOUT(outcomes.size(), 1, 15000);
    QVERIFY2(outcomes.first().answer.contains(answer), qPrintable(outcomes.first().answer));
    QCOMPARE(smtp.messages().size(), outcomes.first().delivered ? 1 : 0);
}

void NotifyTest::dialogWithoutKeyring()
{
    SettingsHarness h;
    QVERIFY(h.dialog);
    auto *keyring = h.dialog->findChild<QLabel *>(u"notifyKeyring"_s);
    QTRY_VERIFY(keyring->isVisible());
    QCOMPARE(keyring->text(), u"パスワードを保存できるキーリングがありません。今回の起動中だけ使います。"_s);

    h.fill(
        u"mailCheck;mailHost=smtp.example.jp;mailUser=bidder;mailPassword=kept-for-now;mailFrom=a@example.jp;"
        "mailTo=b@example.jp;mailPort=70000"_s);
    // A port out of range keeps the dialog open and says why.
    h.pressClose();
    QCOMPARE(h.t.messages.texts.size(), 1);
    QVERIFY(h.t.messages.texts.first().contains(u"ポート"_s));
    h.fill(u"mailPort=587"_s);
    h.pressClose();
    QTRY_VERIFY(!h.t.windows.isOpen(u"frmConf"_s));

    const QByteArray file = h.t.dir.read(u"larkvane.ini"_s);
    QVERIFY2(
        file.contains("[Notify]\r\nntfy=0\r\n") && file.contains("mailUser=bidder\r\n"), file.constData());
    QVERIFY(!file.contains("kept-for-now"));
    QString password;
    h.secrets.get(SecretStore::Secret::MailPassword, this, [&password](const QString &p) { password = p; });
    QCOMPARE(password, u"kept-for-now"_s);
}

QTEST_MAIN(NotifyTest)
#include "notify_test.moc"
