#include "cp932_codec.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray bytes(std::initializer_list<int> list)
{
    QByteArray b;
    for (int v : list)
        b.append(static_cast<char>(v));
    return b;
}

} // namespace

class Cp932CodecTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void decodes_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *name, const QByteArray &in, const QString &out) {
            QTest::newRow(name) << in << out;
        };
        row("5C and 7E are ASCII", bytes({ 0x5C, 0x7E, 0x01, 0x7F }), u"\\~\u0001\u007F"_s);
        row("half-width katakana ends", bytes({ 0xA1, 0xB1, 0xDF }), u"｡ｱﾟ"_s);
        row("hiragana, kanji", bytes({ 0x82, 0xA0, 0x88, 0x9F }), u"あ亜"_s);
        row("8160 is the full-width tilde", bytes({ 0x81, 0x60 }), u"～"_s);
        row("NEC row 13", bytes({ 0x87, 0x40, 0x87, 0x5D }), u"①Ⅹ"_s);
        row("NEC-selected and IBM extensions", bytes({ 0xED, 0x40, 0xFA, 0x40, 0xFA, 0x5C }), u"纊ⅰ纊"_s);
        row("trail bytes that are katakana or lead bytes", bytes({ 0x81, 0xA1, 0x81, 0x81, 0x40 }),
            u"■＝@"_s);
        row("trail 5C is no backslash", bytes({ 0x81, 0x5F, 0x5C }), u"＼\\"_s);
        row("user-defined area", bytes({ 0xF0, 0x40, 0xF0, 0x7E, 0xF0, 0x80, 0xF9, 0xFC }),
            u"\uE000\uE03E\uE03F\uE757"_s);
        row("unassigned pairs", bytes({ 0x85, 0x40, 0xEB, 0x40, 0x41 }), u"・・A"_s);
        row("lead with a trail below 40", bytes({ 0x81, 0x30, 0x41 }), u"・A"_s);
        row("lead with 7F, FD, LF", bytes({ 0x81, 0x7F, 0x81, 0xFD, 0x81, 0x0A, 0x41 }), u"・・・A"_s);
        row("lead before NUL", bytes({ 0x81, 0x00, 0x41 }), u"・\u0000A"_s);
        row("lead at the very end", bytes({ 0x41, 0x81 }), u"A・"_s);
        row("single 80 A0 FD FE FF", bytes({ 0x80, 0xA0, 0xFD, 0xFE, 0xFF }),
            u"\u0080\uF8F0\uF8F1\uF8F2\uF8F3"_s);
    }
    void decodes()
    {
        QFETCH(QByteArray, input);
        QFETCH(QString, expected);
        QCOMPARE(Cp932::decode(input), expected);
    }

    void encodes_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QByteArray>("expected");
        const auto row = [](const char *name, const QString &in, const QByteArray &out) {
            QTest::newRow(name) << in << out;
        };
        row("ASCII and NUL", u"a\\~\u0000"_s, QByteArray("a\\~\0", 4));
        row("kana and kanji", u"あ亜ｱ・"_s, bytes({ 0x82, 0xA0, 0x88, 0x9F, 0xB1, 0x81, 0x45 }));
        // Of duplicate codes, the one Windows writes.
        row("because: JIS row", u"∵"_s, bytes({ 0x81, 0xE6 }));
        row("roman one: NEC row 13", u"Ⅰ"_s, bytes({ 0x87, 0x54 }));
        row("small roman one: IBM", u"ⅰ"_s, bytes({ 0xFA, 0x40 }));
        row("not sign: JIS row", u"￢"_s, bytes({ 0x81, 0xCA }));
        row("kanji: IBM", u"纊"_s, bytes({ 0xFA, 0x5C }));
        row("user-defined area", u"\uE000\uE757\uE758"_s, QByteArray("\xF0\x40\xF9\xFC?"));
        row("odd single bytes", u"\u0080\uF8F0\uF8F3"_s, bytes({ 0x80, 0xA0, 0xFF }));
        // No best fit: a yen sign must not turn into a path separator.
        row("yen, overline, wave dash", u"¥‾〜"_s, QByteArray("???"));
        row("latin, hangul", u"é한"_s, QByteArray("??"));
        row("outside the BMP is one ?", u"a\U0001F600b"_s, QByteArray("a?b"));
        row("lone surrogate", QString(QChar(0xD800)), QByteArray("?"));
    }
    void encodes()
    {
        QFETCH(QString, input);
        QFETCH(QByteArray, expected);
        QCOMPARE(Cp932::encode(input), expected);
    }

    // Every pair Windows assigns decodes to a character that encodes to a
    // code decoding the same; only the extension rows, which repeat
    // characters of other rows, may encode elsewhere.
    void everyAssignedPairRoundTrips()
    {
        int assigned = 0;
        int userDefined = 0;
        for (int lead = 0x81; lead <= 0xFC; ++lead) {
            if (lead > 0x9F && lead < 0xE0)
                continue;
            for (int trail = 0x40; trail <= 0xFC; ++trail) {
                if (trail == 0x7F)
                    continue;
                const QByteArray pair = bytes({ lead, trail });
                const QString text = Cp932::decode(pair);
                QCOMPARE(text.size(), 1);
                if (text == u"・"_s && pair != bytes({ 0x81, 0x45 }))
                    continue;
                ++(lead >= 0xF0 && lead <= 0xF9 ? userDefined : assigned);
                const QByteArray back = Cp932::encode(text);
                QCOMPARE(Cp932::decode(back), text);
                const bool extensionRow = lead == 0x87 || lead == 0xED || lead == 0xEE || lead >= 0xFA;
                QVERIFY2(back == pair || extensionRow, pair.toHex().constData());
            }
        }
        QCOMPARE(assigned, 7915 - 191); // the Windows table, less its single bytes
        QCOMPARE(userDefined, 1880);
    }

    void safePrefix_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("maxBytes");
        QTest::addColumn<int>("expected");
        const QByteArray ai = bytes({ 0x82, 0xA0, 0x82, 0xA2 });
        QTest::newRow("ASCII") << QByteArray("abcdef") << 4 << 4;
        QTest::newRow("past the end") << QByteArray("ab") << 10 << 2;
        QTest::newRow("negative") << QByteArray("ab") << -1 << 0;
        QTest::newRow("on a boundary") << ai << 2 << 2;
        QTest::newRow("inside a pair") << ai << 3 << 2;
        QTest::newRow("after one ASCII byte") << bytes({ 0x41, 0x82, 0xA0 }) << 2 << 1;
        QTest::newRow("half-width katakana are single") << bytes({ 0xB1, 0xB2, 0xB3 }) << 2 << 2;
        QTest::newRow("broken pair counts as two") << bytes({ 0x81, 0x30, 0x41 }) << 1 << 0;
        QTest::newRow("lead at the end fits alone") << bytes({ 0x41, 0x81 }) << 2 << 2;
    }
    void safePrefix()
    {
        QFETCH(QByteArray, input);
        QFETCH(int, maxBytes);
        QFETCH(int, expected);
        QCOMPARE(Cp932::safePrefixLength(input, maxBytes), qsizetype(expected));
    }
};

int runCp932CodecTest(int argc, char **argv)
{
    Cp932CodecTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "cp932_codec_test.moc"
