#include "message_channel.h"

#include <QLocalSocket>
#include <QtTest>

#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Both ends of a socket pair, as the program and its browser process hold it.
struct SocketPair
{
    QLocalSocket near;
    QLocalSocket far;
    bool ok = false;

    SocketPair()
    {
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0)
            return;
        ok = near.setSocketDescriptor(fds[0]) && far.setSocketDescriptor(fds[1]);
    }
};

// A channel on the far end, keeping the kind of every message it receives.
struct ReceivingEnd : SocketPair
{
    MessageChannel channel { &far };
    QStringList ops;

    ReceivingEnd()
    {
        QObject::connect(&channel, &MessageChannel::received, &channel,
            [this](const wire::Message &m) { ops << wire::nameOf(wire::kindOf(m)); });
    }
};

} // namespace

class MessageChannelTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void linesBecomeMessages_data();
    void linesBecomeMessages();
    void sentMessagesArriveInOrder();
    void anOverlongLineClosesTheChannel();
    void thePeerGoingAwayCloses();
};

void MessageChannelTest::linesBecomeMessages_data()
{
    QTest::addColumn<QList<QByteArray>>("writes");
    QTest::addColumn<QStringList>("ops");
    QTest::newRow("one line") << QList<QByteArray> { R"({"op":"show"})"
                                                     "\n" }
                              << QStringList { u"show"_s };
    QTest::newRow("split mid-line") << QList<QByteArray> { R"({"op":"clo)",
        R"(se"})"
        "\n" } << QStringList { u"close"_s };
    QTest::newRow("two in one write") << QList<QByteArray> { "{\"op\":\"show\"}\n{\"op\":\"shown\"}\n" }
                                      << QStringList { u"show"_s, u"shown"_s };
    QTest::newRow("no JSON and no object are skipped")
        << QList<QByteArray> { "not json\n[1,2]\n\n{\"op\":\"close\"}\n" } << QStringList { u"close"_s };
    QTest::newRow("binary junk") << QList<QByteArray> { QByteArray("\x00\xff\xfe{\n", 5),
        "{\"op\":\"shown\"}\n" } << QStringList { u"shown"_s };
    QTest::newRow("a kind no one sends is skipped")
        << QList<QByteArray> { "{\"op\":\"save\"}\n{\"op\":\"show\"}\n" } << QStringList { u"show"_s };
    QTest::newRow("no line end yet") << QList<QByteArray> { R"({"op":"show"})" } << QStringList {};
}

void MessageChannelTest::linesBecomeMessages()
{
    QFETCH(QList<QByteArray>, writes);
    QFETCH(QStringList, ops);
    ReceivingEnd end;
    QVERIFY(end.ok);
    for (const QByteArray &w : writes) {
        end.near.write(w);
        end.near.flush();
        QTest::qWait(20);
    }
    QTRY_COMPARE_WITH_TIMEOUT(end.ops, ops, 2000);
    QVERIFY(end.channel.isOpen());
}

void MessageChannelTest::sentMessagesArriveInOrder()
{
    SocketPair pair;
    QVERIFY(pair.ok);
    MessageChannel a(&pair.near);
    MessageChannel b(&pair.far);
    QStringList got;
    connect(&b, &MessageChannel::received, this, [&got](const wire::Message &m) {
        if (const auto *notice = std::get_if<wire::Notice>(&m))
            got << notice->text;
    });
    // Line breaks inside a text must not split the message.
    const QString text = u"一行目\n二行目\r\n\"引用\"\u0000終"_s;
    for (int i = 0; i < 200; ++i)
        QVERIFY(a.send(wire::Notice { QString::number(i) + text }));
    QTRY_COMPARE_WITH_TIMEOUT(got.size(), 200, 5000);
    for (int i = 0; i < 200; ++i)
        QCOMPARE(got[i], QString::number(i) + text);
}

void MessageChannelTest::anOverlongLineClosesTheChannel()
{
    SocketPair pair;
    QVERIFY(pair.ok);
    MessageChannel channel(&pair.far);
    QSignalSpy closed(&channel, &MessageChannel::closed);
    const QByteArray chunk(1024 * 1024, 'x');
    for (int i = 0; i * chunk.size() <= MessageChannel::kMaxLine && closed.isEmpty(); ++i) {
        pair.near.write(chunk);
        while (pair.near.bytesToWrite() > 0 && closed.isEmpty()) {
            pair.near.waitForBytesWritten(100);
            QCoreApplication::processEvents();
        }
    }
    QTRY_COMPARE_WITH_TIMEOUT(closed.size(), 1, 5000);
    QVERIFY(!channel.isOpen());
    QVERIFY(!channel.send(wire::Close {}));
}

void MessageChannelTest::thePeerGoingAwayCloses()
{
    ReceivingEnd end;
    QVERIFY(end.ok);
    QSignalSpy closed(&end.channel, &MessageChannel::closed);
    // What was sent before the end still arrives.
    end.near.write("{\"op\":\"close\"}\n");
    end.near.flush();
    end.near.close();
    QTRY_COMPARE_WITH_TIMEOUT(closed.size(), 1, 3000);
    QCOMPARE(end.ops, QStringList { u"close"_s });
}

int runMessageChannelTest(int argc, char **argv)
{
    MessageChannelTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "message_channel_test.moc"
