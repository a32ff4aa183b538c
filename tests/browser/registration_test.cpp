#include "registration.h"

#include "profile_file.h"
#include "test_services.h"

#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

const QString kSoundMissing = u"サウンドが指定されていません。環境設定を確認してください。"_s;
const QString kBusy = u"このタイマーは現在使用中です！"_s;
const QString kUnusable = u"このページではタイマーが使えません。"_s;
const QString kUrl = u"https://auctions.yahoo.co.jp/jp/auction/x1"_s;

void fillSlot(StateStore &store, int n, const QString &title)
{
    store.setSlotValue(u"TimerText"_s, n, title);
    store.setSlotValue(u"starttime"_s, n, u"26/12/01 10:00"_s);
    store.setSlotValue(u"EndTime"_s, n, u"26/12/09 10:00"_s);
    store.setSlotValue(u"URL"_s, n, u"http://old/"_s + title);
    store.setSlotValue(u"reTime"_s, n, u"45"_s);
    store.setSlotValue(u"st"_s, n, u"17"_s);
    store.setSlotValue(u"ed"_s, n, u"999"_s);
}

QStringList slotFields(const StateStore &store, int n)
{
    QStringList out;
    for (const QString &f :
        { u"TimerText"_s, u"starttime"_s, u"EndTime"_s, u"URL"_s, u"reTime"_s, u"st"_s, u"ed"_s })
        out << store.slotValue(f, n);
    return out;
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
    t.store.setValue(u"tmpsttime"_s, start);
    t.store.setValue(u"tmpedtime"_s, end);
    fillSlot(t.store, 3, u"前の品"_s);
    fillSlot(t.store, 4, u"隣の品"_s);
    t.store.arm(4);
    if (busy)
        t.store.arm(3);
    t.statusLine.setText(u"ﾀｲﾏｰ4: 10秒　☆"_s);
    const QStringList before = slotFields(t.store, 3);
    const QStringList neighbour = slotFields(t.store, 4);

    Registration(t.services).registerSlot(3, caption, kUrl, nullptr);

    QCOMPARE(t.messages.texts, QStringList { message });
    QCOMPARE(slotFields(t.store, 4), neighbour);
    QVERIFY(t.store.isArmed(4));
    if (message != kUnusable) {
        QCOMPARE(slotFields(t.store, 3), before);
        QCOMPARE(t.store.isArmed(3), busy);
        QCOMPARE(t.statusLine.text(), u"ﾀｲﾏｰ4: 10秒　☆"_s);
        return;
    }
    // Emptied and disarmed; the count fields stay as they were.
    const QStringList emptied { QString(), QString(), QString(), QString(), QString(), u"17"_s, u"999"_s };
    QCOMPARE(slotFields(t.store, 3), emptied);
    QVERIFY(!t.store.isArmed(3));
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
    t.store.setValue(u"tmpsttime"_s, u"26/12/01 10:00"_s);
    t.store.setValue(u"tmpedtime"_s, u"26/12/09 10:00"_s);
    t.store.setValue(u"tmptitle"_s, pageTitle);

    Registration(t.services).registerSlot(7, caption, kUrl, nullptr);

    QCOMPARE(t.store.slotValue(u"TimerText"_s, 7), name);
    QCOMPARE(t.messages.texts, QStringList { name + u"　のタイマーをスタートしました。"_s });
    QVERIFY(t.store.isArmed(7));
}

void RegistrationTest::seconds_data()
{
    QTest::addColumn<QString>("end");
    QTest::addColumn<QString>("exact");
    QTest::addColumn<QString>("ed");

    // The clock says 2026-12-08 12:00:00 Japan time.
    const qint64 noon = japanDateTime(QDate(2026, 12, 8), QTime(12, 0)).toSecsSinceEpoch();
    QTest::newRow("an hour ahead") << u"26/12/08 13:00"_s << QString() << u"3600"_s;
    QTest::newRow("next year") << u"27/01/01 00:00"_s << QString() << QString::number(23 * 86400 + 12 * 3600);
    QTest::newRow("already past") << u"26/12/08 11:00"_s << QString() << u"-3600"_s;
    QTest::newRow("exact second of the page")
        << u"26/12/08 13:00"_s << QString::number(noon + 3633) << u"3633"_s;
    QTest::newRow("exact second of another minute")
        << u"26/12/08 13:00"_s << QString::number(noon + 3700) << u"3600"_s;
}

void RegistrationTest::seconds()
{
    QFETCH(QString, end);
    QFETCH(QString, exact);
    QFETCH(QString, ed);

    TestServices t;
    t.store.setValue(u"wavfile"_s, u"/s.wav"_s);
    t.store.setValue(u"tmpedtime"_s, end);
    t.store.setValue(u"tmpedsec"_s, exact);

    Registration(t.services).registerSlot(10, u"品 - Larkvane"_s, kUrl, nullptr);
    QCOMPARE(t.store.slotValue(u"ed"_s, 10), ed);
    QCOMPARE(t.store.slotValue(u"st"_s, 10), u"0"_s);
    QVERIFY(t.store.isArmed(10));
}

void RegistrationTest::successWritesTheSlotAndSaves()
{
    TestServices t;
    t.store.setValue(u"wavfile"_s, u"/s.wav"_s);
    t.store.setValue(u"tmpsttime"_s, u"N/A"_s);
    t.store.setValue(u"tmpedtime"_s, u"26/12/08 12:30"_s);
    fillSlot(t.store, 2, u"前の品"_s); // occupied but ended: overwritten

    Registration(t.services).registerSlot(2, u"腕時計-[ビッダーズ]オークション - Larkvane"_s, kUrl, nullptr);

    QCOMPARE(t.messages.texts, QStringList { u"腕時計　のタイマーをスタートしました。"_s });
    const QStringList expected { u"腕時計"_s, u"N/A"_s, u"26/12/08 12:30"_s, kUrl, u"45"_s /* kept */, u"0"_s,
        u"1800"_s };
    QCOMPARE(slotFields(t.store, 2), expected);
    QVERIFY(t.store.isArmed(2));

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
