// The program as a desktop starts it: installed with its menu entry and
// launcher, and docking into a notification area that may come after it.
// Each test runs the real program on an X server of its own.

#include "desktop_session.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <QUrl>

#include <csignal>
#include <memory>
#include <tuple>

using namespace Qt::StringLiterals;

namespace {

const QString kProgram = QStringLiteral(LARKVANE_BINARY_DIR "/larkvane");
const QString kData = QStringLiteral(LARKVANE_SOURCE_DIR "/data");

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QString installTo(const QString &prefix)
{
    QProcess cmake;
    cmake.setProcessChannelMode(QProcess::MergedChannels);
    cmake.start(QStringLiteral(LARKVANE_CMAKE_COMMAND),
        { u"--install"_s, QStringLiteral(LARKVANE_BINARY_DIR), u"--prefix"_s, prefix });
    if (!cmake.waitForFinished(120000) || cmake.exitCode() != 0)
        return QString::fromLocal8Bit(cmake.readAll());
    return {};
}

// What a command printed, within a bounded wait.
QString output(const QString &program, const QStringList &arguments, const QProcessEnvironment &env)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, arguments);
    if (!p.waitForFinished(10000)) {
        p.kill();
        p.waitForFinished();
        return {};
    }
    return p.exitCode() == 0 ? QString::fromUtf8(p.readAllStandardOutput()).trimmed() : QString();
}

// The argument lines of each Notify call in dbus-monitor's output.
QList<QStringList> notifyCalls(const QByteArray &monitored)
{
    QList<QStringList> calls;
    for (const QString &message : QString::fromUtf8(monitored).split(u"method call "_s)) {
        if (!message.contains(u"member=Notify"_s))
            continue;
        QStringList lines = message.split(u'\n');
        lines.removeFirst();
        for (QString &line : lines)
            line = line.trimmed();
        calls << lines;
    }
    return calls;
}

// A session bus of the test's own that starts nothing by itself, and lets a
// monitor listen in; its address, or an empty text.
QString startSessionBus(Running &bus, const QString &folder)
{
    writeFile(folder + u"/bus.conf"_s,
        "<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen><policy context=\"default\">"
        "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/><allow own=\"*\"/>"
        "</policy></busconfig>");
    bus.p->start(u"dbus-daemon"_s,
        { u"--config-file"_s, folder + u"/bus.conf"_s, u"--nofork"_s, u"--print-address=1"_s });
    if (!bus.p->waitForStarted() || !bus.p->waitForReadyRead(10000))
        return {};
    return QString::fromLatin1(bus.p->readLine().trimmed());
}

} // namespace

class DesktopTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void iconDocks_data();
    void iconDocks();
    void installedEntry();
    void launcherSeedsWorkingFolder_data();
    void launcherSeedsWorkingFolder();
    void alertNotification();
    void theRunningCopyComesBack_data();
    void theRunningCopyComesBack();

private:
    XServer m_server;
    QTemporaryDir m_prefix { QDir::tempPath() + u"/larkvane prefix-XXXXXX"_s };
};

void DesktopTest::initTestCase()
{
    QVERIFY2(QFileInfo(kProgram).isExecutable(), qPrintable(kProgram));
    if (QStandardPaths::findExecutable(u"trayer"_s).isEmpty() || !m_server.start())
        QSKIP("needs Xvfb and trayer (scripts/packages-test.txt)");
    // A prefix with a blank in it: the menu entry must quote its command.
    const QString failure = installTo(m_prefix.path());
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
}

void DesktopTest::iconDocks_data()
{
    QTest::addColumn<bool>("hostFirst");
    QTest::addColumn<bool>("hostRestarts");
    QTest::newRow("tray host already there") << true << false;
    // An autostart race: the panel comes up after the program.
    QTest::newRow("tray host comes after the program") << false << false;
    QTest::newRow("tray host restarts") << true << true;
}

void DesktopTest::iconDocks()
{
    QFETCH(bool, hostFirst);
    QFETCH(bool, hostRestarts);
    XDisplay &x = m_server.x();
    QTemporaryDir work;
    QTemporaryDir home;
    QTemporaryDir runtime;
    writeFile(work.filePath(u"larkvane.ini"_s), "[pref]\r\ncheck=1\r\n");
    writeFile(work.filePath(u"html/serch.html"_s), contents(kData + u"/html/serch.html"_s));

    auto host = std::make_unique<Running>();
    if (hostFirst)
        QVERIFY(startTrayHost(m_server, *host));

    Running program;
    QProcessEnvironment env = session(m_server.display(), home.path(), runtime.path());
    env.insert(u"QTWEBENGINE_DISABLE_SANDBOX"_s, u"1"_s);
    env.insert(u"QT_LOGGING_RULES"_s, u"larkvane.*.info=true"_s);
    program.p->setProcessEnvironment(env);
    program.p->setWorkingDirectory(work.path());
    program.p->start(kProgram, {});
    QVERIFY(program.p->waitForStarted());

    if (!hostFirst) {
        // With nowhere to dock, start-up shows the browser window once the
        // icon has been made: from then on the icon waits for a host.
        const auto browserShown = [&] {
            for (qint64 pid : processFamily(program.pid())) {
                if (!x.windowsOf(pid).isEmpty())
                    return true;
            }
            return false;
        };
        QVERIFY2(x.waitUntil(browserShown, 60000), "the browser window did not open");
        QVERIFY(startTrayHost(m_server, *host));
    }
    QVERIFY2(
        x.waitUntil([&] { return x.dockedIcons(host->pid()).size() == 1; }, 20000), "the icon did not dock");

    if (hostRestarts) {
        host.reset();
        host = std::make_unique<Running>();
        QVERIFY(startTrayHost(m_server, *host));
        QVERIFY2(x.waitUntil([&] { return x.dockedIcons(host->pid()).size() == 1; }, 20000),
            "the icon did not dock into the new host");
    }
    QCOMPARE(program.p->state(), QProcess::Running);
}

void DesktopTest::installedEntry()
{
    const QString prefix = m_prefix.path();
    const QByteArray entry = contents(prefix + u"/share/applications/io.github.larkvane.Larkvane.desktop"_s);
    QVERIFY(entry.startsWith("[Desktop Entry]\n"));
    const QList<QByteArray> lines = entry.split('\n');
    for (const QByteArray &expected :
        { QByteArray("Type=Application"), QByteArray("Name=Larkvane"), QByteArray("Icon=larkvane"),
            QByteArray("Categories=Network;Utility;"), QByteArray("Terminal=false"),
            u"Comment=オークションの終了前に音とウィンドウでお知らせします"_s.toUtf8() })
        QVERIFY2(lines.contains(expected), expected.constData());
    const QByteArray exec = "\nExec=\"" + prefix.toUtf8() + "/bin/larkvane-launch\"\n";
    QVERIFY2(entry.contains(exec), entry.constData());

    QCOMPARE(contents(prefix + u"/share/icons/hicolor/scalable/apps/larkvane.svg"_s),
        contents(kData + u"/icons/larkvane.svg"_s));
    QCOMPARE(
        contents(prefix + u"/share/larkvane/html/serch.html"_s), contents(kData + u"/html/serch.html"_s));
    QCOMPARE(contents(prefix + u"/share/larkvane/timecall.wav"_s), contents(kData + u"/timecall.wav"_s));
    QVERIFY(QFileInfo(prefix + u"/bin/larkvane"_s).isExecutable());
    QVERIFY(QFileInfo(prefix + u"/bin/larkvane-browser"_s).isExecutable());
}

void DesktopTest::launcherSeedsWorkingFolder_data()
{
    QTest::addColumn<QString>("dataHome"); // XDG_DATA_HOME below the home; "" unset
    QTest::addColumn<QString>("workBelowHome");
    QTest::addColumn<bool>("ownStartPage");
    QTest::newRow("first start") << QString() << u".local/share/larkvane"_s << false;
    QTest::newRow("the user's own start page is kept") << QString() << u".local/share/larkvane"_s << true;
    QTest::newRow("XDG_DATA_HOME") << u"data"_s << u"data/larkvane"_s << false;
    QTest::newRow("relative XDG_DATA_HOME is ignored")
        << u"relative"_s << u".local/share/larkvane"_s << false;
}

void DesktopTest::launcherSeedsWorkingFolder()
{
    QFETCH(QString, dataHome);
    QFETCH(QString, workBelowHome);
    QFETCH(bool, ownStartPage);
    QTemporaryDir home;
    QTemporaryDir runtime;
    const QString work = home.filePath(workBelowHome);
    const QByteArray ownPage = "<html><head><title>mine</title></head></html>";
    if (ownStartPage)
        writeFile(work + u"/html/serch.html"_s, ownPage);

    const QString command = execCommand(
        contents(m_prefix.path() + u"/share/applications/io.github.larkvane.Larkvane.desktop"_s));
    QVERIFY2(QFileInfo(command).isExecutable(), qPrintable(command));

    Running program;
    QProcessEnvironment env = session(m_server.display(), home.path(), runtime.path());
    if (dataHome == u"relative"_s)
        env.insert(u"XDG_DATA_HOME"_s, u"relative/share"_s);
    else if (!dataHome.isEmpty())
        env.insert(u"XDG_DATA_HOME"_s, home.filePath(dataHome));
    program.p->setProcessEnvironment(env);
    // Wherever the desktop starts it from.
    program.p->setWorkingDirectory(runtime.path());
    program.p->start(command, {});
    QVERIFY(program.p->waitForStarted());

    // The launcher has made way for the program once the lock is taken.
    const QString lock = runtime.filePath(u"larkvane.lock"_s);
    QVERIFY2(QTest::qWaitFor(
                 [&] {
                     return contents(lock).split('\n').value(0).toLongLong() == program.pid()
                         || program.p->state() != QProcess::Running;
                 },
                 30000),
        program.p->readAllStandardError().constData());
    const QString proc = u"/proc/"_s + QString::number(program.pid());
    QCOMPARE(QFileInfo(proc + u"/exe"_s).canonicalFilePath(),
        QFileInfo(m_prefix.path() + u"/bin/larkvane"_s).canonicalFilePath());
    QCOMPARE(QFileInfo(proc + u"/cwd"_s).canonicalFilePath(), QFileInfo(work).canonicalFilePath());

    QCOMPARE(contents(work + u"/html/serch.html"_s),
        ownStartPage ? ownPage : contents(kData + u"/html/serch.html"_s));
    QCOMPARE(contents(work + u"/timecall.wav"_s), contents(kData + u"/timecall.wav"_s));
    QCOMPARE(QDir(work).entryList({ u"*.part.*"_s }, QDir::Files), QStringList());

    // It keeps its settings there too.
    ::kill(pid_t(program.pid()), SIGTERM);
    QVERIFY(program.p->waitForFinished(30000));
    QCOMPARE(program.p->exitCode(), 0);
    QVERIFY(QFileInfo::exists(work + u"/larkvane.ini"_s));
}

// Two alerts restored from the file reach a real notification server (dunst)
// on a session bus of the test's own, with no notification area at all.
void DesktopTest::alertNotification()
{
    for (const QString &tool : { u"dbus-daemon"_s, u"dbus-monitor"_s, u"dunst"_s, u"dunstctl"_s }) {
        if (QStandardPaths::findExecutable(tool).isEmpty())
            QSKIP("needs dunst and dbus-daemon (scripts/packages-test.txt)");
    }
    QTemporaryDir work;
    QTemporaryDir home;
    QTemporaryDir runtime;

    // The dunst here is the only notification server.
    Running bus;
    const QString address = startSessionBus(bus, runtime.path());
    QVERIFY(!address.isEmpty());
    QProcessEnvironment env = session(m_server.display(), home.path(), runtime.path());
    env.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, address);

    Running dunst;
    dunst.p->setProcessEnvironment(env);
    dunst.p->start(u"dunst"_s, {});
    QVERIFY(m_server.x().waitUntil(
        [&] {
            return !output(u"dunstctl"_s, { u"count"_s, u"displayed"_s }, env).isEmpty();
        },
        20000, 100));
    Running monitor;
    monitor.p->setProcessEnvironment(env);
    monitor.p->start(u"dbus-monitor"_s,
        { u"--session"_s,
            u"type='method_call',interface='org.freedesktop.Notifications',member='Notify'"_s });
    // It says its own name on the bus once it listens.
    QVERIFY(monitor.p->waitForReadyRead(10000));

    // Two slots ending in the same minute, alerting some seconds apart;
    // their titles say what markup would swallow.
    const QDateTime now = QDateTime::currentDateTimeUtc().addSecs(9 * 3600);
    QDateTime end = now.addSecs(120);
    end.setTime(QTime(end.time().hour(), end.time().minute()));
    const qint64 left = now.secsTo(end);
    writeFile(work.filePath(u"lamp.html"_s), "<html><head><title>Lamp page</title></head></html>");
    writeFile(work.filePath(u"chair.html"_s), "<html><head><title>Chair page</title></head></html>");
    writeFile(work.filePath(u"html/serch.html"_s), contents(kData + u"/html/serch.html"_s));
    QByteArray ini = "[pref]\r\nINI=60\r\ncheck=1\r\n[Auction_File]\r\n";
    const QByteArray endText = end.toString(u"yy/MM/dd hh:mm"_s).toLatin1();
    int n = 0;
    for (const auto &[title, page, alertIn] :
        { std::tuple { "lamp <b>", "lamp.html", 8 }, std::tuple { "chair & table", "chair.html", 12 } }) {
        const QByteArray k = QByteArray::number(++n);
        ini += "data" + k + "=" + title + "\r\nstart" + k + "=N/A\r\nend" + k + "=" + endText + "\r\nURL" + k
            + "=" + QUrl::fromLocalFile(work.filePath(QString::fromLatin1(page))).toEncoded() + "\r\nretime"
            + k + "=" + QByteArray::number(left - alertIn) + "\r\n";
    }
    writeFile(work.filePath(u"larkvane.ini"_s), ini);

    Running program;
    env.insert(u"QTWEBENGINE_DISABLE_SANDBOX"_s, u"1"_s);
    env.insert(u"QT_LOGGING_RULES"_s, u"larkvane.*.info=true"_s);
    program.p->setProcessEnvironment(env);
    program.p->setWorkingDirectory(work.path());
    program.p->setStandardErrorFile(work.filePath(u"log"_s));
    program.p->start(kProgram, {});
    QVERIFY(program.p->waitForStarted());

    QByteArray monitored;
    const bool notified = QTest::qWaitFor(
        [&] {
            monitored += monitor.p->readAllStandardOutput();
            return notifyCalls(monitored).size() >= 2;
        },
        40000);
    QVERIFY2(notified, QByteArray(monitored + contents(work.filePath(u"log"_s))).constData());
    const QList<QStringList> calls = notifyCalls(monitored);
    QCOMPARE(calls.size(), 2);
    const QStringList &first = calls[0];
    QCOMPARE(first.value(0), u"string \"Larkvane\""_s);
    QCOMPARE(first.value(1), u"uint32 0"_s);
    QVERIFY2(first.value(4).startsWith(u"string \"あと、およそ"_s)
            && first.value(4).endsWith(u"秒で 「lamp &lt;b&gt;」 の入札が終了します。\""_s),
        qPrintable(first.value(4)));
    QVERIFY(first.contains(u"string \"このオークションを表示\""_s));
    QVERIFY(first.contains(u"variant             byte 2"_s)); // urgency critical
    // Another slot's alert is a notification of its own: both are seen.
    QCOMPARE(calls[1].value(1), u"uint32 0"_s);
    QVERIFY(calls[1].value(4).contains(u"「chair &amp; table」"_s));
    QCOMPARE(output(u"dunstctl"_s, { u"count"_s, u"displayed"_s }, env), u"2"_s);

    // Its action shows its own item, as the alert window's button does
    // (which of the two is on top is dunst's to say).
    output(u"dunstctl"_s, { u"action"_s, u"0"_s }, env);
    XDisplay &x = m_server.x();
    const auto itemShown = [&] {
        for (qint64 pid : processFamily(program.pid())) {
            for (const auto w : x.windowsOf(pid)) {
                if (x.name(w) == u"Chair page - Larkvane"_s || x.name(w) == u"Lamp page - Larkvane"_s)
                    return true;
            }
        }
        return false;
    };
    QVERIFY2(x.waitUntil(itemShown, 60000, 100), "the item was not shown");
}

void DesktopTest::theRunningCopyComesBack_data()
{
    QTest::addColumn<bool>("trayHost");
    QTest::addColumn<bool>("byTheDesktop"); // else by a second start
    QTest::newRow("no tray, a second start") << false << false;
    QTest::newRow("no tray, the desktop's activation") << false << true;
    QTest::newRow("tray, a second start: the message") << true << false;
}

// With no tray a closed browser window is the end of the way back to the
// program; starting it again, or the desktop's activation, brings it back.
void DesktopTest::theRunningCopyComesBack()
{
    QFETCH(bool, trayHost);
    QFETCH(bool, byTheDesktop);
    if (QStandardPaths::findExecutable(u"dbus-daemon"_s).isEmpty())
        QSKIP("needs dbus-daemon (scripts/packages-test.txt)");
    XDisplay &x = m_server.x();
    QTemporaryDir work;
    QTemporaryDir home;
    QTemporaryDir runtime;
    writeFile(work.filePath(u"larkvane.ini"_s), "[pref]\r\ncheck=0\r\n");
    writeFile(work.filePath(u"html/serch.html"_s), contents(kData + u"/html/serch.html"_s));
    Running bus;
    const QString address = startSessionBus(bus, runtime.path());
    QVERIFY(!address.isEmpty());
    QProcessEnvironment env = session(m_server.display(), home.path(), runtime.path());
    env.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, address);
    env.insert(u"QTWEBENGINE_DISABLE_SANDBOX"_s, u"1"_s);
    Running host;
    if (trayHost)
        QVERIFY(startTrayHost(m_server, host));

    Running program;
    program.p->setProcessEnvironment(env);
    program.p->setWorkingDirectory(work.path());
    program.p->start(kProgram, {});
    QVERIFY(program.p->waitForStarted());
    const auto browserWindows = [&] {
        QList<XDisplay::Window> windows;
        for (qint64 pid : processFamily(program.pid()))
            windows << x.windowsOf(pid);
        return windows;
    };
    QVERIFY2(
        x.waitUntil([&] { return !browserWindows().isEmpty(); }, 60000), "the browser window did not open");
    for (const XDisplay::Window w : browserWindows())
        x.requestClose(w);
    QVERIFY2(
        x.waitUntil([&] { return browserWindows().isEmpty(); }, 20000), "the browser window did not close");

    Running second;
    if (byTheDesktop) {
        // As a launcher or a dock does it, once the program owns its name.
        QDBusConnection launcher = QDBusConnection::connectToBus(address, u"launcher"_s);
        QVERIFY(launcher.isConnected());
        QVERIFY(QTest::qWaitFor(
            [&] {
                return launcher.interface()->isServiceRegistered(u"io.github.larkvane.Larkvane"_s).value();
            },
            20000));
        QDBusMessage activate = QDBusMessage::createMethodCall(u"io.github.larkvane.Larkvane"_s,
            u"/io/github/larkvane/Larkvane"_s, u"org.freedesktop.Application"_s, u"Activate"_s);
        activate << QVariantMap();
        const QDBusMessage reply = launcher.call(activate, QDBus::Block, 20000);
        QDBusConnection::disconnectFromBus(u"launcher"_s);
        QVERIFY2(reply.type() == QDBusMessage::ReplyMessage, qPrintable(reply.errorMessage()));
    } else {
        second.p->setProcessEnvironment(env);
        second.p->setWorkingDirectory(work.path());
        second.p->start(kProgram, {});
        QVERIFY(second.p->waitForStarted());
    }
    if (trayHost) {
        // The box of the second start; the first copy stays in its tray.
        QVERIFY2(x.waitUntil([&] { return !x.windowsOf(second.pid()).isEmpty(); }, 20000), "no box");
        QCOMPARE(x.name(x.windowsOf(second.pid()).first()), u"Larkvane"_s);
        QVERIFY(browserWindows().isEmpty());
        return;
    }
    // Without a box: nobody would have to press its OK.
    if (!byTheDesktop) {
        QVERIFY(second.p->waitForFinished(20000));
        QCOMPARE(second.p->exitCode(), 0);
    }
    QVERIFY2(x.waitUntil([&] { return !browserWindows().isEmpty(); }, 60000),
        "the browser window did not come back");
}

QTEST_GUILESS_MAIN(DesktopTest)
#include "desktop_test.moc"
