// One slot's life through the program's own wiring, on driven clocks: the
// reads of its page, an extension, a snooze, an end while the settings
// dialog is open, and a hand-edited file.

#include "auction_timers.h"
#include "fake_page_fetcher.h"
#include "file_faults.h"
#include "persistence.h"
#include "program.h"
#include "settings_fields.h"
#include "temp_work_dir.h"
#include "test_platform.h"

#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString kUrl = u"https://auctions.yahoo.co.jp/jp/auction/x1"_s;
const QString kHost = u"auctions.yahoo.co.jp"_s;

QDateTime noon(int minutes, int seconds = 0)
{
    return japanDateTime(QDate(2026, 12, 8), QTime(12, 0)).addSecs(minutes * 60 + seconds);
}

FetchResult pageEnding(const QDateTime &end)
{
    return FakePageFetcher::page(
        "<script id=\"__NEXT_DATA__\" type=\"application/json\">{\"props\":{\"pageProps\":"
        "{\"initialState\":{\"item\":{\"detail\":{\"item\":{\"auctionId\":\"x1\",\"title\":"
        "\"品\",\"endTime\":\""
        + end.toOffsetFromUtc(kJapanOffsetSeconds).toString(Qt::ISODate).toUtf8()
        + "\",\"status\":\"open\"}}}}}}}</script>");
}

struct Wired : TestPlatform
{
    TempWorkDir dir;
    FakePageFetcher *fetcher = nullptr; // the timers' own
    std::unique_ptr<Program> program;

    explicit Wired(const QByteArray &file = {}, qint64 size = 0)
    {
        if (!file.isEmpty())
            dir.write(u"larkvane.ini"_s, file);
        if (size)
            QFile(dir.filePath(u"larkvane.ini"_s)).resize(size);
        program = std::make_unique<Program>(platform([this]() -> std::unique_ptr<PageFetcher> {
            auto f = std::make_unique<FakePageFetcher>();
            if (!fetcher)
                fetcher = f.get();
            return f;
        }),
            dir.path());
        program->restore();
        program->store().setValue(Setting::kSoundFile, u"w.wav"_s);
    }
    ~Wired()
    {
        program->windows().closeInOrder({ u"frmMessage"_s, u"frmAlarm"_s, u"frmConf"_s });
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    AuctionTimers &timers() { return program->timers(); }
    // The status list open: a window shows the count.
    void watch()
    {
        program->windows().open(u"frmAlarm"_s);
        QCoreApplication::processEvents();
    }
    // On to the timers' next wake-up, as their own timer would take them.
    void wake()
    {
        const qint64 next = timers().nextWakeMs();
        clock.advance(int((next - steadyMs) / 1000));
        steadyMs = next;
        timers().runDue();
    }
    QWidget *window(const QString &name) { return program->windows().find<QWidget>(name); }
};

} // namespace

class ProgramTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void readsFallOnTheirSeconds_data();
    void readsFallOnTheirSeconds();
    void extensionBringsTheAlertAgainAndSnoozes();
    void aCountSetAboveItsLeadAlertsAsleep();
    void anEndKeepsTheSettingsDialog();
    void handEditedEndIsArmedAndFollowed();
    void aFailedSaveIsSaid();
    void tenAlertsAtOnceAreTenNotifications();
    void aFileTooLargeIsSaidAtStart();
};

void ProgramTest::readsFallOnTheirSeconds_data()
{
    QTest::addColumn<bool>("windowOpen");
    QTest::newRow("only the tray") << false;
    QTest::newRow("a window shows the count") << true;
}

void ProgramTest::readsFallOnTheirSeconds()
{
    QFETCH(bool, windowOpen);
    Wired w;
    if (windowOpen)
        w.watch();
    w.program->store().setValue(Setting::kLeadSeconds, u"150"_s);
    w.program->clock().learn(kHost, { w.clock.now(), {}, 0 });
    w.timers().assign(1, { u"品"_s, kUrl, {} }, noon(11));
    const AuctionTimer &t = w.timers().timer(1);
    QList<qint64> readAt;
    int wakes = 0;
    while (t.secondsLeft() > 0) {
        const qsizetype before = w.fetcher->requests.size();
        w.wake();
        ++wakes;
        if (w.fetcher->requests.size() > before) {
            readAt << t.secondsLeft();
            w.fetcher->answer(pageEnding(noon(11)));
        }
    }
    QCOMPARE(readAt, (QList<qint64> { 600, 540, 480, 420, 360, 300, 240, 180, 150, 120, 60, 15, 5, 0 }));
    QCOMPARE(w.sound.played.size(), 1);
    // Asleep between its moments, or every second.
    QCOMPARE(wakes, windowOpen ? 660 : 14);
}

// Restored 56 s before its end by this machine's clock, below its lead; the
// service's clock says 83: the alert comes at 60, though the tray sleeps
// from the read to it.
void ProgramTest::aCountSetAboveItsLeadAlertsAsleep()
{
    Wired w;
    w.program->store().setValue(Setting::kLeadSeconds, u"60"_s);
    const QDateTime end = w.clock.now().addSecs(56);
    w.timers().assign(1, { u"品"_s, kUrl, {} }, end);
    const AuctionTimer &t = w.timers().timer(1);
    w.wake();
    QCOMPARE(w.fetcher->requests.size(), 1);
    FetchResult behind = pageEnding(end);
    behind.roundTripMs = 0;
    behind.serverDate = w.clock.now().addSecs(-28);
    w.fetcher->answer(behind);
    QVERIFY(t.secondsLeft() > 80);
    qint64 alertedAt = -1;
    while (t.isArmed() && alertedAt < 0) {
        w.wake();
        if (!w.sound.played.isEmpty())
            alertedAt = t.secondsLeft();
        if (w.fetcher->requests.last().done)
            w.fetcher->answer(pageEnding(end));
    }
    QCOMPARE(alertedAt, 60);
}

void ProgramTest::extensionBringsTheAlertAgainAndSnoozes()
{
    Wired w;
    w.watch();
    w.program->store().setValue(Setting::kLeadSeconds, u"10"_s);
    w.program->clock().learn(kHost, { w.clock.now(), {}, 0 });
    w.timers().assign(1, { u"品"_s, kUrl, {} }, noon(0, 20));
    const AuctionTimer &t = w.timers().timer(1);
    // The read at 15 s stays out until 6 s are left; then it tells of a bid.
    while (t.secondsLeft() > 6) {
        w.wake();
        if (t.secondsLeft() > 15 && !w.fetcher->requests.isEmpty())
            w.fetcher->answer(pageEnding(noon(0, 20)));
    }
    QCOMPARE(w.sound.played.size(), 1);
    w.fetcher->answer(pageEnding(noon(1, 20)));
    QCOMPARE(t.secondsLeft(), 66);
    QCOMPARE(t.endText(), u"26/12/08 12:01"_s);

    // The alert window of the first alert counts on with it, and snoozes.
    QWidget *alert = w.window(u"frmMessage"_s);
    QVERIFY(alert);
    alert->findChild<QLineEdit *>(u"Text1"_s)->setText(u"30"_s);
    alert->findChild<QPushButton *>(u"retimer"_s)->click();
    QCOMPARE(w.messages.texts, QStringList { u"タイマーのお知らせ時間を30秒前に再設定します。"_s });
    QCOMPARE(t.ownLead(), u"30"_s);
    while (t.secondsLeft() > 30)
        w.wake();
    QCOMPARE(w.sound.played.size(), 2);
}

// The user's edits in 環境設定 have nothing to do with an auction that ends.
void ProgramTest::anEndKeepsTheSettingsDialog()
{
    Wired w;
    w.watch();
    w.program->windows().open(u"frmConf"_s);
    QWidget *settings = w.window(u"frmConf"_s);
    QVERIFY(settings && settings->isVisible());
    settings->findChild<QLineEdit *>(u"Text1"_s)->setText(u"99"_s);
    w.timers().assign(2, { u"品"_s, u"file:///item.html"_s, {} }, noon(0, 2));
    w.wake();
    w.wake();
    QVERIFY(w.timers().timer(2).hasEnded());
    QVERIFY(!w.program->windows().isOpen(u"frmAlarm"_s));
    QVERIFY(settings->isVisible());
    QCOMPARE(settings->findChild<QLineEdit *>(u"Text1"_s)->text(), u"99"_s);
}

// An end as a hand-edited file holds it: read, armed, and followed.
void ProgramTest::handEditedEndIsArmedAndFollowed()
{
    Wired w("[Auction_File]\r\ndata1=\x95\x69\r\nend1=26/12/8  12:10\r\nURL1=" + kUrl.toUtf8() + "\r\n");
    const AuctionTimer &t = w.timers().timer(1);
    QVERIFY(t.isArmed());
    QCOMPARE(t.secondsLeft(), 600);
    // The service's clock is not known yet: its page is read at once.
    w.wake();
    QCOMPARE(w.fetcher->requests.size(), 1);
    w.fetcher->answer(pageEnding(noon(15)));
    QCOMPARE(t.endText(), u"26/12/08 12:15"_s);
    QCOMPARE(t.secondsLeft(), 899);
}

// Each alert is seen, though one window and one sound serve them all.
void ProgramTest::tenAlertsAtOnceAreTenNotifications()
{
    Wired w;
    w.program->store().setValue(Setting::kLeadSeconds, u"60"_s);
    for (int n = 1; n <= kSlotCount; ++n)
        w.timers().assign(n, { u"品"_s + QString::number(n), kUrl + QString::number(n), u"N/A"_s }, noon(2));
    while (w.notifier.alerts.size() < kSlotCount && w.clock.now() < noon(2))
        w.wake();
    QCOMPARE(w.clock.now(), noon(1));
    QCOMPARE(w.notifier.alerts.size(), kSlotCount);
    QCOMPARE(w.notifier.shown.size(), kSlotCount);
    QCOMPARE(w.sound.played.size(), 1);
    QVERIFY(w.window(u"frmMessage"_s));
    // Each one shows its own item.
    w.notifier.shown[3]();
    QCOMPARE(w.browser.navigated.last(), kUrl + u"3"_s);
}

// The timers go on, but not past a restart: the user must hear of it, once.
void ProgramTest::aFailedSaveIsSaid()
{
    Wired w;
    w.timers().assign(1, { u"品"_s, kUrl, u"26/12/01 10:00"_s }, noon(30));
    const QString said = Persistence::saveProblemText(ProfileFile::Failure::DiskFull);
    {
        DiskFullAfter full(0);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"^cannot (write|replace) "_s));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"^could not save "_s));
        QVERIFY(!w.program->persistence().save());
    }
    QCoreApplication::processEvents();
    QCOMPARE(w.messages.texts, QStringList { said });
    QCOMPARE(w.notifier.notices, QStringList { said });
    QCOMPARE(w.program->statusLine().text(), said);
    QVERIFY(said.contains(u"ディスクの空きがない"_s) && said.contains(u"再起動すると失われます"_s));
}

void ProgramTest::aFileTooLargeIsSaidAtStart()
{
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"^cannot read "_s));
    Wired w("[Auction_File]\r\ndata1=壺\r\n", 65 * 1024 * 1024);
    QCoreApplication::processEvents();
    QCOMPARE(
        w.messages.texts, QStringList { Persistence::restoreProblemText(ProfileFile::Failure::TooLarge) });
    QVERIFY(w.timers().timer(1).isFree());
    QCOMPARE(QFileInfo(w.dir.filePath(u"larkvane.ini"_s)).size(), 65 * 1024 * 1024);
}

QObject *makeProgramTest()
{
    return new ProgramTest;
}

#include "program_test.moc"
