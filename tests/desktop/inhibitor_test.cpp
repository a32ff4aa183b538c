// Keeping the machine awake through D-Bus, against stand-ins for the desktop
// portal and logind on a private bus of the test's own.

#include "dbus_sleep_inhibitor.h"
#include "doubles.h"
#include "resume_watcher.h"
#include "sleep_guard.h"
#include "test_services.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QtTest>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

class PortalRequest : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Request")
public:
    bool closed = false;
public Q_SLOTS:
    void Close() { closed = true; }
};

// org.freedesktop.portal.Inhibit: every request is an object of its own,
// held until it is closed.
class PortalStandIn : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Inhibit")
public:
    explicit PortalStandIn(QDBusConnection bus)
        : m_bus(std::move(bus))
    {
    }
    QList<PortalRequest *> requests;
    QList<uint> flags;
    bool held() const
    {
        return std::any_of(
            requests.begin(), requests.end(), [](const PortalRequest *r) { return !r->closed; });
    }
public Q_SLOTS:
    QDBusObjectPath Inhibit(const QString &, uint flag, const QVariantMap &)
    {
        auto *request = new PortalRequest;
        request->setParent(this);
        const QString path = u"/org/freedesktop/portal/desktop/request/test/r%1"_s.arg(requests.size());
        m_bus.registerObject(path, request, QDBusConnection::ExportAllSlots);
        requests << request;
        flags << flag;
        return QDBusObjectPath(path);
    }

private:
    QDBusConnection m_bus;
};

// org.freedesktop.login1.Manager: a hold lasts while the descriptor handed
// out is open anywhere; the stand-in keeps the other end of a socket pair.
class LogindStandIn : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    ~LogindStandIn() override
    {
        for (int fd : ends)
            ::close(fd);
    }
    QList<int> ends;
    QStringList asked;
    bool held() const
    {
        return std::any_of(ends.begin(), ends.end(), [](int fd) {
            pollfd p { fd, POLLIN, 0 };
            char c;
            return ::poll(&p, 1, 0) == 0 || ::recv(fd, &c, 1, MSG_PEEK) != 0;
        });
    }
public Q_SLOTS:
    QDBusUnixFileDescriptor Inhibit(
        const QString &what, const QString &, const QString &, const QString &mode)
    {
        asked << what + u' ' + mode;
        int pair[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0)
            return {};
        ends << pair[0];
        QDBusUnixFileDescriptor handed(pair[1]); // a copy
        ::close(pair[1]);
        return handed;
    }
};

} // namespace

class InhibitorTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void heldNearAnEnd_data();
    void heldNearAnEnd();
    void resumeIsHeard();

private:
    QProcess m_bus;
    QString m_address;
};

void InhibitorTest::initTestCase()
{
    const QString daemon = QStandardPaths::findExecutable(u"dbus-daemon"_s);
    if (daemon.isEmpty())
        QSKIP("needs dbus-daemon (scripts/packages-test.txt)");
    m_bus.start(daemon, { u"--session"_s, u"--nofork"_s, u"--print-address=1"_s });
    QVERIFY(m_bus.waitForStarted() && m_bus.waitForReadyRead(10000));
    m_address = QString::fromLatin1(m_bus.readLine().trimmed());
}

void InhibitorTest::cleanupTestCase()
{
    m_bus.terminate();
    m_bus.waitForFinished(5000);
}

void InhibitorTest::heldNearAnEnd_data()
{
    QTest::addColumn<bool>("portal"); // else logind alone
    QTest::newRow("desktop portal on the session bus") << true;
    QTest::newRow("logind alone") << false;
}

void InhibitorTest::heldNearAnEnd()
{
    QFETCH(bool, portal);
    const QString tag = QString::fromLatin1(QTest::currentDataTag());
    QDBusConnection service = QDBusConnection::connectToBus(m_address, u"service "_s + tag);
    QVERIFY(service.isConnected());
    PortalStandIn portalStandIn(service);
    LogindStandIn logind;
    QVERIFY(service.registerObject(u"/org/freedesktop/login1"_s, &logind, QDBusConnection::ExportAllSlots));
    QVERIFY(service.registerService(u"org.freedesktop.login1"_s));
    if (portal) {
        QVERIFY(service.registerObject(
            u"/org/freedesktop/portal/desktop"_s, &portalStandIn, QDBusConnection::ExportAllSlots));
        QVERIFY(service.registerService(u"org.freedesktop.portal.Desktop"_s));
    }
    const auto held = [&] { return portal ? portalStandIn.held() : logind.held(); };

    // The program's side: one bus stands for both the session's and the system's.
    QDBusConnection client = QDBusConnection::connectToBus(m_address, u"client "_s + tag);
    DBusSleepInhibitor inhibitor(client, client);
    TestServices ts;
    NotificationRecorder notifier;
    SleepGuard guard(
        ts.timers, ts.store, inhibitor, notifier, [&] { return ts.steadyMs; }, [&] { return ts.steadyMs; });

    ts.store.setValue(u"infotime"_s, u"60"_s);
    for (const bool cancel : { false, true }) {
        // An alert 10 minutes and 1 second away.
        ts.arm(1, 661, u"lamp"_s);
        ts.steadyMs += 2000;
        guard.review();
        QTRY_VERIFY_WITH_TIMEOUT(held(), 5000);
        if (cancel) {
            ts.timers.clear(1);
        } else {
            ts.steadyMs += 659000;
            ts.timers.runDue();
        }
        QTRY_VERIFY_WITH_TIMEOUT(!held(), 5000);
    }
    if (portal) {
        // Let go before the answer came: the hold given late is let go at once.
        inhibitor.hold(u"test"_s);
        inhibitor.release();
        QTRY_COMPARE_WITH_TIMEOUT(portalStandIn.requests.size(), 3, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!held(), 5000);
        QCOMPARE(portalStandIn.flags, QList<uint>({ 8, 8, 8 })); // idle
        QVERIFY(logind.asked.isEmpty());
    } else {
        QCOMPARE(logind.asked, QStringList(2, u"idle block"_s));
    }
    service.unregisterService(u"org.freedesktop.portal.Desktop"_s);
    service.unregisterService(u"org.freedesktop.login1"_s);
    QDBusConnection::disconnectFromBus(u"service "_s + tag);
    QDBusConnection::disconnectFromBus(u"client "_s + tag);
}

// Slots asleep until their moments are woken when logind says the machine has.
void InhibitorTest::resumeIsHeard()
{
    QDBusConnection service = QDBusConnection::connectToBus(m_address, u"service resume"_s);
    QVERIFY(service.registerService(u"org.freedesktop.login1"_s));
    QDBusConnection client = QDBusConnection::connectToBus(m_address, u"client resume"_s);
    ResumeWatcher watcher(client);
    QVERIFY(watcher.listening());
    QSignalSpy resumed(&watcher, &ResumeWatcher::resumed);
    for (const bool starting : { true, false }) {
        QDBusMessage signal = QDBusMessage::createSignal(
            u"/org/freedesktop/login1"_s, u"org.freedesktop.login1.Manager"_s, u"PrepareForSleep"_s);
        signal << starting;
        QVERIFY(service.send(signal));
    }
    QTRY_COMPARE_WITH_TIMEOUT(resumed.size(), 1, 5000);
    service.unregisterService(u"org.freedesktop.login1"_s);
    QDBusConnection::disconnectFromBus(u"service resume"_s);
    QDBusConnection::disconnectFromBus(u"client resume"_s);
}

QTEST_GUILESS_MAIN(InhibitorTest)
#include "inhibitor_test.moc"
