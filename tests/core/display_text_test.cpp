#include "display_text.h"

#include <QTest>

using namespace Qt::StringLiterals;

class DisplayTextTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void titles_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("shown");
        QTest::newRow("plain") << u"ノートパソコン 美品"_s << u"ノートパソコン 美品"_s;
        QTest::newRow("right-to-left override") << u"\u202Egnp.exe 美品"_s << u"gnp.exe 美品"_s;
        QTest::newRow("isolates and embeddings") << u"\u2067a\u2069\u202Bb\u202C"_s << u"ab"_s;
        QTest::newRow("zero-width inside") << u"美\u200B品\uFEFF"_s << u"美品"_s;
        QTest::newRow("only zero-width") << u"\u200B\u200C\u200D\u2060"_s << u"x123"_s;
        QTest::newRow("only blanks") << u" \u3000 "_s << u"x123"_s;
        QTest::newRow("Hebrew kept in an isolate") << u"שלום 1"_s << u"\u2068שלום 1\u2069"_s;
        QTest::newRow("markup stays text") << u"<b>lamp</b>"_s << u"<b>lamp</b>"_s;
    }
    void titles()
    {
        QFETCH(QString, title);
        QFETCH(QString, shown);
        QCOMPARE(displayText(title, u"x123"_s), shown);
    }

    void markupCharactersBecomeHarmless()
    {
        QCOMPARE(withoutMarkup(u"<b>lamp</b> & <img src=x>"_s), u"＜b＞lamp＜/b＞ ＆ ＜img src=x＞"_s);
    }
};

int runDisplayTextTest(int argc, char **argv)
{
    DisplayTextTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "display_text_test.moc"
