#include "registration.h"

#include "page_recognizer.h"
#include "profile_file.h"
#include "test_services.h"
#include "time_text.h"

#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

const QString kSoundMissing = u"サウンドが指定されていません。環境設定を確認してください。"_s;
const QString kBusy = u"このタイマーは現在使用中です！"_s;
const QString kUnusable = u"このページではタイマーが使えません。"_s;
const QString kUrl = u"https://auctions.yahoo.co.jp/jp/auction/x1"_s;

// Slot n holding an item as the file would give it: counting down, or ended.
void fillSlot(AuctionTimers &timers, int n, const QString &title, bool armed)
{
    Persistence::Slots slots;
    slots[n - 1] = { title, u"26/12/01 10:00"_s, armed ? u"26/12/09 10:00"_s : u"26/12/07 10:00"_s,
        u"http://old/"_s + title, u"45"_s };
    timers.restore(slots);
}

QStringList slotFields(const AuctionTimers &timers, int n)
{
    const SlotRecord r = timers.timer(n).record();
    return { r.title, r.start, r.end, r.url, r.ownLead };
}

// What the page shown was read as: its times, to the second at `exact`
// (seconds since the epoch) where the page gives them.
PageReading reading(const QString &start, const QString &end, const QString &title = {}, qint64 exact = -1)
{
    PageReading r;
    r.start = start;
    r.end = end;
    r.title = title;
    r.endAt = exact >= 0 ? QDateTime::fromSecsSinceEpoch(exact, Qt::OffsetFromUTC, kJapanOffsetSeconds)
                         : parseTimeText(end);
    r.exactSeconds = exact >= 0;
    return r;
}

} // namespace

class RegistrationTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void refusals_data();
    void refusals();
    void names_data();
    void names();
    void seconds_data();
    void seconds();
    void successWritesTheSlotAndSaves();
};

void RegistrationTest::refusals_data()
{
    QTest::addColumn<QString>("wavfile");
    QTest::addColumn<bool>("busy");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("message");

    const QString cap = u"ノートパソコン - Yahoo!オークション - Larkvane"_s;
    const QString end = u"26/12/09 21:05"_s;
    QTest::newRow("no sound") << QString() << false << u"26/12/01 10:00"_s << end << cap << kSoundMissing;
    QTest::newRow("no sound comes before busy")
        << QString() << true << u"26/12/01 10:00"_s << end << cap << kSoundMissing;
    QTest::newRow("busy slot") << u"/s.wav"_s << true << u"26/12/01 10:00"_s << end << cap << kBusy;
    QTest::newRow("no end") << u"/s.wav"_s << false << QString() << QString() << cap << kUnusable;
    QTest::newRow("bidders without end") << u"/s.wav"_s << false << u"N/A"_s << QString()
                                         << u"[ビッダーズ] 腕時計 オークション - Larkvane"_s << kUnusable;
    QTest::newRow("end no real date")
        << u"/s.wav"_s << false << QString() << u"26/13/40 25:00"_s << cap << kUnusable;
    QTest::newRow("yahoo title under 15")
        << u"/s.wav"_s << false << QString() << end << u"Yahoo!の品 - Larkvane"_s << kUnusable;
    QTest::newRow("bidders title under 14")
        << u"/s.wav"_s << false << u"N/A"_s << end << u"[ビッダーズ]品物 - Larkvane"_s << kUnusable;
    QTest::newRow("name left empty") << u"/s.wav"_s << false << QString() << end
                                     << u" - Yahoo!オークション - Larkvane"_s << kUnusable;
}

void RegistrationTest::refusals()
{
    QFETCH(QString, wavfile);
    QFETCH(bool, busy);
    QFETCH(QString, start);
    QFETCH(QString, end);
    QFETCH(QString, caption);
    QFETCH(QString, message);

    TestServices t;
    t.store.setValue(u"wavfile"_s, wavfile);
    fillSlot(t.timers, 3, u"前の品"_s, busy);
    fillSlot(t.timers, 4, u"隣の品"_s, true);
    t.statusLine.setText(u"ﾀｲﾏｰ4: 10秒　☆"_s);
    const QStringList before = slotFields(t.timers, 3);
    const QStringList neighbour = slotFields(t.timers, 4);

    const PageReading page = reading(start, end);
    Registration(t.services).registerSlot(3, caption, kUrl, &page, nullptr);

    QCOMPARE(t.messages.texts, QStringList { message });
    QCOMPARE(slotFields(t.timers, 4), neighbour);
    QVERIFY(t.timers.timer(4).isArmed());
    if (message != kUnusable) {
        QCOMPARE(slotFields(t.timers, 3), before);
        QCOMPARE(t.timers.timer(3).isArmed(), busy);
        QCOMPARE(t.statusLine.text(), u"ﾀｲﾏｰ4: 10秒　☆"_s);
        return;
    }
    // Emptied and disarmed.
    QVERIFY(t.timers.timer(3).isFree());
    QCOMPARE(t.statusLine.text(), QString());
}

void RegistrationTest::names_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("pageTitle");
    QTest::addColumn<QString>("name");

    QTest::newRow("yahoo") << u"ノートパソコン - Yahoo!オークション - Larkvane"_s << QString()
                           << u"ノートパソコン"_s;
    QTest::newRow("yahoo suffix twice")
        << u"カメラ - Yahoo!オークション - Yahoo!オークション - Larkvane"_s << QString() << u"カメラ"_s;
    QTest::newRow("yahoo drops 15 whatever they are")
        << u"Yahoo! 1234567890ABCDEFGHIJ - Larkvane"_s << QString() << u"Yahoo! 12345"_s;
    QTest::newRow("bidders title first")
        << u"[ビッダーズ]_腕時計123456 - Larkvane"_s << QString() << u"腕時計"_s;
    QTest::newRow("bidders title last")
        << u"腕時計-[ビッダーズ]オークション - Larkvane"_s << QString() << u"腕時計"_s;
    QTest::newRow("both: bidders stands")
        << u"[ビッダーズ]_Yahoo!123456 - Larkvane"_s << QString() << u"Yahoo!"_s;
    QTest::newRow("neither: whole title") << u"ただのページ - Larkvane"_s << QString() << u"ただのページ"_s;
    QTest::newRow("today's page: its data's title")
        << u"Yahoo!オークション - 遊戯王 PSA10 ゼラ ゼラの儀式 2枚セット プレミ... - Larkvane"_s
        << u"遊戯王 PSA10 ゼラ ゼラの儀式 2枚セット プレミアムパック2 初期"_s
        << u"遊戯王 PSA10 ゼラ ゼラの儀式 2枚セット プレミアムパック2 初期"_s;
}

void RegistrationTest::names()
{
    QFETCH(QString, caption);
    QFETCH(QString, pageTitle);
    QFETCH(QString, name);

    TestServices t;
    t.store.setValue(u"wavfile"_s, u"/s.wav"_s);
    const PageReading page = reading(u"26/12/01 10:00"_s, u"26/12/09 10:00"_s, pageTitle);

    Registration(t.services).registerSlot(7, caption, kUrl, &page, nullptr);

    QCOMPARE(t.timers.timer(7).item().title, name);
    QCOMPARE(t.messages.texts, QStringList { name + u"　のタイマーをスタートしました。"_s });
    QVERIFY(t.timers.timer(7).isArmed());
}

void RegistrationTest::seconds_data()
{
    QTest::addColumn<QString>("end");
    QTest::addColumn<qint64>("exact");
    QTest::addColumn<qint64>("left");

    // The clock says 2026-12-08 12:00:00 Japan time.
    const qint64 noon = japanDateTime(QDate(2026, 12, 8), QTime(12, 0)).toSecsSinceEpoch();
    QTest::newRow("an hour ahead") << u"26/12/08 13:00"_s << qint64(-1) << qint64(3600);
    QTest::newRow("next year") << u"27/01/01 00:00"_s << qint64(-1) << qint64(23 * 86400 + 12 * 3600);
    QTest::newRow("already past") << u"26/12/08 11:00"_s << qint64(-1) << qint64(-3600);
    QTest::newRow("exact second of the page") << u"26/12/08 13:00"_s << noon + 3633 << qint64(3633);
}

void RegistrationTest::seconds()
{
    QFETCH(QString, end);
    QFETCH(qint64, exact);
    QFETCH(qint64, left);

    TestServices t;
    t.store.setValue(u"wavfile"_s, u"/s.wav"_s);
    const PageReading page = reading({}, end, {}, exact);

    Registration(t.services).registerSlot(10, u"品 - Larkvane"_s, kUrl, &page, nullptr);
    QCOMPARE(t.timers.timer(10).secondsLeft(), left);
    QVERIFY(t.timers.timer(10).isArmed());
}

void RegistrationTest::successWritesTheSlotAndSaves()
{
    TestServices t;
    t.store.setValue(u"wavfile"_s, u"/s.wav"_s);
    fillSlot(t.timers, 2, u"前の品"_s, false); // occupied but ended: overwritten
    const PageReading page = reading(u"N/A"_s, u"26/12/08 12:30"_s);

    Registration(t.services)
        .registerSlot(2, u"腕時計-[ビッダーズ]オークション - Larkvane"_s, kUrl, &page, nullptr);

    QCOMPARE(t.messages.texts, QStringList { u"腕時計　のタイマーをスタートしました。"_s });
    // The old item's own lead goes with it.
    const QStringList expected { u"腕時計"_s, u"N/A"_s, u"26/12/08 12:30"_s, kUrl, QString() };
    QCOMPARE(slotFields(t.timers, 2), expected);
    QCOMPARE(t.timers.timer(2).secondsLeft(), 1800);
    QVERIFY(t.timers.timer(2).isArmed());

    // Saved at once: a crash after the click loses nothing.
    ProfileFile ini(t.persistence.iniPath());
    QCOMPARE(ini.read(u"Auction_File"_s, u"data2"_s), u"腕時計"_s);
    QCOMPARE(ini.read(u"Auction_File"_s, u"end2"_s), u"26/12/08 12:30"_s);
}

int runRegistrationTests(int argc, char **argv)
{
    RegistrationTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "registration_test.moc"
