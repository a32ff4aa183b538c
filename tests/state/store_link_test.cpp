#include "state_store.h"
#include "status_line.h"
#include "store_link.h"

#include <QJsonArray>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// The program's store and the browser process's copy, each message delivered
// at once, and every message kept for the test to read.
struct LinkedPair
{
    StateStore owner;
    StateStore mirror;
    StatusLine ownerLine;
    StatusLine mirrorLine;
    QList<QJsonObject> toMirror;
    QList<QJsonObject> toOwner;
    StoreLink ownerLink { owner, ownerLine, StoreLink::Side::Owner, [this](const QJsonObject &m) {
                             toMirror << m;
                             mirrorLink.receive(m);
                         } };
    StoreLink mirrorLink { mirror, mirrorLine, StoreLink::Side::Mirror, [this](const QJsonObject &m) {
                              toOwner << m;
                              ownerLink.receive(m);
                          } };

    LinkedPair() { mirror.setTicking(false); }
};

} // namespace

class StoreLinkTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void snapshotFillsTheMirror();
    void changesCrossOnceEachWay();
    void armingOnTheMirrorArmsTheOwner();
    void ownerEndsReachTheMirror();
    void badMessagesChangeNothing_data();
    void badMessagesChangeNothing();
};

void StoreLinkTest::snapshotFillsTheMirror()
{
    LinkedPair p;
    p.owner.setValue(u"tbar1"_s, u"1"_s);
    p.owner.setValue(u"TimerText3"_s, u"「<b>腕時計</b>」"_s);
    p.owner.arm(3);
    p.ownerLine.setText(u"タイマー3 残り 10 秒"_s);

    // A fresh browser process's copy, with a stale arming of its own.
    StateStore mirror;
    mirror.setTicking(false);
    StatusLine line;
    QList<QJsonObject> sent;
    StoreLink link(mirror, line, StoreLink::Side::Mirror, [&sent](const QJsonObject &m) { sent << m; });
    mirror.arm(5);
    sent.clear();

    link.receive(p.ownerLink.snapshot());

    QCOMPARE(mirror.value(u"tbar1"_s), u"1"_s);
    QCOMPARE(mirror.value(u"TimerText3"_s), u"「<b>腕時計</b>」"_s);
    QVERIFY(mirror.isArmed(3));
    QVERIFY(!mirror.isArmed(5));
    QCOMPARE(line.text(), u"タイマー3 残り 10 秒"_s);
    // Applying is not changing: nothing goes back, and the copy never ticks.
    QVERIFY(sent.isEmpty());
    QVERIFY(!mirror.timer(3)->isActive());
}

void StoreLinkTest::changesCrossOnceEachWay()
{
    LinkedPair p;
    p.mirror.setValue(u"x_pos"_s, u"1500"_s);
    QCOMPARE(p.owner.value(u"x_pos"_s), u"1500"_s);
    QCOMPARE(p.toOwner.size(), 1);
    QVERIFY(p.toMirror.isEmpty());

    p.owner.setValue(u"st2"_s, u"41"_s);
    QCOMPARE(p.mirror.value(u"st2"_s), u"41"_s);
    QCOMPARE(p.toMirror.size(), 1);
    QCOMPARE(p.toOwner.size(), 1);

    // Setting the text a field already has is no change.
    p.owner.setValue(u"st2"_s, u"41"_s);
    p.owner.setValue(u"tbar1"_s, u"0"_s);
    QCOMPARE(p.toMirror.size(), 1);

    p.mirrorLine.setText(QString());
    p.ownerLine.setText(u"タイマー2 残り 1 分"_s);
    QCOMPARE(p.mirrorLine.text(), u"タイマー2 残り 1 分"_s);
    QCOMPARE(p.toMirror.size(), 2);
}

void StoreLinkTest::armingOnTheMirrorArmsTheOwner()
{
    LinkedPair p;
    QSignalSpy ownerArmed(&p.owner, &StateStore::armedChanged);
    p.mirror.setSlotValue(u"ed"_s, 4, u"600"_s);
    p.mirror.arm(4, 250);

    QVERIFY(p.mirror.isArmed(4));
    QVERIFY(!p.mirror.timer(4)->isActive());
    QVERIFY(p.owner.isArmed(4));
    QVERIFY(p.owner.timer(4)->isActive());
    // The owner's first tick lands where the arming asked, on a whole second.
    QCOMPARE(p.owner.timer(4)->interval(), 250);
    QCOMPARE(p.owner.slotValue(u"ed"_s, 4), u"600"_s);
    QCOMPARE(ownerArmed.size(), 1);
    // Arming an armed slot again says nothing more.
    p.mirror.arm(4, 500);
    QCOMPARE(ownerArmed.size(), 1);
    QCOMPARE(p.owner.timer(4)->interval(), 250);
}

void StoreLinkTest::ownerEndsReachTheMirror()
{
    LinkedPair p;
    p.mirror.arm(6, 1000);
    p.owner.disarm(6);
    QVERIFY(!p.mirror.isArmed(6));
    p.owner.arm(7);
    QVERIFY(p.mirror.isArmed(7));
    QVERIFY(!p.mirror.timer(7)->isActive());
}

void StoreLinkTest::badMessagesChangeNothing_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("handled");
    QTest::newRow("slot 0") << QByteArray(R"({"op":"arm","n":0,"first":10})") << true;
    QTest::newRow("slot 11") << QByteArray(R"({"op":"arm","n":11})") << true;
    QTest::newRow("slot as text") << QByteArray(R"({"op":"disarm","n":"3"})") << true;
    QTest::newRow("set without a name") << QByteArray(R"({"op":"set","text":"x"})") << true;
    QTest::newRow("a whole store sent to the owner")
        << QByteArray(R"({"op":"state","fields":{"tbar1":"1"},"armed":[1,2]})") << true;
    QTest::newRow("another kind") << QByteArray(R"({"op":"show"})") << false;
    QTest::newRow("no kind") << QByteArray(R"({"n":3})") << false;
}

void StoreLinkTest::badMessagesChangeNothing()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, handled);
    LinkedPair p;
    const QHash<QString, QString> before = p.owner.fields();
    QCOMPARE(p.ownerLink.receive(QJsonDocument::fromJson(json).object()), handled);
    QCOMPARE(p.owner.fields(), before);
    for (int n = 1; n <= StateStore::kSlots; ++n)
        QVERIFY(!p.owner.isArmed(n));
}

int runStoreLinkTest(int argc, char **argv)
{
    StoreLinkTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "store_link_test.moc"
