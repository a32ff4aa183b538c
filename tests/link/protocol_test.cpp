#include "protocol.h"

#include <QJsonDocument>
#include <QtTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(wire::Message)

class ProtocolTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void everyKindComesBackAsSent_data();
    void everyKindComesBackAsSent();
    void misshapenMessagesAreRefused_data();
    void misshapenMessagesAreRefused();
};

void ProtocolTest::everyKindComesBackAsSent_data()
{
    QTest::addColumn<wire::Message>("message");
    const wire::Twips twips { u"1500"_s, u"-300"_s, u"9000.4"_s, u"7005"_s };
    const QString text = u"一行目\n<b>二行目</b>"_s;
    QTest::newRow("setup") << wire::Message(
        wire::Setup { twips, { u"1"_s, u"0"_s, u"3"_s }, u"/w/html/serch.html"_s });
    QTest::newRow("show") << wire::Message(wire::Show {});
    QTest::newRow("navigate") << wire::Message(wire::Navigate { u"http://a.example/"_s });
    QTest::newRow("countdown") << wire::Message(wire::CountdownLine { text });
    QTest::newRow("timer menu") << wire::Message(wire::TimerMenu { true });
    QTest::newRow("bars") << wire::Message(wire::Bars { -1, 1, { u"0"_s, u"1"_s, u"2"_s } });
    QTest::newRow("hold") << wire::Message(wire::Hold { true });
    QTest::newRow("notice") << wire::Message(wire::Notice { text });
    QTest::newRow("close") << wire::Message(wire::Close {});
    QTest::newRow("shown") << wire::Message(wire::Shown {});
    QTest::newRow("location") << wire::Message(
        wire::Location { u"http://a/"_s, text, text + u" - Larkvane"_s });
    QTest::newRow("document arrived") << wire::Message(wire::DocumentArrived { u"http://a/"_s });
    QTest::newRow("document complete") << wire::Message(wire::DocumentComplete { true, u"http://a/"_s });
    QTest::newRow("command") << wire::Message(wire::CommandChosen { wire::Command::Timer, 10, u"4194311"_s });
    QTest::newRow("geometry") << wire::Message(wire::Geometry { twips });
    QTest::newRow("agent") << wire::Message(wire::UserAgent { u"Mozilla/5.0"_s });
    QTest::newRow("page items menu") << wire::Message(wire::PageItemsMenu { true });
    QTest::newRow("links") << wire::Message(
        wire::PageLinksFound { { u"http://a/"_s, { u"http://a/jp/auction/x1"_s, text }, true } });
}

void ProtocolTest::everyKindComesBackAsSent()
{
    QFETCH(wire::Message, message);
    const QJsonObject sent = wire::encode(message);
    // Through the text of a line, as the channel carries it.
    const QJsonObject line
        = QJsonDocument::fromJson(QJsonDocument(sent).toJson(QJsonDocument::Compact)).object();
    const std::optional<wire::Message> got = wire::decode(line);
    QVERIFY(got);
    QCOMPARE(wire::kindOf(*got), wire::kindOf(message));
    QCOMPARE(wire::encode(*got), sent);
}

void ProtocolTest::misshapenMessagesAreRefused_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::newRow("no kind") << QByteArray(R"({"text":"x"})");
    QTest::newRow("unknown kind") << QByteArray(R"({"op":"save"})");
    QTest::newRow("kind in capitals") << QByteArray(R"({"op":"SHOW"})");
    QTest::newRow("unknown command") << QByteArray(R"({"op":"command","command":"format-disk"})");
    QTest::newRow("timer slot 0") << QByteArray(R"({"op":"command","command":"timer","slot":0})");
    QTest::newRow("timer slot 11") << QByteArray(R"({"op":"command","command":"timer","slot":11})");
    QTest::newRow("geometry of three") << QByteArray(R"({"op":"geometry","twips":["1","2","3"]})");
    QTest::newRow("geometry of numbers") << QByteArray(R"({"op":"geometry","twips":[1,2,3,4]})");
    QTest::newRow("setup without geometry") << QByteArray(R"({"op":"setup","start":"/x"})");
    QTest::newRow("bars of 2") << QByteArray(R"({"op":"bars","toolbar":2,"buttons":0})");
    QTest::newRow("links not a list") << QByteArray(R"({"op":"links","url":"http://a/","links":"x"})");
    QTest::newRow("links of numbers") << QByteArray(R"({"op":"links","url":"http://a/","links":[1]})");
    QTest::newRow("bars as text") << QByteArray(R"({"op":"bars","toolbar":"1","buttons":0})");
}

void ProtocolTest::misshapenMessagesAreRefused()
{
    QFETCH(QByteArray, json);
    QVERIFY(!wire::decode(QJsonDocument::fromJson(json).object()));
}

int runProtocolTest(int argc, char **argv)
{
    ProtocolTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "protocol_test.moc"
