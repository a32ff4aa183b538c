// The secrets in a real keyring: gnome-keyring, unlocked, on a private
// session bus of the test's own, so that the keyring of whoever runs the
// test is never touched.

#include "notify_support.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QLabel>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

using namespace Qt::StringLiterals;

namespace {

// What the keyring holds now, asked afresh.
QString fromKeyring(SecretStore::Secret secret)
{
    SecretStore store;
    QObject context;
    std::optional<QString> value;
    store.get(secret, &context, [&value](const QString &s) { value = s; });
    QDeadlineTimer deadline(5000);
    while (!value && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return value.value_or(u"<no answer>"_s);
}

} // namespace

class KeyringTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void secretsInTheKeyringOnly();

private:
    QTemporaryDir m_home;
    QProcess m_bus;
    QProcess m_keyring;
};

void KeyringTest::initTestCase()
{
    for (const QString &tool : { u"dbus-daemon"_s, u"gnome-keyring-daemon"_s }) {
        if (QStandardPaths::findExecutable(tool).isEmpty())
            QSKIP("needs dbus-daemon and gnome-keyring (scripts/packages-test.txt)");
    }
    m_bus.start(u"dbus-daemon"_s, { u"--session"_s, u"--nofork"_s, u"--print-address=1"_s });
    QVERIFY(m_bus.waitForStarted() && m_bus.waitForReadyRead(10000));
    const QString address = QString::fromLatin1(m_bus.readLine().trimmed());

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, address);
    env.insert(u"HOME"_s, m_home.path());
    env.insert(u"XDG_DATA_HOME"_s, m_home.filePath(u"data"_s));
    env.insert(u"XDG_RUNTIME_DIR"_s, m_home.path());
    m_keyring.setProcessEnvironment(env);
    // --unlock makes the login keyring with the password on its input, and
    // opens it.
    m_keyring.start(u"gnome-keyring-daemon"_s,
        { u"--foreground"_s, u"--unlock"_s, u"--components=secrets"_s,
            u"--control-directory="_s + m_home.filePath(u"keyring"_s) });
    QVERIFY(m_keyring.waitForStarted());
    m_keyring.write("test keyring password");
    m_keyring.closeWriteChannel();
    QDBusConnection bus = QDBusConnection::connectToBus(address, u"keyring test"_s);
    QTRY_VERIFY_WITH_TIMEOUT(bus.interface()->isServiceRegistered(u"org.freedesktop.secrets"_s), 10000);
    QDBusConnection::disconnectFromBus(u"keyring test"_s);
    // QtKeychain asks through libsecret, on this process's session bus.
    qputenv("DBUS_SESSION_BUS_ADDRESS", address.toLatin1());
}

void KeyringTest::cleanupTestCase()
{
    for (QProcess *p : { &m_keyring, &m_bus }) {
        p->terminate();
        if (!p->waitForFinished(5000))
            p->kill();
    }
}

void KeyringTest::secretsInTheKeyringOnly()
{
    SettingsHarness h;
    QVERIFY(h.dialog);
    QTRY_COMPARE(h.secrets.keyring(), SecretStore::Keyring::Answers);
    QVERIFY(!h.dialog->findChild<QLabel *>(u"notifyKeyring"_s)->isVisible());

    h.fill(u"ntfyCheck;ntfyTopic=larkvane-phone;ntfyToken=tk_AgQdq7mVBoFD37zQVN29RhuMzNIz2;mailCheck;"
           "mailHost=smtp.example.jp;mailUser=bidder;mailPassword=メール の パスワード;mailFrom=a@example.jp;"
           "mailTo=b@example.jp"_s);
    h.pressClose();
    QTRY_VERIFY(!h.t.windows.isOpen(u"frmConf"_s));

    // Read back by a store that has never seen them: they are in the keyring.
    QTRY_COMPARE_WITH_TIMEOUT(
        fromKeyring(SecretStore::Secret::NtfyToken), u"tk_AgQdq7mVBoFD37zQVN29RhuMzNIz2"_s, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(
        fromKeyring(SecretStore::Secret::MailPassword), u"メール の パスワード"_s, 10000);

    const QByteArray file = h.t.dir.read(u"larkvane.ini"_s);
    QVERIFY2(
        file.contains("[Notify]\r\nntfy=1\r\n") && file.contains("mailUser=bidder\r\n"), file.constData());
    QVERIFY(!file.contains("tk_AgQdq7mVBoFD37zQVN29RhuMzNIz2"));
    QVERIFY(!file.contains(QString(u"パスワード"_s).toUtf8()));
}

QTEST_MAIN(KeyringTest)
#include "keyring_test.moc"
