// The browser window in its own process, seen from the program: started,
// kept in step, asked to close, lost, and started again.

#include "browser_process.h"
#include "http_test_server.h"
#include "message_channel.h"
#include "profile_file.h"
#include "test_services.h"

#include <QLocalSocket>
#include <QProcess>
#include <QtTest>

#include <sys/socket.h>
#include <unistd.h>

#include <csignal>

using namespace Qt::StringLiterals;

namespace {

const QString kBrowserProgram = QStringLiteral(LARKVANE_BINARY_DIR "/larkvane-browser");
const QString kStartPageTitle = u"Larkvane 検索ページ"_s;
constexpr int kStartMs = 60000;

// The program's side: its store and file, and the process it starts.
struct Program
{
    TestServices t;
    BrowserProcess browser;
    // The program's services, with this browser as theirs.
    Services services { t.store, t.persistence, t.clock, t.messages, t.sound, t.windows, t.statusLine,
        browser, t.files };

    explicit Program(const QString &executable = kBrowserProgram)
        : browser(executable)
    {
        t.dir.write(
            u"html/serch.html"_s, readFile(QStringLiteral(LARKVANE_SOURCE_DIR "/data/html/serch.html")));
        t.store.setValue(u"boot_dir"_s, t.dir.path());
        t.store.setValue(u"x_pos"_s, u"1500"_s);
        t.store.setValue(u"y_pos"_s, u"1200"_s);
        t.store.setValue(u"w_width"_s, u"9000"_s);
        t.store.setValue(u"w_height"_s, u"7005"_s);
        t.store.setValue(u"tbar1"_s, u"1"_s);
        browser.attach(services);
    }

    static QByteArray readFile(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    bool waitUntilShown()
    {
        return QTest::qWaitFor(
            [this] { return browser.isOpen() && browser.locationName() == kStartPageTitle; }, kStartMs);
    }
};

} // namespace

class BrowserProcessTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void opensFollowsAndClosesWithItsGeometry();
    void theExitClosesItAsTheWindowFrmWeb();
    void aBrowserThatDiesIsStartedAnew();
    void aMissingBrowserProgramIsTold();
    void theBrowserEndsWhenTheProgramGoes();
};

void BrowserProcessTest::opensFollowsAndClosesWithItsGeometry()
{
    Program p;
    QSignalSpy agent(&p.browser, &BrowserProcess::userAgentChanged);
    p.browser.showBrowser();
    QVERIFY2(p.waitUntilShown(), "the browser window did not show its start page");
    QVERIFY(!agent.isEmpty());
    QVERIFY(agent.first().first().toString().contains(u"Mozilla"_s));

    HttpTestServer server;
    QVERIFY(server.listen());
    server.setPage(u"/item"_s,
        "<html><head><title>&lt;b&gt;品物&lt;/b&gt;</title></head><body>x</body></html>",
        "text/html; charset=utf-8");
    p.browser.navigate(server.url(u"/item"_s).toString());
    QTRY_COMPARE_WITH_TIMEOUT(p.browser.locationName(), u"<b>品物</b>"_s, 30000);
    QCOMPARE(p.browser.locationUrl(), server.url(u"/item"_s).toString());
    // The page reader wrote its scratch fields into the copy; they reached us.
    QTRY_COMPARE_WITH_TIMEOUT(p.t.store.value(u"txtURL"_s), server.url(u"/item"_s).toString(), 10000);

    QVERIFY(!QFile::exists(p.t.persistence.iniPath()));
    QVERIFY(p.browser.close());
    QVERIFY(!p.browser.isRunning());
    QVERIFY(!p.browser.isOpen());
    // The window stored its geometry as it closed, and asked for the save.
    ProfileFile ini(p.t.persistence.iniPath());
    QCOMPARE(ini.read(u"pref"_s, u"x_pos"_s), u"1500"_s);
    QCOMPARE(ini.read(u"pref"_s, u"height"_s), u"7005"_s);
    QVERIFY(p.t.messages.texts.isEmpty());
}

void BrowserProcessTest::theExitClosesItAsTheWindowFrmWeb()
{
    Program p;
    // Opened as start-up and the tray open it: not through the registry.
    p.browser.showBrowser();
    // A width the window can only have rounded as it stored its geometry.
    p.t.store.setValue(u"w_width"_s, u"9000.4"_s);
    QVERIFY(p.waitUntilShown());
    QVERIFY(p.t.windows.isOpen(u"frmWeb"_s));

    p.t.windows.closeInOrder({ u"frmWeb"_s });
    QVERIFY(!p.browser.isRunning());
    QVERIFY(!p.t.windows.isOpen(u"frmWeb"_s));
    QCOMPARE(p.t.store.value(u"w_width"_s), u"9000"_s);
}

void BrowserProcessTest::aBrowserThatDiesIsStartedAnew()
{
    Program p;
    p.browser.showBrowser();
    QVERIFY(p.waitUntilShown());
    QSignalSpy ended(&p.browser, &BrowserProcess::ended);
    ::kill(pid_t(p.browser.processId()), SIGKILL);
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 10000);
    QVERIFY(!p.browser.isOpen());
    // The countdowns and the file are the program's: nothing of them is lost.
    p.t.store.setValue(u"TimerText1"_s, u"残る品"_s);

    p.browser.showBrowser();
    QVERIFY2(p.waitUntilShown(), "the browser window did not open again");
    p.browser.close();
    QCOMPARE(p.t.store.value(u"TimerText1"_s), u"残る品"_s);
}

void BrowserProcessTest::aMissingBrowserProgramIsTold()
{
    Program p(QStringLiteral(LARKVANE_BINARY_DIR "/no-such-browser"));
    p.browser.showBrowser();
    p.browser.navigate(u"http://127.0.0.1:1/"_s);
    QCOMPARE(p.t.messages.texts,
        (QStringList { u"ブラウザを起動できませんでした。"_s, u"ブラウザを起動できませんでした。"_s }));
    QVERIFY(!p.browser.isOpen());
    QVERIFY(p.browser.close());
}

void BrowserProcessTest::theBrowserEndsWhenTheProgramGoes()
{
    TempWorkDir dir;
    int fds[2];
    QVERIFY(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) == 0);
    const int childEnd = fds[1];
    QLocalSocket ours;
    QVERIFY(ours.setSocketDescriptor(fds[0]));
    MessageChannel channel(&ours);
    bool shown = false;
    connect(&channel, &MessageChannel::received, this, [&shown](const wire::Message &m) {
        if (std::holds_alternative<wire::Shown>(m))
            shown = true;
    });

    QProcess child;
    child.setProgram(kBrowserProgram);
    child.setArguments({ u"--link-fd"_s, u"3"_s });
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.setChildProcessModifier([childEnd] { ::dup2(childEnd, 3); });
    child.start();
    ::close(childEnd);
    QVERIFY(child.waitForStarted());
    channel.send(
        wire::Setup { { u"0"_s, u"0"_s, u"9000"_s, u"7000"_s }, {}, dir.filePath(u"html/serch.html"_s) });
    channel.send(wire::Show {});
    QTRY_VERIFY_WITH_TIMEOUT(shown, kStartMs);

    // The program is gone without a word (a crash): the browser follows.
    ours.close();
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);
}

QTEST_MAIN(BrowserProcessTest)

#include "browser_process_test.moc"
