// The browser window in its own process, seen from the program: started,
// kept in step, asked to close, lost, and started again.

#include "bookmark_window.h"
#include "browser_process.h"
#include "http_test_server.h"
#include "message_channel.h"
#include "profile_file.h"
#include "test_pages.h"
#include "test_services.h"

#include <QListWidget>
#include <QLocalSocket>
#include <QNetworkProxy>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QWidget>
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
    Services services { t.store, t.persistence, t.serviceClock, t.messages, t.sound, t.windows, t.statusLine,
        browser, t.files, t.timers };

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

// The user of the browser window, through the window's probe file.
struct User
{
    QString path;

    explicit User(const TempWorkDir &dir)
        : path(dir.filePath(u"probe"_s))
    {
        qputenv("LARKVANE_BROWSER_PROBE", path.toUtf8());
    }
    ~User() { qunsetenv("LARKVANE_BROWSER_PROBE"); }

    bool tell(const QString &line) const
    {
        // Whole lines only: the probe may read at any moment.
        if (!QTest::qWaitFor([this] { return !QFile::exists(path); }, 10000))
            return false;
        QFile f(path + u".new"_s);
        return f.open(QIODevice::WriteOnly) && f.write((line + u'\n').toUtf8()) > 0 && (f.close(), true)
            && QFile::rename(path + u".new"_s, path);
    }
    // What the window shows: "held 1", "box ...", "timer-menu 0", ...
    QStringList sees() const
    {
        QFile::remove(path + u".out"_s);
        if (!tell(u"report"_s) || !QTest::qWaitFor([this] { return QFile::exists(path + u".out"_s); }, 10000))
            return {};
        QFile f(path + u".out"_s);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts)
                                           : QStringList {};
    }
    bool seesLine(const QString &line) const
    {
        return QTest::qWaitFor([&] { return sees().contains(line); }, 20000);
    }
};

// The program's windows the browser's menus open, as plain widgets.
void registerProgramWindows(WindowRegistry &windows)
{
    for (const QString &name :
        { u"frmConf"_s, u"frmEnding"_s, u"frmbookmark"_s, u"frmAlarm"_s, u"frmVersion"_s }) {
        windows.registerWindow(name, [name](QObject *) -> QObject * {
            auto *w = new QWidget;
            w->setObjectName(name);
            w->setAttribute(Qt::WA_DeleteOnClose);
            return w;
        });
    }
}

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
    void menusOpenTheProgramsWindowsWhichHoldTheBrowser_data();
    void menusOpenTheProgramsWindowsWhichHoldTheBrowser();
    void theTimerMenuRegistersInTheProgram();
    void aBookmarkShowsItsPage_data();
    void aBookmarkShowsItsPage();
    void theWindowDoesWhatTheProgramSays();
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
    // The window's report reached the program, which read the page again.
    QTRY_VERIFY_WITH_TIMEOUT(server.count(u"/item"_s) >= 2, 10000);

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

void BrowserProcessTest::menusOpenTheProgramsWindowsWhichHoldTheBrowser_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("window");
    QTest::addColumn<bool>("holds");
    QTest::newRow("settings") << u"mnuEdit"_s << u"frmConf"_s << true;
    QTest::newRow("exit") << u"mnuFileQuit"_s << u"frmEnding"_s << true;
    QTest::newRow("bookmarks, from the toolbar") << u"bk_edit"_s << u"frmbookmark"_s << true;
    QTest::newRow("version") << u"mnuHelpVersion"_s << u"frmVersion"_s << true;
    QTest::newRow("timer list: no dialog") << u"mnuTimerlist"_s << u"frmAlarm"_s << false;
}

void BrowserProcessTest::menusOpenTheProgramsWindowsWhichHoldTheBrowser()
{
    QFETCH(QString, entry);
    QFETCH(QString, window);
    QFETCH(bool, holds);
    Program p;
    User user(p.t.dir);
    registerProgramWindows(p.t.windows);
    p.browser.showBrowser();
    QVERIFY(p.waitUntilShown());

    QVERIFY(user.tell(u"trigger "_s + entry));
    QTRY_VERIFY_WITH_TIMEOUT(p.t.windows.isOpen(window), 10000);
    QVERIFY(user.seesLine(holds ? u"held 1"_s : u"held 0"_s));
    if (!holds) {
        QVERIFY(user.tell(u"close"_s));
        QTRY_VERIFY_WITH_TIMEOUT(!p.browser.isRunning(), 20000);
        return;
    }
    // The close box of a held window does nothing, as a modal owner's would.
    QVERIFY(user.tell(u"close"_s));
    QVERIFY(user.seesLine(u"visible 1"_s));
    QVERIFY(p.browser.isRunning());

    p.t.windows.close(window);
    QVERIFY(user.seesLine(u"held 0"_s));
    QVERIFY(user.tell(u"close"_s));
    QTRY_VERIFY_WITH_TIMEOUT(!p.browser.isRunning(), 20000);
}

void BrowserProcessTest::theTimerMenuRegistersInTheProgram()
{
    HttpTestServer server;
    QVERIFY(server.listen());
    // Item pages are believed only from the service's hosts: the browser
    // process and the program's own read have this server as their proxy
    // (the loopback goes direct).
    const QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    const auto restore = qScopeGuard([flags] {
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    });
    QNetworkProxy::setApplicationProxy(
        QNetworkProxy(QNetworkProxy::HttpProxy, u"127.0.0.1"_s, server.port()));
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS",
        flags + " --proxy-server=127.0.0.1:" + QByteArray::number(server.port()));
    Program p;
    User user(p.t.dir);
    p.t.store.setValue(u"wavfile"_s, u"timecall.wav"_s);
    server.setPage(u"http://auctions.yahoo.co.jp/item"_s,
        TestPages::yahooEucPage(
            u"12月 1日 10時 0分"_s, u"12月 8日 12時 5分"_s, u"ノートパソコン - Yahoo!オークション"_s),
        "text/html; charset=EUC-JP");
    const QString url = u"http://auctions.yahoo.co.jp/item"_s;
    p.browser.navigate(url);
    // The program reads the page and enables the window's timer menu.
    QVERIFY(user.seesLine(u"timer-menu 1"_s));

    QVERIFY(user.tell(u"trigger mnutimer3"_s));
    const AuctionTimer &timer = p.t.timers.timer(3);
    QTRY_VERIFY_WITH_TIMEOUT(timer.isArmed(), 10000);
    QCOMPARE(timer.item().title, u"ノートパソコン"_s);
    QCOMPARE(timer.item().url, url);
    QCOMPARE(timer.endText(), u"26/12/08 12:05"_s);
    QCOMPARE(timer.secondsLeft(), 300);
    // Saved by the program at once, and said over the browser window.
    QCOMPARE(ProfileFile(p.t.persistence.iniPath()).read(u"Auction_File"_s, u"data3"_s), u"ノートパソコン"_s);
    QVERIFY(user.seesLine(u"box ノートパソコン　のタイマーをスタートしました。"_s));
    QVERIFY(p.t.messages.texts.isEmpty());
    p.t.timers.clear(3);

    // A bookmark of the page, added by the program.
    QVERIFY(user.tell(u"trigger mnuBmplus"_s));
    QVERIFY(user.seesLine(u"box 「ノートパソコン - Yahoo!オークション」をお気に入りに登録しました。"_s));

    // The search page: the program forgets the page's times and sends the
    // window there.
    QVERIFY(user.tell(u"trigger mnukensaku"_s));
    QVERIFY(user.seesLine(u"timer-menu 0"_s));
    p.browser.close();
}

void BrowserProcessTest::aBookmarkShowsItsPage_data()
{
    QTest::addColumn<bool>("doubleClick");
    QTest::newRow("表　示") << false;
    QTest::newRow("double click") << true;
}

void BrowserProcessTest::aBookmarkShowsItsPage()
{
    QFETCH(bool, doubleClick);
    Program p;
    User user(p.t.dir);
    registerBookmarkWindows(p.t.windows, p.services);
    HttpTestServer server;
    QVERIFY(server.listen());
    server.setPage(
        u"/watched"_s, "<html><head><title>注目の品</title></head></html>", "text/html; charset=utf-8");
    const QString url = server.url(u"/watched"_s).toString();
    p.t.dir.write(u"larkvane.ini"_s, "[Bmark]\r\ndt_len=1\r\ndatatxt=watched," + url.toLatin1() + ",\r\n");
    p.browser.showBrowser();
    QVERIFY(p.waitUntilShown());

    QVERIFY(user.tell(u"trigger bk_edit"_s));
    QTRY_VERIFY_WITH_TIMEOUT(p.t.windows.isOpen(u"frmbookmark"_s), 10000);
    QVERIFY(user.seesLine(u"held 1"_s));
    auto *window = qobject_cast<QWidget *>(p.t.windows.find(u"frmbookmark"_s));
    QVERIFY(window);
    auto *list = window->findChild<QListWidget *>(u"List1"_s);
    list->setCurrentRow(0);
    if (doubleClick) {
        QVERIFY(QTest::qWaitForWindowExposed(window));
        const QPoint row = list->visualItemRect(list->item(0)).center();
        QTest::mouseDClick(window->windowHandle(), Qt::LeftButton, {}, list->viewport()->mapTo(window, row));
    } else {
        window->findChild<QPushButton *>(u"btn1"_s)->click();
    }

    QVERIFY(user.seesLine(u"caption 注目の品 - Larkvane"_s));
    QVERIFY(user.seesLine(u"held 0"_s));
    QVERIFY(p.t.messages.texts.isEmpty());
    p.browser.close();
}

void BrowserProcessTest::theWindowDoesWhatTheProgramSays()
{
    Program p;
    User user(p.t.dir);
    p.t.statusLine.setText(u"ﾀｲﾏｰ1: 568秒　☆"_s);
    p.browser.showBrowser();
    QVERIFY(p.waitUntilShown());
    QVERIFY(user.seesLine(u"countdown ﾀｲﾏｰ1: 568秒　☆"_s));
    p.t.statusLine.setText(u"ﾀｲﾏｰ1: 567秒　☆"_s);
    QVERIFY(user.seesLine(u"countdown ﾀｲﾏｰ1: 567秒　☆"_s));

    // The settings dialog's bars.
    QVERIFY(user.seesLine(u"toolbar 1"_s));
    p.t.store.setValue(u"tbar1"_s, u"0"_s);
    p.t.store.setValue(u"tbar2"_s, u"1"_s);
    p.browser.applyBars(0, 1);
    QVERIFY(user.seesLine(u"toolbar 0"_s));
    QVERIFY(user.seesLine(u"buttons 1"_s));

    // Under a dialog of the program's, nothing takes the window elsewhere.
    registerProgramWindows(p.t.windows);
    HttpTestServer server;
    QVERIFY(server.listen());
    server.setPage(u"/away"_s, "<html><head><title>away</title></head></html>", "text/html");
    QVERIFY(user.tell(u"trigger mnuEdit"_s));
    QVERIFY(user.seesLine(u"held 1"_s));
    p.browser.navigate(server.url(u"/away"_s).toString());
    p.t.windows.close(u"frmConf"_s);
    QVERIFY(user.seesLine(u"held 0"_s));
    QVERIFY(user.seesLine(u"caption "_s + kStartPageTitle + u" - Larkvane"_s));
    QCOMPARE(server.count(u"/away"_s), 0);
    p.browser.navigate(server.url(u"/away"_s).toString());
    QVERIFY(user.seesLine(u"caption away - Larkvane"_s));

    p.browser.close();
    QVERIFY(!p.browser.isRunning());
}

QTEST_MAIN(BrowserProcessTest)

#include "browser_process_test.moc"
